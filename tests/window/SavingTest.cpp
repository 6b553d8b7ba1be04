// Saving from the window: the apply pass over the selected rows, "&Apply Tags", the
// Enter key, "Select all Tags", and pictures entering the album-art editor. Every
// check reads the files back from disk.
#include "WindowTestSupport.h"

#include "pictures/APicDecoder.h"
#include "pictures/GDIPlusCandy.h"
#include "pictures/modImageType.h"
#include "tag/clsID3.h"

#include <QAction>
#include <QBuffer>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRadioButton>
#include <QUrl>

#include <sys/stat.h>

using namespace brindle;
using namespace brindle::test;

namespace {

QByteArray Encoded(const QImage& img, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, format);
    return bytes;
}

QImage Filled(int width, int height, QColor colour)
{
    QImage img(width, height, QImage::Format_RGB32);
    img.fill(colour);
    return img;
}

struct Read {
    clsID3 tag;
    explicit Read(const QString& path) { tag.SetFileName(QFile::encodeName(path).toStdString()); }
    QString operator()(std::u16string clsID3::*p) const { return FileListModel::toQString(tag.*p); }
    QStringList urls(const MultiFrameData& list) const
    {
        QStringList out;
        for (int i = 1; i <= list.Count(); ++i)
            out << QString::fromStdString(list.Item(i));
        return out;
    }
};

} // namespace

class SavingTest : public WindowTest {
protected:
    // Files named a.mp3, b.mp3 ... with title and track of their own.
    void writeFiles(int n, int version = 3)
    {
        for (int i = 0; i < n; ++i) {
            const std::string name(1, char('a' + i));
            const std::string frames = version == 2
                                           ? Frame(2, "TT2", Latin1("Song " + name)) + Frame(2, "TRK", Latin1("9"))
                                           : Frame(3, "TIT2", Latin1("Song " + name)) + Frame(3, "TRCK", Latin1("9")) +
                                                 Frame(3, "WCOM", "http://shop.example/" + name) +
                                                 Frame(3, "TCON", Latin1("(17)"));
            WriteFile(path(name + ".mp3"), Tag(version, frames, 16) + MpegFrames(20));
        }
    }
    std::string path(const std::string& name) const
    {
        return QFile::encodeName(dir.filePath(QString::fromStdString(name))).toStdString();
    }
    QString file(const QString& name) const { return dir.filePath(name); }

