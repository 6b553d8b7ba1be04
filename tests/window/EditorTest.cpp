// The editor pages: their controls, loading a file into them, and the multi-value
// editors for album art and URL lists.
#include "WindowTestSupport.h"

#include "tag/FolderScan.h"
#include "tag/MultiFrameData.h"

#include <QBuffer>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>

using namespace brindle;
using namespace brindle::test;

namespace {

std::string Png(int width, int height, QColor colour)
{
    QImage img(width, height, QImage::Format_RGB32);
    img.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "PNG");
    return bytes.toStdString();
}

std::string Apic(int pictureType, const std::string& png)
{
    return Frame(3, "APIC", std::string("\0image/png\0", 11) + char(pictureType) + std::string(1, '\0') + png);
}

std::string Url(const char* id, const std::string& url) { return Frame(3, id, url); }

// A version 2.3 file with a frame for every field the pages show.
std::string FullTag(const std::string& extraFrames = {})
{
    std::string f;
    auto text = [&](const char* id, const std::string& v) { f += Frame(3, id, Latin1(v)); };
    text("TIT2", "Title A");
    text("TPE1", "Artist B");
    text("TALB", "Album C");
    text("TCON", "(17)");
    text("TRCK", "4/12");
    text("TYER", "2001");
    f += Frame(3, "COMM", CommentData(0, "eng", u"", u"Comment D"));
    f += Frame(3, "USLT", CommentData(0, "eng", u"", u"Lyrics E"));
    text("TCOM", "Composer F");
    text("TPE2", "Band G");
    text("TPE3", "Conductor H");
    text("TPE4", "Remixer I");
    text("TEXT", "Lyricist J");
    text("TOPE", "Orig Artist K");
    text("TOAL", "Orig Album L");
    text("TOFN", "orig.mp3");
    text("TOLY", "Orig Lyricist M");
    text("TORY", "1999");
    text("TCOP", "2001 N");
    text("TOWN", "Owner O");
    text("TPUB", "Publisher P");
    text("TRSN", "Station Q");
    text("TRSO", "Station Owner R");
    text("TSRC", "USABC0100001");
    text("TLAN", "eng");
    f += Url("WOAR", "http://artist.example/one");
    f += Url("WOAR", "http://artist.example/two");
    f += Url("WCOP", "http://copyright.example");
    f += Url("WOAF", "http://audio.example");
    f += Url("WCOM", "https://shop.example");
    f += Url("WOAS", "http://source.example");
    f += Url("WORS", "http://radio.example");
    f += Url("WPAY", "http://pay.example");
    f += Url("WPUB", "http://publisher.example");
    text("TENC", "Encoder S");
    text("TBPM", "120");
    text("TKEY", "C sharp (minor)");
    text("TPOS", "2/3");
    return Tag(3, f + extraFrames, 32) + MpegFrames(40);
}

} // namespace

class EditorTest : public WindowTest {
protected:
    QString text(const char* name) const
    {
        QWidget* wgt = find<QWidget>(name);
        if (auto* e = qobject_cast<QLineEdit*>(wgt))
            return e->text();
        if (auto* p = qobject_cast<QPlainTextEdit*>(wgt))
            return p->toPlainText();
        if (auto* c = qobject_cast<QComboBox*>(wgt))
            return c->currentText();
        if (auto* l = qobject_cast<QLabel*>(wgt))
            return l->text();
        return "?";
    }
    QString key(const char* button) const { return find<ImageButton>(button)->imageKey(); }
    void click(const char* button) { QTest::mouseClick(find<ImageButton>(button), Qt::LeftButton); }
    void write(const char* name, const std::string& bytes)
    {
        WriteFile(QFile::encodeName(dir.filePath(name)).toStdString(), bytes);
    }
};

