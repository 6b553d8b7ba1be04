#include "QtPrint.h"
#include "platform/FakePlatform.h"
#include "platform/QtPlatform.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace brindle;

TEST(Settings, WholeNumbersFallBackOnAbsentOrBadText)
{
    FakeSettings s;
    EXPECT_EQ(s.readInt("Window", "XSize", 9960), 9960);
    s.setValue("Window", "XSize", "wide");
    EXPECT_EQ(s.readInt("Window", "XSize", 9960), 9960);
    s.setValue("Window", "XSize", "");
    EXPECT_EQ(s.readInt("Window", "XSize", 9960), 9960);
    s.setValue("Window", "XSize", "12x");
    EXPECT_EQ(s.readInt("Window", "XSize", 9960), 9960);
    s.setValue("Window", "XSize", "1e20");
    EXPECT_EQ(s.readInt("Window", "XSize", 9960), 9960);
    s.setValue("Window", "XSize", " 8520 ");
    EXPECT_EQ(s.readInt("Window", "XSize", 9960), 8520);
    s.setValue("Window", "XSize", "-75");
    EXPECT_EQ(s.readInt("Window", "XSize", 9960), -75);
}

TEST(Settings, WholeNumbersRoundHalfToEven)
{
    FakeSettings s;
    s.setValue("Columns", "SortKey", "2.5");
    EXPECT_EQ(s.readInt("Columns", "SortKey", 0), 2);
    s.setValue("Columns", "SortKey", "3.5");
    EXPECT_EQ(s.readInt("Columns", "SortKey", 0), 4);
    s.setValue("Columns", "SortKey", "3.6");
    EXPECT_EQ(s.readInt("Columns", "SortKey", 0), 4);
}

TEST(Settings, DecimalsRoundTripAsDecimalText)
{
    FakeSettings s;
    s.writeDouble("Columns", "01", 2500);
    EXPECT_EQ(s.at("Columns/01"), "2500");
    s.writeDouble("Columns", "02", 1234.5);
    EXPECT_EQ(s.at("Columns/02"), "1234.5");
    EXPECT_DOUBLE_EQ(s.readDouble("Columns", "02", 0), 1234.5);
    s.writeDouble("Columns", "03", 0.1 + 0.2);
    EXPECT_EQ(s.readDouble("Columns", "03", 0), 0.1 + 0.2);
    s.writeInt("Window", "State", 2);
    EXPECT_EQ(s.at("Window/State"), "2");
    EXPECT_DOUBLE_EQ(s.readDouble("Columns", "04", 1800), 1800);
    EXPECT_FALSE(parseDecimal("nan"));
    EXPECT_FALSE(parseDecimal("inf"));
}

TEST(Settings, QtStoreWritesSectionsAndKeysUnderTheApplicationName)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    {
        QtSettingsStore s;
        EXPECT_FALSE(s.value("MP3s", "Directory"));
        s.setValue("MP3s", "Directory", "/home/me/Music/Jazz, Blues");
        s.writeInt("ColumnPos", "01", 3);
        s.writeDouble("Columns", "11", 2500.5);
        s.sync();
    }
    QFile f(dir.path() + "/Brindle/Brindle.conf");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(text.contains("[ColumnPos]\n01=3")) << text.toStdString();
    EXPECT_TRUE(text.contains("[Columns]\n11=2500.5")) << text.toStdString();

    QtSettingsStore again;
    EXPECT_EQ(again.value("MP3s", "Directory").value_or(""), "/home/me/Music/Jazz, Blues");
    EXPECT_EQ(again.readInt("ColumnPos", "01", 1), 3);
    EXPECT_DOUBLE_EQ(again.readDouble("Columns", "11", 0), 2500.5);
}

TEST(Settings, IniFileStoreKeepsNumbersAsText)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("b.ini");
    {
        QtSettingsStore s(path);
        s.writeInt("Window", "XPos", -120);
        s.sync();
    }
    QtSettingsStore s(path);
    EXPECT_EQ(s.value("Window", "XPos").value_or(""), "-120");
    EXPECT_EQ(s.readInt("Window", "XPos", 0), -120);
}

TEST(Platform, ImageFilterKeepsOrderAndAddsUpperCasePatterns)
{
    EXPECT_EQ(qtImageFilter("Windows Bitmap|*.bmp;*.dib|Graphics Interchange Format|*.gif"),
              "Windows Bitmap (*.bmp *.dib *.BMP *.DIB);;Graphics Interchange Format (*.gif *.GIF)");
    const QStringList all = qtImageFilter().split(";;");
    ASSERT_EQ(all.size(), 5);
    EXPECT_TRUE(
        all[0].startsWith("All Supported Formats (*.bmp *.dib *.gif *.jpeg *.jpg *.jpe *.jfif *.jfi *.jif *.png "));
    EXPECT_TRUE(all[3].startsWith("JPEG File Interchange Format (*.jpeg *.jpg *.jpe *.jfif *.jfi *.jif *.JPEG"));
    EXPECT_TRUE(all[4].startsWith("Portable Network Graphics (*.png *.PNG)"));
}

TEST(Platform, ShellOpenTargets)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("a b.mp3");
    QFile(file).open(QIODevice::WriteOnly);
    EXPECT_EQ(urlForOpen(file), QUrl::fromLocalFile(file));
    EXPECT_EQ(urlForOpen("https://example.org/search?q=a b").scheme(), "https");
    EXPECT_EQ(urlForOpen("www.example.org").toString(), "http://www.example.org");
    EXPECT_TRUE(urlForOpen("   ").isEmpty());
}

TEST(Platform, FakesRecordAndAnswer)
{
    FakePlatform fp;
    fp.dialogs->folderAnswers.push_back("/music");
    EXPECT_EQ(fp.platform.dialogs->chooseFolder(nullptr, kFolderPrompt, "/start/"), "/music");
    EXPECT_EQ(fp.platform.dialogs->chooseFolder(nullptr, kFolderPrompt, "/start/"), "");
    ASSERT_EQ(fp.dialogs->folderRequests.size(), 2);
    EXPECT_EQ(fp.dialogs->folderRequests[0].first, "Please select a Music Folder:");
    fp.platform.clipboard->setImage(QImage(2, 2, QImage::Format_RGB32));
    EXPECT_TRUE(fp.platform.clipboard->hasImage());
    fp.platform.clipboard->setText("x");
    EXPECT_FALSE(fp.platform.clipboard->hasImage());
}
