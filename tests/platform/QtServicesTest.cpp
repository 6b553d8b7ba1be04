#include "QtPrint.h"
#include "platform/QtPlatform.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

using namespace brindle;

namespace {

// Runs `look` on the next modal dialog once it is up, then lets `finish` close it.
void onNextDialog(std::function<void(QWidget*)> look)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, look] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            look(w);
        }
    });
    timer->start();
}

} // namespace

TEST(QtServices, YesNoWarningCarriesTheCaptionAndAnswers)
{
    QtMessageBoxes boxes;
    for (auto [button, expected] : {std::pair{QMessageBox::Yes, true}, std::pair{QMessageBox::No, false}}) {
        QString title, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        onNextDialog([&, button = button](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(box, nullptr);
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            box->button(button)->click();
        });
        EXPECT_EQ(boxes.askYesNo(nullptr, "Delete the file?     "), expected);
        EXPECT_EQ(title, "Brindle");
        EXPECT_EQ(text, "Delete the file?     ");
        EXPECT_EQ(icon, QMessageBox::Warning);
    }
}

TEST(QtServices, InformationNotice)
{
    QtMessageBoxes boxes;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    onNextDialog([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        icon = box->icon();
        title = box->windowTitle();
        EXPECT_NE(box->button(QMessageBox::Ok), nullptr);
        box->button(QMessageBox::Ok)->click();
    });
    boxes.information(nullptr, "Please select a Music Folder     ");
    EXPECT_EQ(icon, QMessageBox::Information);
    EXPECT_EQ(title, "Brindle");
}

TEST(QtServices, CancelledDialogsReturnNothing)
{
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QTemporaryDir dir;
    QtDialogs dialogs;
    QString title, shownDir;
    onNextDialog([&](QWidget* w) {
        auto* d = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(d, nullptr);
        title = d->windowTitle();
        shownDir = d->directory().absolutePath();
        d->reject();
    });
    EXPECT_EQ(dialogs.chooseFolder(nullptr, kFolderPrompt, dir.path() + "/"), "");
    EXPECT_EQ(title, "Please select a Music Folder:");
    EXPECT_EQ(shownDir, dir.path());

    QStringList filters;
    onNextDialog([&](QWidget* w) {
        auto* d = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(d, nullptr);
        title = d->windowTitle();
        filters = d->nameFilters();
        d->reject();
    });
    EXPECT_EQ(dialogs.openImageFile(nullptr), "");
    EXPECT_EQ(title, "Select Image");
    ASSERT_EQ(filters.size(), 5);
    EXPECT_TRUE(filters[0].startsWith("All Supported Formats ("));
}

TEST(QtServices, ChosenFolderComesBackWithoutTrailingSlash)
{
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QTemporaryDir dir;
    QtDialogs dialogs;
    onNextDialog([&](QWidget* w) {
        auto* d = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(d, nullptr);
        d->selectFile(dir.path());
        QMetaObject::invokeMethod(d, "accept", Qt::QueuedConnection);
    });
    EXPECT_EQ(dialogs.chooseFolder(nullptr, kFolderPrompt, dir.path()), dir.path());
}

TEST(QtServices, ClipboardTextAndPictures)
{
    QtClipboard clip;
    clip.setText("Title: A\r\n");
    EXPECT_EQ(clip.text(), "Title: A\r\n");
    QImage img(4, 3, QImage::Format_RGB32);
    img.fill(QColor(10, 20, 30));
    clip.setImage(img);
    EXPECT_TRUE(clip.hasImage());
    EXPECT_EQ(clip.image().convertToFormat(QImage::Format_RGB32), img);
    clip.clear();
    EXPECT_FALSE(clip.hasImage());
    EXPECT_TRUE(clip.image().isNull());
}

TEST(QtServices, MusicFolderHasNoTrailingSlash)
{
    const QString music = QtUserFolders().musicFolder();
    EXPECT_FALSE(music.isEmpty());
    EXPECT_TRUE(music == "/" || !music.endsWith('/'));
}