TEST_F(EditorTest, EveryPageHoldsItsControlsWithTheirCaptions)
{
    open(dir.path());
    auto* tabs = find<QTabWidget>("TabStrip1");
    QStringList titles;
    for (int i = 0; i < tabs->count(); ++i)
        titles << tabs->tabText(i);
    EXPECT_EQ(titles, QStringList({"Basic", "Advanced", "Album Art", "Filename", "Additional Tag Info", "Help/About"}));

    const std::pair<const char*, const char*> checks[] = {{"chkTitle", "Title:"},
                                                          {"chkArtist", "Artist:"},
                                                          {"chkAlbum", "Album:"},
                                                          {"chkGenre", "Genre:"},
                                                          {"chkTrack", "Track:"},
                                                          {"chkAutTrack", "Auto Number"},
                                                          {"chkTrackof", "of"},
                                                          {"chkYear", "Year:"},
                                                          {"chkComments", "Comments:"},
                                                          {"chkLyrics", "Lyrics:"},
                                                          {"chkComposer", "Composer:"},
                                                          {"chkBand", "Band/Orchestra:"},
                                                          {"chkConductor", "Conductor:"},
                                                          {"chkInterpreted", "Interpreted by:"},
                                                          {"chkLyricist", "Lyricist:"},
                                                          {"chkOriginalArtist", "Original Artist:"},
                                                          {"chkOriginalAlbum", "Original Album:"},
                                                          {"chkOriginalFilename", "Original Filename:"},
                                                          {"chkOriginalLyricist", "Original Lyricist:"},
                                                          {"chkOriginalReleaseYear", "Original Release Year:"},
                                                          {"chkCopyright", "Copyright:"},
                                                          {"chkFileOwner", "File Owner/Licensee:"},
                                                          {"chkPublisher", "Publisher:"},
                                                          {"chkNetStationName", "Net Radio Stn. Name:"},
                                                          {"chkNetRadioOwner", "Net Radio Stn. Owner:"},
                                                          {"chkISRC", "ISRC:"},
                                                          {"chkLanguages", "Languages:"},
                                                          {"chkCommercialInfoURL", "Commercial Info URL:"},
                                                          {"chkCopyrightInfoURL", "Copyright Info URL:"},
                                                          {"chkAudioURL", "Audio URL:"},
                                                          {"chkArtistURL", "Artist URL:"},
                                                          {"chkAudioSourceURL", "Audio Source URL:"},
                                                          {"chkNetRadioStationURL", "Net Radio Station URL:"},
                                                          {"chkPaymentURL", "Payment URL:"},
                                                          {"chkPublisherURL", "Publisher URL:"},
                                                          {"chkEncodedby", "Encoded by:"},
                                                          {"chkBPM", "BPM:"},
                                                          {"chkInitialKey", "Initial Key:"},
                                                          {"chkDisc", "Disc:"}};
    for (auto [name, caption] : checks) {
        if (auto* box = find<QCheckBox>(name)) {
            EXPECT_EQ(box->text(), caption) << name;
        }
    }

    const std::tuple<const char*, const char*, const char*> tools[] = {
        {"cmdRenFile", "&Use Title For Filename", "Use the MP3 Tag Title for the filename of selected files"},
        {"cmdRenTitle", "Use &Filename For Title", "Use the filename for the MP3 Tag Title of selected files"},
        {"cmdEditFilename", "&Edit Filename of File", "Edit the selected filename"},
        {"cmdClean", "&Clean Filename", "Remove %20, _,excess spaces and capitalize the first letter of each word"},
        {"Command4", "&Remove Leading Numbers", "Remove leading numbers and most special characters"},
        {"Command6", "Auto &Number Filenames",
         "Add numbering to the beginning of all files in the format 01 -, 02 - , 03 -"}};
    for (auto [name, caption, description] : tools) {
        auto* b = find<QPushButton>(name);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->text(), caption);
        EXPECT_EQ(find<QLabel>((QByteArray("lbl") + name).constData())->text(), description);
    }

    EXPECT_EQ(text("lblBrowse"), "Click here to browse...");
    EXPECT_EQ(text("lblImageType"), "Image type:");
    EXPECT_EQ(text("lblPictureType"), "Picture type:");
    auto* pictureTypes = find<QComboBox>("cmbPictureType");
    ASSERT_EQ(pictureTypes->count(), 21);
    EXPECT_EQ(pictureTypes->itemText(3), "Front Cover");
    EXPECT_EQ(pictureTypes->itemText(17), "A Bright Colored Fish");
    for (const char* name : {"picArt", "imgArt", "countArt", "prevArt", "nextArt", "delArt", "countArtistURL",
                             "prevArtistURL", "nextArtistURL", "delArtistURL", "countCommercialInfo",
                             "prevCommercialInfo", "nextCommercialInfo", "delCommercialInfo", "VScroll1"})
        find<QWidget>(name);
    EXPECT_TRUE(text("lblTitle").startsWith("Brindle - v"));

    // At the design size no page cuts off a caption of its buttons, boxes or labels.
    w->show();
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        QApplication::processEvents();
        for (QAbstractButton* b : tabs->widget(i)->findChildren<QAbstractButton*>()) {
            if (!b->isVisible() || qobject_cast<ImageButton*>(b))
                continue;
            EXPECT_GE(b->width(), b->minimumSizeHint().width()) << b->objectName().toStdString();
            EXPECT_GT(b->height(), 0) << b->objectName().toStdString();
        }
        // A page whose layout needs more room than the tab strip gives would be cut off
        // (pages that need more scroll instead).
        QWidget* page = tabs->widget(i);
        if (!qobject_cast<QScrollArea*>(page)) {
            EXPECT_LE(page->minimumSizeHint().height(), page->height()) << i;
            EXPECT_LE(page->minimumSizeHint().width(), page->width()) << i;
        }
        for (QLabel* l : tabs->widget(i)->findChildren<QLabel*>()) {
            if (!l->isVisible() || l->wordWrap() || l->objectName() == "imgArt")
                continue;
            EXPECT_GE(l->width(), l->minimumSizeHint().width())
                << l->objectName().toStdString() << " " << l->text().toStdString();
        }
    }
}