    void selectRows(std::initializer_list<int> rows)
    {
        auto* sel = list()->selectionModel();
        sel->clearSelection();
        for (int r : rows)
            sel->select(w->ListModel()->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    void tick(const char* box, bool on = true) { find<QCheckBox>(box)->setChecked(on); }
    void type(const char* box, const QString& text)
    {
        QWidget* wgt = find<QWidget>(box);
        if (auto* e = qobject_cast<QLineEdit*>(wgt))
            e->setText(text);
        else if (auto* p = qobject_cast<QPlainTextEdit*>(wgt))
            p->setPlainText(text);
        else if (auto* c = qobject_cast<QComboBox*>(wgt))
            c->setEditText(text);
    }
    void apply() { QTest::mouseClick(find<QPushButton>("Command2"), Qt::LeftButton); }
    QStringList tracks() const
    {
        QStringList out;
        for (const QString& name : QDir(dir.path()).entryList({"*.mp3"}, QDir::Files, QDir::Name))
            out << Read(file(name))(&clsID3::TrackNumber);
        return out;
    }
    QStringList messages() const
    {
        QStringList out;
        for (const auto& m : fakes->messages->shown)
            out << m.text;
        return out;
    }
};

TEST_F(SavingTest, AutoNumberCountsTheSelectedRowsInListOrder)
{
    writeFiles(5);
    open(dir.path());
    tick("chkAutTrack"); // ticks "Select all Files", which selects every row
    EXPECT_TRUE(find<QCheckBox>("chkSelAll")->isChecked());
    selectRows({1, 3, 4});
    apply();
    EXPECT_EQ(tracks(), QStringList({"9", "01", "9", "02", "03"}));
    // Afterwards: no row selected, the boxes reset, "Track Number" chosen.
    EXPECT_EQ(list()->selectionModel()->selectedRows().size(), 0);
    EXPECT_FALSE(find<QCheckBox>("chkAutTrack")->isChecked());
    EXPECT_FALSE(find<QCheckBox>("chkSelAll")->isChecked());
    EXPECT_TRUE(find<QRadioButton>("optTrack")->isChecked());
    EXPECT_TRUE(find<QLabel>("lblTotal")->isVisibleTo(w.get()));
    EXPECT_FALSE(find<XP_ProgressBar>("XP_ProgressBarOlive")->isVisibleTo(w.get()));
    EXPECT_EQ(find<XP_ProgressBar>("XP_ProgressBarOlive")->Value(), 0);
    EXPECT_TRUE(messages().isEmpty()) << messages().join("|").toStdString();
}

TEST_F(SavingTest, AutoNumberPadsToTwoDigitsAndGrowsPastNinetyNine)
{
    writeFiles(12);
    open(dir.path());
    tick("chkAutTrack");
    apply();
    const QStringList t = tracks();
    ASSERT_EQ(t.size(), 12);
    EXPECT_EQ(t[0], "01");
    EXPECT_EQ(t[8], "09");
    EXPECT_EQ(t[9], "10");
    EXPECT_EQ(t[11], "12");
}

TEST_F(SavingTest, TrackRulesAndCopiedFields)
{
    writeFiles(3);
    open(dir.path());
    // A ticked title suppresses track numbers, copied or automatic.
    tick("chkTitle");
    tick("chkTrack");
    type("txtTitle", "Same Title");
    type("txtTrackNumber", "7");
    selectRows({0, 2});
    apply();
    EXPECT_EQ(Read(file("a.mp3"))(&clsID3::Title), "Same Title");
    EXPECT_EQ(Read(file("b.mp3"))(&clsID3::Title), "Song b");
    EXPECT_EQ(Read(file("c.mp3"))(&clsID3::Title), "Same Title");
    EXPECT_EQ(tracks(), QStringList({"9", "9", "9"}));

    // Without the title the copied track number reaches every selected file; "of" is
    // written whenever it is ticked, and the disc box writes both disc fields.
    tick("chkTrack");
    tick("chkTrackof");
    tick("chkDisc");
    type("txtTrackNumber", "7");
    type("txtTracksTotal", "11");
    type("txtDiscNumber", "1");
    type("txtDiscsTotal", "2");
    selectRows({0, 1, 2});
    apply();
    EXPECT_EQ(tracks(), QStringList({"7", "7", "7"}));
    const Read b(file("b.mp3"));
    EXPECT_EQ(b(&clsID3::TracksTotal), "11");
    EXPECT_EQ(b(&clsID3::DiscNumber), "1");
    EXPECT_EQ(b(&clsID3::DiscsTotal), "2");
    EXPECT_EQ(b(&clsID3::Title), "Song b"); // not ticked this time: kept
}

TEST_F(SavingTest, GenreAndUrlListsAreWrittenOnlyWhenTicked)
{
    writeFiles(2);
    open(dir.path());
    tick("chkGenre");
    type("cmbGenre", "Jazz");
    selectRows({0, 1});
    apply();
    for (const char* name : {"a.mp3", "b.mp3"}) {
        const Read r(file(name));
        EXPECT_EQ(r(&clsID3::Genre), "Jazz");
        EXPECT_EQ(r.tag.GenreID, 8);
        EXPECT_EQ(r.urls(*r.tag.CommercialInfo).size(), 1) << "unticked list kept";
    }

    // Ticked with an empty list: the URLs go. The rescan loaded a.mp3's URL into the
    // editor, so it is deleted there first.
    QTest::mouseClick(find<ImageButton>("delCommercialInfo"), Qt::LeftButton);
    ASSERT_EQ(w->CommercialInfoEditor().Count(), 0);
    tick("chkCommercialInfoURL");
    selectRows({0});
    apply();
    EXPECT_TRUE(Read(file("a.mp3")).urls(*Read(file("a.mp3")).tag.CommercialInfo).isEmpty());
    EXPECT_EQ(Read(file("b.mp3")).urls(*Read(file("b.mp3")).tag.CommercialInfo),
              QStringList({"http://shop.example/b"}));

    // Two URLs typed into the editor, with "add" pressed after the last.
    list()->selectionModel()->setCurrentIndex(w->ListModel()->index(1, 0), QItemSelectionModel::NoUpdate);
    auto* box = find<QLineEdit>("txtArtistURL");
    box->setText("http://one.example");
    QTest::mouseClick(find<ImageButton>("nextArtistURL"), Qt::LeftButton);
    box->setText("http://two.example");
    QTest::mouseClick(find<ImageButton>("nextArtistURL"), Qt::LeftButton);
    tick("chkArtistURL");
    selectRows({0, 1});
    apply();
    for (const char* name : {"a.mp3", "b.mp3"}) {
        const Read r(file(name));
        EXPECT_EQ(r.urls(*r.tag.ArtistURL), QStringList({"http://one.example", "http://two.example"})) << name;
    }
}

TEST_F(SavingTest, NothingTickedWritesNoFileAndSaysSo)
{
    writeFiles(2);
    open(dir.path());
    const std::string a = ReadFile(path("a.mp3")), b = ReadFile(path("b.mp3"));
    selectRows({0, 1});
    apply();
    EXPECT_EQ(ReadFile(path("a.mp3")), a);
    EXPECT_EQ(ReadFile(path("b.mp3")), b);
    ASSERT_EQ(fakes->messages->shown.size(), 1);
    EXPECT_EQ(fakes->messages->shown[0].kind, FakeMessageBoxes::Kind::Information);
    EXPECT_TRUE(fakes->messages->shown[0].text.startsWith("Nothing was written"));
}

TEST_F(SavingTest, ReadOnlyFilesAreWrittenAndUnwritableOnesReported)
{
    writeFiles(3);
    ASSERT_EQ(::chmod(path("a.mp3").c_str(), 0444), 0);
    open(dir.path());
    tick("chkAlbum");
    type("txtAlbum", "Written");
    selectRows({0, 1, 2});
    // b.mp3 disappears after the scan: it cannot be written, the others still are.
    QFile::remove(file("b.mp3"));
    apply();
    EXPECT_EQ(Read(file("a.mp3"))(&clsID3::Album), "Written");
    EXPECT_EQ(Read(file("c.mp3"))(&clsID3::Album), "Written");
    struct stat st {};
    ASSERT_EQ(::stat(path("a.mp3").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u); // made writable for the save only
    ASSERT_EQ(fakes->messages->shown.size(), 1);
    EXPECT_EQ(fakes->messages->shown[0].kind, FakeMessageBoxes::Kind::Exclamation);
    EXPECT_TRUE(fakes->messages->shown[0].text.contains("b.mp3: cannot be read"))
        << fakes->messages->shown[0].text.toStdString();
    EXPECT_FALSE(fakes->messages->shown[0].text.contains("a.mp3"));
    EXPECT_FALSE(QFile::exists(file("b.mp3"))); // not created by the attempt
}

TEST_F(SavingTest, CommandChecksTheListAndTheSelectionFirst)
{
    open(dir.path()); // empty folder
    apply();
    ASSERT_EQ(messages(), QStringList({"Please select a Music Folder     "}));
    EXPECT_EQ(fakes->dialogs->folderRequests.size(), 1);

    writeFiles(2);
    find<QPushButton>("Command5")->click();
    fakes->messages->shown.clear();
    const std::string before = ReadFile(path("a.mp3"));
    apply();
    EXPECT_EQ(messages(), QStringList({"Please select files to process     "}));
    EXPECT_EQ(ReadFile(path("a.mp3")), before);
}

TEST_F(SavingTest, EnterInAMainFieldAppliesWithoutTypingIntoIt)
{
    writeFiles(2);
    open(dir.path());
    tick("chkLyrics");
    auto* lyrics = find<QPlainTextEdit>("txtLyrics");
    lyrics->setPlainText("One line");
    selectRows({1});
    w->show();
    lyrics->setFocus();
    lyrics->moveCursor(QTextCursor::End);
    QTest::keyClick(lyrics, Qt::Key_Return);
    EXPECT_EQ(Read(file("b.mp3"))(&clsID3::Lyrics), "One line");
    // The rescan loaded row 1 into the editor; b.mp3 got exactly the typed text.
    EXPECT_FALSE(Read(file("b.mp3"))(&clsID3::Lyrics).contains('\n'));

    tick("chkYear");
    selectRows({0});
    auto* year = find<QLineEdit>("txtYear");
    year->setText("1999");
    QTest::keyClick(year, Qt::Key_Enter);
    EXPECT_EQ(Read(file("a.mp3"))(&clsID3::Year), "1999");

    tick("chkGenre");
    selectRows({0});
    auto* genre = find<QComboBox>("cmbGenre");
    genre->setEditText("Blues");
    QTest::keyClick(genre->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(Read(file("a.mp3"))(&clsID3::Genre), "Blues");
    EXPECT_EQ(genre->count(), GenreListEntries().size()) << "Enter must not add an entry to the list";
}

TEST_F(SavingTest, SelectAllTagsTicksEveryFieldAndEndsOnAutoNumber)
{
    writeFiles(4);
    open(dir.path());
    auto* all = find<QCheckBox>("chkAllTags");
    all->setChecked(true);
    int ticked = 0;
    for (QCheckBox* box : w->findChildren<QCheckBox*>())
        ticked += box->isChecked() ? 1 : 0;
    // Ticking "Select all Files" clears Title and Track; "Auto Number" clears Track and of.
    for (const char* off : {"chkTitle", "chkTrack", "chkTrackof"})
        EXPECT_FALSE(find<QCheckBox>(off)->isChecked()) << off;
    for (const char* on : {"chkAutTrack", "chkSelAll", "chkArtist", "chkPublisherURL", "chkDisc", "chkLyrics"})
        EXPECT_TRUE(find<QCheckBox>(on)->isChecked()) << on;
    EXPECT_FALSE(find<QCheckBox>("chkSubfolders")->isChecked()); // not a tag field
    EXPECT_EQ(ticked, w->findChildren<QCheckBox*>().size() - 4);
    EXPECT_EQ(list()->selectionModel()->selectedRows().size(), 4);

    all->setChecked(false);
    for (QCheckBox* box : w->findChildren<QCheckBox*>())
        EXPECT_FALSE(box->isChecked()) << box->objectName().toStdString();
    EXPECT_EQ(list()->selectionModel()->selectedRows().size(), 0);
}

TEST_F(SavingTest, SelectAllTagsOnAnEmptyListAsksForAFolder)
{
    open(dir.path());
    find<QCheckBox>("chkAllTags")->setChecked(true);
    EXPECT_FALSE(find<QCheckBox>("chkAllTags")->isChecked());
    EXPECT_EQ(messages(), QStringList({"Please select a Music Folder     "}));
    EXPECT_EQ(fakes->dialogs->folderRequests.size(), 1);
}

TEST_F(SavingTest, PicturesFromAFileAndTheClipboardReachTheFileRetyped)
{
    writeFiles(1);
    const QString jpegNamedPng = dir.filePath("cover.jpg"); // PNG bytes: the content wins
    QFile f(jpegNamedPng);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(Encoded(Filled(20, 10, Qt::blue), "PNG"));
    f.close();
    open(dir.path());
    auto* cmbImageType = find<QComboBox>("cmbImageType");
    auto* cmbPictureType = find<QComboBox>("cmbPictureType");

    // A left click on the empty album-art box browses; a file that is not an image
    // changes nothing.
    const QString junk = dir.filePath("notes.png");
    QFile j(junk);
    ASSERT_TRUE(j.open(QIODevice::WriteOnly));
    j.write("not an image");
    j.close();
    fakes->dialogs->imageAnswers = {junk, jpegNamedPng};
    w->show();
    find<QTabWidget>("TabStrip1")->setCurrentIndex(2);
    QApplication::processEvents();
    QTest::mouseClick(find<QLabel>("lblBrowse"), Qt::LeftButton);
    EXPECT_EQ(w->ArtEditor().Count(), 0);
    QTest::mouseClick(find<QWidget>("picArt"), Qt::LeftButton);
    ASSERT_EQ(w->ArtEditor().Count(), 1);
    EXPECT_EQ(w->ArtEditor().ImageTypes()[0], "image/png");
    EXPECT_EQ(cmbImageType->currentIndex(), 3);
    EXPECT_TRUE(cmbImageType->isEnabled());

    // Pasted while the empty slot is shown: appended as a second picture.
    QTest::mouseClick(find<ImageButton>("nextArt"), Qt::LeftButton);
    fakes->clipboard->setImage(Filled(32, 32, Qt::green));
    auto* menu = find<QMenu>("mnuArt");
    QTest::mouseClick(find<QWidget>("picArt"), Qt::RightButton);
    ASSERT_TRUE(menu->isVisible());
    QAction* paste = menu->findChild<QAction*>("mnuArtItem1");
    EXPECT_EQ(paste->text(), "&Paste");
    EXPECT_FALSE(menu->findChild<QAction*>("mnuArtItem0")->isEnabled());
    menu->hide();
    paste->trigger();
    ASSERT_EQ(w->ArtEditor().Count(), 2);
    EXPECT_EQ(w->ArtEditor().Position(), 2);

    // A 32 x 32 PNG may be a file icon; re-typed to JPEG it becomes "Other File Icon".
    cmbPictureType->setCurrentIndex(1);
    emit cmbPictureType->activated(1);
    EXPECT_EQ(w->ArtEditor().PictureTypes()[1], 1);
    cmbImageType->setCurrentIndex(2);
    emit cmbImageType->activated(2);
    EXPECT_EQ(w->ArtEditor().ImageTypes()[1], "image/jpeg");
    EXPECT_EQ(w->ArtEditor().PictureTypes()[1], 2);
    EXPECT_EQ(cmbPictureType->currentIndex(), 2);

    // With a picture shown, copy is offered and paste would replace it.
    QTest::mouseClick(find<QWidget>("picArt"), Qt::RightButton);
    EXPECT_EQ(paste->text(), "&Paste (this will change the current image)");
    EXPECT_TRUE(menu->findChild<QAction*>("mnuArtItem0")->isEnabled());
    menu->hide();
    fakes->clipboard->clear();
    menu->findChild<QAction*>("mnuArtItem0")->trigger();
    EXPECT_EQ(fakes->clipboard->image().size(), QSize(32, 32));

    selectRows({0});
    apply();
    const Read r(file("a.mp3"));
    ASSERT_EQ(r.tag.AttachedPictures->Count(), 2);
    const auto first = APicDecoder::DecodeImage(*r.tag.AttachedPictures, 1, 3);
    const auto second = APicDecoder::DecodeImage(*r.tag.AttachedPictures, 2, 3);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->MIMEType, "image/png");
    EXPECT_EQ(first->Pic.image().size(), QSize(20, 10));
    EXPECT_EQ(modImageType::DetectImageKind(second->OrigPicData), ImageKind::JPEG);
    EXPECT_EQ(second->MIMEType, "image/jpeg");
    EXPECT_EQ(second->PictureType, 2);
    EXPECT_EQ(second->Pic.image().size(), QSize(32, 32));
}

TEST_F(SavingTest, AnEmptyArtPageWithAnEmptyClipboardShowsNoMenu)
{
    writeFiles(1);
    open(dir.path());
    w->show();
    find<QTabWidget>("TabStrip1")->setCurrentIndex(2);
    QApplication::processEvents();
    QTest::mouseClick(find<QLabel>("lblBrowse"), Qt::RightButton);
    EXPECT_FALSE(find<QMenu>("mnuArt")->isVisible());
    EXPECT_EQ(fakes->dialogs->imageRequests, 0);
}

TEST_F(SavingTest, AnImageFileDroppedOnTheArtPageIsTaken)
{
    writeFiles(1);
    const QString gif = dir.filePath("drop.gif");
    ASSERT_TRUE(Filled(5, 5, Qt::yellow).save(gif, "GIF") || Filled(5, 5, Qt::yellow).save(gif, "PNG"));
    open(dir.path());
    auto* picArt = find<QWidget>("picArt");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(gif)});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(picArt, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(picArt, &drop);
    EXPECT_EQ(w->ArtEditor().Count(), 1);
}

// A picture from a version 2.3 file applied to a version 2.2 file takes the 2.2 form
// (a three-letter format, BMP and GIF as PNG), so the 2.2 file stays readable.
TEST_F(SavingTest, PicturesTakeTheFormOfEachFilesTagVersion)
{
    const QByteArray gif = GDIPlusCandy().ImageToData(Picture(Filled(6, 6, Qt::cyan)), "image/gif");
    ASSERT_EQ(modImageType::DetectImageKind(gif), ImageKind::GIF);
    const std::string mime = "image/gif";
    WriteFile(path("a.mp3"), Tag(3,
                                 Frame(3, "TIT2", Latin1("Three")) +
                                     Frame(3, "APIC",
                                           std::string(1, '\0') + mime + std::string(1, '\0') + char(3) +
                                               std::string(1, '\0') + gif.toStdString()) +
                                     // A picture with a description is not shown in the
                                     // editor but is carried along, described.
                                     Frame(3, "APIC",
                                           std::string("\0image/gif\0", 11) + char(4) + "Back" + std::string(1, '\0') +
                                               gif.toStdString()),
                                 8) +
                                 MpegFrames(20));
    WriteFile(path("b.mp3"), Tag(2, Frame(2, "TT2", Latin1("Two")), 8) + MpegFrames(20));
    open(dir.path());
    selectRows({0, 1});
    // Choosing the picture type again changes the album-art page: its pictures go to both.
    auto* cmbPictureType = find<QComboBox>("cmbPictureType");
    emit cmbPictureType->activated(cmbPictureType->currentIndex());
    ASSERT_TRUE(w->ArtChanged());
    apply();
    const Read two(file("b.mp3"));
    ASSERT_EQ(two.tag.ID3RevisionV2(), 2);
    ASSERT_EQ(two.tag.AttachedPictures->Count(), 2);
    const auto entry = APicDecoder::ParsePictureEntry(two.tag.AttachedPictures->Item(1), 2);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->Format, "PNG");
    EXPECT_EQ(modImageType::DetectImageKind(entry->ImageData), ImageKind::PNG);
    EXPECT_EQ(entry->PictureType, 3);
    const auto described = APicDecoder::ParsePictureEntry(two.tag.AttachedPictures->Item(2), 2);
    ASSERT_TRUE(described);
    EXPECT_EQ(described->Format, "PNG");
    EXPECT_EQ(described->Description, "Back");
    EXPECT_EQ(described->PictureType, 4);
    EXPECT_EQ(modImageType::DetectImageKind(described->ImageData), ImageKind::PNG);
    EXPECT_EQ(Read(file("a.mp3"))(&clsID3::Title), "Three");

    // An independent reader sees the picture frame of the 2.2 file.
    if (!QFile::exists("/usr/bin/python3"))
        GTEST_SKIP() << "no python3";
    QProcess py;
    py.start(
        "/usr/bin/python3",
        {"-c",
         "import sys\ntry:\n import mutagen.id3 as m\nexcept ImportError:\n print('skip'); sys.exit(0)\n"
         "t=m.ID3(sys.argv[1]); p=t.getall('APIC')\n"
         "print(t.version[1], len(p), p[0].mime if p else '', int(p[0].type) if p else '', p[1].desc if len(p) > 1 else '')",
         file("b.mp3")});
    ASSERT_TRUE(py.waitForFinished(30000));
    const QString out = QString::fromUtf8(py.readAllStandardOutput()).trimmed();
    if (out == "skip")
        GTEST_SKIP() << "mutagen not installed";
    EXPECT_EQ(out, "2 2 image/png 3 Back") << QString::fromUtf8(py.readAllStandardError()).toStdString();
}

TEST_F(SavingTest, ProgressBarFollowsTheShareOfAllRows)
{
    writeFiles(10);
    open(dir.path());
    selectRows({0, 2, 4, 6, 8});
    tick("chkYear");
    w->advanceProgress(5);
    EXPECT_EQ(find<XP_ProgressBar>("XP_ProgressBarOlive")->Value(), 50);
    apply();
    EXPECT_FALSE(find<XP_ProgressBar>("XP_ProgressBarOlive")->isVisibleTo(w.get()));
    EXPECT_EQ(find<XP_ProgressBar>("XP_ProgressBarOlive")->Value(), 0);
    EXPECT_EQ(find<QLabel>("lblTotal")->text(), "Total Tracks: 10");
}

// Apply runs beside the window and stops at Cancel: the file in progress is finished,
// the rest are untouched, and the notice counts both.
TEST_F(SavingTest, CancelStopsTheApplyBetweenFiles)
{
    const std::string audio = MpegFrames(400);
    for (int i = 0; i < 200; ++i)
        WriteFile(path(QStringLiteral("%1.mp3").arg(i, 3, 10, QLatin1Char('0')).toStdString()),
                  Tag(3, Frame(3, "TALB", Latin1("Old")), 16) + audio);
    open(dir.path());
    w->show();
    tick("chkAlbum");
    type("txtAlbum", "New");
    list()->selectAll();
    auto* cancel = find<QPushButton>("cmdCancel");
    auto* bar = find<XP_ProgressBar>("XP_ProgressBarOlive");
    bool editorWaited = false;
    QTimer watcher;
    watcher.setInterval(1);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (bar->Value() > 0 && cancel->isVisible()) {
            editorWaited = !find<QWidget>("TabStrip1")->isEnabled() && !find<QWidget>("Command2")->isEnabled();
            QTest::mouseClick(cancel, Qt::LeftButton);
            watcher.stop();
        }
    });
    watcher.start();
    apply();
    EXPECT_TRUE(editorWaited);
    EXPECT_FALSE(cancel->isVisible());
    int written = 0;
    for (int i = 0; i < 200; ++i) {
        const QString album = Read(file(QStringLiteral("%1.mp3").arg(i, 3, 10, QLatin1Char('0'))))(&clsID3::Album);
        ASSERT_TRUE(album == "Old" || album == "New") << i;
        written += album == "New" ? 1 : 0;
    }
    EXPECT_GT(written, 0);
    EXPECT_LT(written, 200);
    ASSERT_FALSE(fakes->messages->shown.isEmpty());
    EXPECT_EQ(fakes->messages->shown[0].text,
              QStringLiteral("Stopped: %1 of 200 files were written; the other %2 were not touched.")
                  .arg(written)
                  .arg(200 - written));
}