TEST_F(EditorTest, LoadingAVersion23FileFillsEveryControl)
{
    write("full.mp3", FullTag());
    open(dir.path());
    const std::pair<const char*, const char*> expected[] = {{"txtTitle", "Title A"},
                                                            {"txtArtist", "Artist B"},
                                                            {"txtAlbum", "Album C"},
                                                            {"cmbGenre", "Rock"},
                                                            {"txtTrackNumber", "4"},
                                                            {"txtTracksTotal", "12"},
                                                            {"txtYear", "2001"},
                                                            {"txtComments", "Comment D"},
                                                            {"txtLyrics", "Lyrics E"},
                                                            {"txtComposer", "Composer F"},
                                                            {"txtBand", "Band G"},
                                                            {"txtConductor", "Conductor H"},
                                                            {"txtInterpretedBy", "Remixer I"},
                                                            {"txtLyricist", "Lyricist J"},
                                                            {"txtOriginalArtist", "Orig Artist K"},
                                                            {"txtOriginalAlbum", "Orig Album L"},
                                                            {"txtOriginalFileName", "orig.mp3"},
                                                            {"txtOriginalLyricist", "Orig Lyricist M"},
                                                            {"txtOriginalReleaseYear", "1999"},
                                                            {"txtCopyright", "2001 N"},
                                                            {"txtFileOwner", "Owner O"},
                                                            {"txtPublisher", "Publisher P"},
                                                            {"txtInternetRadioStationName", "Station Q"},
                                                            {"txtInternetRadioStationOwner", "Station Owner R"},
                                                            {"txtISRC", "USABC0100001"},
                                                            {"txtLanguages", "eng"},
                                                            {"txtArtistURL", "http://artist.example/one"},
                                                            {"countArtistURL", "1/2"},
                                                            {"txtCopyrightInfo", "http://copyright.example"},
                                                            {"txtAudioURL", "http://audio.example"},
                                                            {"txtCommercialInfo", "https://shop.example"},
                                                            {"countCommercialInfo", "1/1"},
                                                            {"txtAudioSourceURL", "http://source.example"},
                                                            {"txtInternetRadioStationURL", "http://radio.example"},
                                                            {"txtPaymentURL", "http://pay.example"},
                                                            {"txtPublisherURL", "http://publisher.example"},
                                                            {"txtEncodedBy", "Encoder S"},
                                                            {"txtBPM", "120"},
                                                            {"cmbKey", "C sharp (minor)"},
                                                            {"txtDiscNumber", "2"},
                                                            {"txtDiscsTotal", "3"},
                                                            {"countArt", "0/0"},
                                                            {"jblGenre", "Genre: "},
                                                            {"jblGenreID", "Genre ID: 17"}};
    for (auto [name, value] : expected)
        EXPECT_EQ(text(name), value) << name;
    EXPECT_EQ(w->CurrentTagRevision(), 3);
    // A rescan of an empty folder empties the URL editors as well.
    QFile::remove(dir.filePath("full.mp3"));
    find<QPushButton>("Command5")->click();
    EXPECT_EQ(text("txtArtistURL"), "");
    EXPECT_EQ(text("countArtistURL"), "0/0");
}