// Files are written several at once; still every selected file gets the value, no
// other file does, and the files that could not be written are named in list order.
TEST_F(SavingTest, AnApplyWritesEverySelectedFileAndNamesFailuresInListOrder)
{
    const int n = 40;
    for (int i = 0; i < n; ++i)
        WriteFile(path(QStringLiteral("%1.mp3").arg(i, 2, 10, QLatin1Char('0')).toStdString()),
                  Tag(3, Frame(3, "TALB", Latin1("Old")), 16) + MpegFrames(20));
    open(dir.path());
    w->SortByColumnClick(0); // descending: list order is not the order of the names
    ASSERT_EQ(w->ListModel()->cell(0, 0), "39.mp3");
    list()->selectAll();
    list()->selectionModel()->select(w->ListModel()->index(5, 0),
                                     QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    for (const char* gone : {"03.mp3", "30.mp3", "17.mp3"})
        QFile::remove(file(gone));
    tick("chkAlbum");
    type("txtAlbum", "New");
    apply();
    for (int i = 0; i < n; ++i) {
        const QString name = QStringLiteral("%1.mp3").arg(i, 2, 10, QLatin1Char('0'));
        if (name == "03.mp3" || name == "30.mp3" || name == "17.mp3")
            continue;
        EXPECT_EQ(Read(file(name))(&clsID3::Album), name == "34.mp3" ? "Old" : "New") << name.toStdString();
    }
    ASSERT_EQ(fakes->messages->shown.size(), 1);
    const QStringList lines = fakes->messages->shown[0].text.split('\n');
    ASSERT_EQ(lines.size(), 5) << fakes->messages->shown[0].text.toStdString();
    EXPECT_EQ(lines[0], "These 3 files could not be written:");
    EXPECT_TRUE(lines[2].startsWith("30.mp3: cannot be read"));
    EXPECT_TRUE(lines[3].startsWith("17.mp3: cannot be read"));
    EXPECT_TRUE(lines[4].startsWith("03.mp3: cannot be read"));
}