TEST_F(EditorTest, AudioInformationLabels)
{
    // 1000 frames of MPEG 1 Layer III, 128 kbit/s, 44.1 kHz, joint stereo.
    MpegSpec mpeg1{.channelMode = 1};
    const std::string one = Tag(3, Frame(3, "TIT2", Latin1("x")), 0) + MpegFrames(1000, mpeg1);
    write("one.mp3", one);
    open(dir.path());
    EXPECT_EQ(text("jblFrameSamp"), "Frame Samples: 1152");
    EXPECT_EQ(text("jblFrameSz"), "Frame Size: 418"); // 417.96 rounded
    EXPECT_EQ(text("jblSamplingRate"), "Sampling Rate: 44100");
    EXPECT_EQ(text("jblBitrate"), "Bit Rate: 128 kbps");
    EXPECT_EQ(text("jblPath"), "File Path: " + dir.path() + "/one.mp3");
    EXPECT_EQ(text("jblType"), "Type: Constant Bit Rate");
    EXPECT_EQ(text("jblMPGv"), "Version: MPEG 1 Layer 3");
    EXPECT_EQ(text("jblChannel"), "Channel Mode: Joint Stereo");
    EXPECT_EQ(text("jblSize"), "File Size: " + FormatFileSize(double(one.size())));
    EXPECT_TRUE(text("jblSize").endsWith(" KB"));

    // MPEG 2 Layer III, single channel; the labels are rebuilt, not appended to.
    MpegSpec mpeg2{.version = 2, .bitrateIndex = 8, .channelMode = 3};
    write("two.mp3", MpegFrames(50, mpeg2));
    find<QPushButton>("Command5")->click();
    list()->selectionModel()->setCurrentIndex(w->ListModel()->index(1, 0), QItemSelectionModel::ClearAndSelect);
    EXPECT_EQ(text("jblMPGv"), "Version: MPEG 2 Layer 3");
    EXPECT_EQ(text("jblChannel"), "Channel Mode: Single Channel");
    EXPECT_EQ(text("jblSamplingRate"), "Sampling Rate: 22050");
    EXPECT_EQ(text("jblBitrate"), "Bit Rate: 64 kbps");
    EXPECT_EQ(text("jblGenreID"), "Genre ID: 255");
    EXPECT_EQ(text("jblGenre"), "Genre: ");

    EXPECT_EQ(BitRateLabel(127999.6), "Bit Rate: 128 kbps");
    EXPECT_EQ(FileListModel::toQString(FormatBitRate(127999.6, 0)).left(3), "127");
    EXPECT_EQ(BitRateLabel(999.4), "Bit Rate: 0 kbps");
    EXPECT_EQ(FormatFileSize(1023), "1023 bytes");
    EXPECT_EQ(FormatFileSize(1536), "1.50 KB");
    EXPECT_EQ(FormatFileSize(5242880), "5.00 MB");
    EXPECT_EQ(FormatFileSize(3.5 * 1024.0 * 1024 * 1024 * 1024), "3.50 TB");
    EXPECT_EQ(FormatFileSize(std::ldexp(1.0, 90)), "1024.00 YB");
}

TEST_F(EditorTest, FreeTextGenreShowsAsStored)
{
    WriteMp3(dir.filePath("g.mp3"), {.genre = "Chillwave"});
    open(dir.path());
    EXPECT_EQ(text("cmbGenre"), "Chillwave");
    EXPECT_EQ(text("jblGenre"), "Genre: Chillwave");
    EXPECT_EQ(text("jblGenreID"), "Genre ID: 255");
}

TEST_F(EditorTest, ThreeRowsSelectedShowTheFocusedOne)
{
    WriteMp3(dir.filePath("a.mp3"), {.title = "First"});
    WriteMp3(dir.filePath("b.mp3"), {.title = "Second"});
    WriteMp3(dir.filePath("c.mp3"), {.title = "Third"});
    open(dir.path());
    QItemSelectionModel* sel = list()->selectionModel();
    sel->select(QItemSelection(w->ListModel()->index(0, 0), w->ListModel()->index(2, 10)), QItemSelectionModel::Select);
    sel->setCurrentIndex(w->ListModel()->index(1, 0), QItemSelectionModel::NoUpdate);
    EXPECT_EQ(sel->selectedRows().size(), 3);
    EXPECT_EQ(text("txtTitle"), "Second");
    // The keyboard moves the focus and loads as well.
    list()->setFocus();
    QTest::keyClick(list(), Qt::Key_Down);
    EXPECT_EQ(text("txtTitle"), "Third");
}

TEST_F(EditorTest, ArtistUrlEditorStepsAddsAndDeletes)
{
    write("u.mp3", Tag(3,
                       Url("WOAR", "http://a.example") + Url("WOAR", "http://b.example") +
                           Url("WOAR", "http://c.example") + Url("WCOM", std::string(3, '\0')),
                       0) +
                       MpegFrames(10));
    open(dir.path());
    EXPECT_EQ(text("countArtistURL"), "1/3");
    EXPECT_EQ(text("txtArtistURL"), "http://a.example");
    EXPECT_EQ(key("prevArtistURL"), "previ");
    EXPECT_EQ(key("nextArtistURL"), "next");
    EXPECT_EQ(key("delArtistURL"), "del");
    EXPECT_EQ(find<ImageButton>("nextArtistURL")->toolTip(), "Next Artist URL");
    EXPECT_EQ(find<ImageButton>("prevArtistURL")->toolTip(), "");
    // A NUL-only entry is not loaded.
    EXPECT_EQ(text("countCommercialInfo"), "0/0");
    EXPECT_EQ(key("nextCommercialInfo"), "addi");

    // A press released outside the button does nothing.
    auto* next = find<ImageButton>("nextArtistURL");
    QTest::mousePress(next, Qt::LeftButton);
    QTest::mouseRelease(next, Qt::LeftButton, {}, QPoint(next->width() + 5, 2));
    EXPECT_EQ(text("countArtistURL"), "1/3");

    click("nextArtistURL");
    click("nextArtistURL");
    EXPECT_EQ(text("countArtistURL"), "3/3");
    EXPECT_EQ(text("txtArtistURL"), "http://c.example");
    EXPECT_EQ(key("nextArtistURL"), "add");
    EXPECT_EQ(key("prevArtistURL"), "prev");
    EXPECT_EQ(find<ImageButton>("nextArtistURL")->toolTip(), "Add Artist URL");

    click("nextArtistURL"); // add
    EXPECT_EQ(text("countArtistURL"), "4/4");
    EXPECT_EQ(text("txtArtistURL"), "");
    // Typing goes into the new entry; an empty box adds nothing more.
    click("nextArtistURL");
    EXPECT_EQ(text("countArtistURL"), "4/4");
    QTest::keyClicks(find<QLineEdit>("txtArtistURL"), "http://d.example");
    EXPECT_EQ(w->ArtistURLEditor().Urls(),
              QStringList({"http://a.example", "http://b.example", "http://c.example", "http://d.example"}));

    // Back to 2 and delete it: the former third is shown as 2/3.
    click("prevArtistURL");
    click("prevArtistURL");
    click("prevArtistURL");
    EXPECT_EQ(text("countArtistURL"), "2/4");
    click("delArtistURL");
    EXPECT_EQ(text("countArtistURL"), "2/3");
    EXPECT_EQ(text("txtArtistURL"), "http://c.example");
    click("delArtistURL");
    click("delArtistURL");
    EXPECT_EQ(text("countArtistURL"), "1/1");
    EXPECT_EQ(text("txtArtistURL"), "http://a.example");
    EXPECT_EQ(key("nextArtistURL"), "add");
    click("delArtistURL");
    EXPECT_EQ(text("countArtistURL"), "0/0");
    EXPECT_EQ(text("txtArtistURL"), "");
    EXPECT_EQ(key("nextArtistURL"), "addi");
    EXPECT_EQ(key("delArtistURL"), "deli");
    EXPECT_EQ(key("prevArtistURL"), "previ");

    // Typing into the empty editor starts an entry, so a typed URL is kept.
    QTest::keyClicks(find<QLineEdit>("txtCommercialInfo"), "https://buy.example");
    EXPECT_EQ(text("countCommercialInfo"), "1/1");
    EXPECT_EQ(w->CommercialInfoEditor().Urls(), QStringList({"https://buy.example"}));
}

TEST_F(EditorTest, AlbumArtShowsPicturesAndDeletesThemFromTheTagList)
{
    const std::string red = Png(60, 20, Qt::red), green = Png(10, 30, Qt::green), blue = Png(16, 16, Qt::blue);
    write("art.mp3", Tag(3, Apic(3, red) + Apic(4, green) + Apic(0, blue), 0) + MpegFrames(10));
    open(dir.path());
    w->show();
    auto* tabs = find<QTabWidget>("TabStrip1");
    tabs->setCurrentIndex(2);
    QApplication::processEvents();

    auto* picArt = find<QFrame>("picArt");
    auto* imgArt = find<QLabel>("imgArt");
    EXPECT_EQ(text("countArt"), "1/3");
    EXPECT_TRUE(imgArt->isVisible());
    EXPECT_FALSE(find<QLabel>("lblBrowse")->isVisible());
    EXPECT_EQ(picArt->palette().color(QPalette::Window), QColor(Qt::black));
    // Fitted and centred: the wide picture fills the width.
    const QRect inner = picArt->contentsRect();
    EXPECT_EQ(imgArt->width(), inner.width());
    EXPECT_NEAR(imgArt->height() * 3, imgArt->width(), 3);
    EXPECT_NEAR(imgArt->geometry().center().y(), inner.center().y(), 1);
    EXPECT_EQ(imgArt->pixmap().toImage().pixelColor(1, 1), QColor(Qt::red));
    EXPECT_EQ(text("cmbImageType"), "PNG");
    EXPECT_EQ(text("cmbPictureType"), "Front Cover");
    EXPECT_EQ(imgArt->toolTip(), "Click here to browse... (this will change the current image)");
    EXPECT_TRUE(find<QComboBox>("cmbImageType")->isEnabled());

    // A picture type the user picks stays with its picture.
    auto* pictureType = find<QComboBox>("cmbPictureType");
    pictureType->activated(7);
    EXPECT_EQ(w->ArtEditor().PictureTypes().front(), 7);
    click("nextArt");
    EXPECT_EQ(text("countArt"), "2/3");
    EXPECT_EQ(imgArt->pixmap().toImage().pixelColor(1, 1), QColor(Qt::green));
    EXPECT_EQ(text("cmbPictureType"), "Back Cover");
    EXPECT_EQ(imgArt->height(), inner.height()); // tall picture fills the height

    // Deleting picture 2 of 3 shows the former third as 2/2 and takes it out of the
    // tag's list.
    std::shared_ptr<MultiFrameData> pictures = w->ArtEditor().PictureList();
    ASSERT_TRUE(pictures);
    click("delArt");
    EXPECT_EQ(text("countArt"), "2/2");
    EXPECT_EQ(imgArt->pixmap().toImage().pixelColor(1, 1), QColor(Qt::blue));
    EXPECT_EQ(pictures->Count(), 2);
    EXPECT_EQ(w->ArtEditor().SourceIndexes(), QList<int>({1, 2}));
    EXPECT_EQ(key("nextArt"), "add");

    // "Add" offers an empty slot; delete there steps back to the picture.
    click("nextArt");
    EXPECT_EQ(text("countArt"), "2/2");
    EXPECT_FALSE(imgArt->isVisible());
    EXPECT_TRUE(find<QLabel>("lblBrowse")->isVisible());
    EXPECT_EQ(key("nextArt"), "addi");
    click("delArt");
    EXPECT_TRUE(imgArt->isVisible());
    EXPECT_EQ(key("nextArt"), "add");

    click("prevArt");
    click("delArt");
    click("delArt");
    EXPECT_EQ(text("countArt"), "0/0");
    EXPECT_EQ(pictures->Count(), 0);
    EXPECT_TRUE(find<QLabel>("lblBrowse")->isVisible());
    EXPECT_FALSE(find<QComboBox>("cmbImageType")->isEnabled());
    EXPECT_FALSE(find<QComboBox>("cmbPictureType")->isEnabled());
    EXPECT_EQ(text("cmbImageType"), "JPEG");
    EXPECT_EQ(text("cmbPictureType"), "Other");
    EXPECT_EQ(key("prevArt"), "previ");
    EXPECT_EQ(key("nextArt"), "addi");
    EXPECT_EQ(key("delArt"), "deli");
    EXPECT_NE(picArt->palette().color(QPalette::Window), QColor(Qt::black));
}

TEST_F(EditorTest, ImageTypeListFollowsTheTagRevision)
{
    const std::string png = Png(8, 8, Qt::yellow);
    write("a22.mp3",
          Tag(2, Frame(2, "PIC", std::string("\0PNG", 4) + char(3) + std::string(1, '\0') + png), 0) + MpegFrames(10));
    write("b23.mp3", Tag(3, Apic(3, png), 0) + MpegFrames(10));
    write("c-none.mp3", MpegFrames(10));
    open(dir.path());
    auto* types = find<QComboBox>("cmbImageType");
    EXPECT_EQ(w->CurrentTagRevision(), 2);
    EXPECT_EQ(types->count(), 2);
    EXPECT_EQ(text("cmbImageType"), "PNG");
    EXPECT_EQ(text("countArt"), "1/1");
    list()->selectionModel()->setCurrentIndex(w->ListModel()->index(1, 0), QItemSelectionModel::ClearAndSelect);
    EXPECT_EQ(types->count(), 4);
    EXPECT_EQ(types->itemText(0), "BMP");
    EXPECT_EQ(text("cmbImageType"), "PNG");
    // A file without a tag will get a 2.3 one, so it keeps the four types.
    list()->selectionModel()->setCurrentIndex(w->ListModel()->index(2, 0), QItemSelectionModel::ClearAndSelect);
    EXPECT_EQ(types->count(), 4);
    EXPECT_EQ(text("cmbImageType"), "JPEG");
}

TEST_F(EditorTest, UrlBoxesOpenWebAddressesOnDoubleClick)
{
    write("full.mp3", FullTag());
    open(dir.path());
    auto* audio = find<QLineEdit>("txtAudioURL");
    QTest::mouseDClick(audio, Qt::LeftButton);
    auto* shop = find<QLineEdit>("txtCommercialInfo");
    QTest::mouseDClick(shop, Qt::LeftButton);
    EXPECT_EQ(fakes->shell->opened, QStringList({"http://audio.example", "https://shop.example"}));
    QTest::mouseMove(audio, QPoint(5, 5));
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), QPointF(5, 5), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(audio, &move);
    EXPECT_EQ(audio->toolTip(), "Doubleclick to go to http://audio.example");
    EXPECT_EQ(audio->cursor().shape(), Qt::PointingHandCursor);

    // A bare host name neither opens nor offers to.
    audio->setText("www.example.org");
    QApplication::sendEvent(audio, &move);
    QTest::mouseDClick(audio, Qt::LeftButton);
    EXPECT_EQ(fakes->shell->opened.size(), 2);
    EXPECT_EQ(audio->toolTip(), "");
}

TEST(ImageButtonTest, InactiveImagesAreGreyAndActiveOnesAreNot)
{
    for (const char* k : {"prev", "next", "add", "del"}) {
        const QImage active = ImageButton::drawImage(k, 24);
        const QImage inactive = ImageButton::drawImage(QString(k) + "i", 24);
        auto colourful = [](const QImage& img) {
            int n = 0;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x) {
                    const QColor c = img.pixelColor(x, y);
                    if (c.alpha() > 200 && c.hsvSaturation() > 80)
                        ++n;
                }
            return n;
        };
        EXPECT_GT(colourful(active), 20) << k;
        EXPECT_EQ(colourful(inactive), 0) << k;
        EXPECT_NE(active, ImageButton::drawImage(k == std::string("prev") ? "next" : "prev", 24)) << k;
    }
}

// Pictures of every page at the design size, for a look by eye:
//   BRINDLE_SHOTS=/some/dir brindle_window_tests --gtest_also_run_disabled_tests
//   --gtest_filter='*Screenshots*'
TEST_F(EditorTest, DISABLED_Screenshots)
{
    const QString out = qEnvironmentVariable("BRINDLE_SHOTS");
    if (out.isEmpty())
        GTEST_SKIP() << "BRINDLE_SHOTS not set";
    write("01 - full.mp3",
          FullTag(Apic(3, Png(300, 300, QColor(200, 120, 40))) + Apic(4, Png(120, 200, Qt::darkCyan))));
    write("02 - bare.mp3", MpegFrames(20));
    open(dir.path());
    w->show();
    auto* tabs = find<QTabWidget>("TabStrip1");
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        QApplication::processEvents();
        EXPECT_TRUE(w->grab().save(QStringLiteral("%1/page%2.png").arg(out).arg(i)));
    }
    tabs->setCurrentIndex(1);
    auto* advanced = find<QAbstractScrollArea>("VScroll1");
    advanced->verticalScrollBar()->setValue(advanced->verticalScrollBar()->maximum());
    QApplication::processEvents();
    EXPECT_TRUE(w->grab().save(out + QStringLiteral("/page1-end.png")));
    tabs->setCurrentIndex(2);
    list()->selectionModel()->setCurrentIndex(w->ListModel()->index(1, 0), QItemSelectionModel::ClearAndSelect);
    QApplication::processEvents();
    EXPECT_TRUE(w->grab().save(out + QStringLiteral("/page2-empty.png")));
}
