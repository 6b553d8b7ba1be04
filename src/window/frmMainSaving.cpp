// Saving: the apply pass over the selected rows, "&Apply Tags", "Select all Tags", and
// the ways a picture enters and leaves the album-art editor.
#include "frmMain.h"

#include "WindowShared.h"

#include "controls/XP_ProgressBar.h"
#include "pictures/GDIPlusCandy.h"
#include "pictures/ImageFileInput.h"
#include "pictures/modImageType.h"
#include "platform/Desktop.h"
#include "platform/FileOps.h"
#include "tag/clsID3.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEvent>
#include <QFile>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>

#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

namespace brindle {

namespace {


// The fields the Enter key applies from.
const char* const kEnterFields[] = {"txtTitle", "txtTrackNumber", "txtTracksTotal", "txtYear", "txtArtist",
                                    "txtAlbum", "cmbGenre", "txtComments", "txtLyrics"};

enum class Apply { Text, Genre, Track, TracksTotal, CommercialUrls, ArtistUrls, Disc };

// The ticked fields in the order they are applied to each file.
struct CheckedField {
    const char* box;
    const char* control;
    std::u16string clsID3::*property;
    Apply how = Apply::Text;
};
const CheckedField kCheckedFields[] = {
    {"chkTitle", "txtTitle", &clsID3::Title},
    {"chkArtist", "txtArtist", &clsID3::Artist},
    {"chkAlbum", "txtAlbum", &clsID3::Album},
    {"chkGenre", "cmbGenre", &clsID3::Genre, Apply::Genre},
    {"chkTrack", "txtTrackNumber", &clsID3::TrackNumber, Apply::Track},
    {"chkTrackof", "txtTracksTotal", &clsID3::TracksTotal, Apply::TracksTotal},
    {"chkYear", "txtYear", &clsID3::Year},
    {"chkComments", "txtComments", &clsID3::Comments},
    {"chkLyrics", "txtLyrics", &clsID3::Lyrics},
    {"chkComposer", "txtComposer", &clsID3::Composer},
    {"chkBand", "txtBand", &clsID3::Band},
    {"chkConductor", "txtConductor", &clsID3::Conductor},
    {"chkInterpreted", "txtInterpretedBy", &clsID3::InterpretedBy},
    {"chkLyricist", "txtLyricist", &clsID3::Lyricist},
    {"chkOriginalArtist", "txtOriginalArtist", &clsID3::OriginalArtist},
    {"chkOriginalAlbum", "txtOriginalAlbum", &clsID3::OriginalAlbum},
    {"chkOriginalFilename", "txtOriginalFileName", &clsID3::OriginalFileName},
    {"chkOriginalLyricist", "txtOriginalLyricist", &clsID3::OriginalLyricist},
    {"chkOriginalReleaseYear", "txtOriginalReleaseYear", &clsID3::OriginalReleaseYear},
    {"chkCopyright", "txtCopyright", &clsID3::Copyright},
    {"chkFileOwner", "txtFileOwner", &clsID3::FileOwner},
    {"chkPublisher", "txtPublisher", &clsID3::Publisher},
    {"chkNetStationName", "txtInternetRadioStationName", &clsID3::InternetRadioStationName},
    {"chkNetRadioOwner", "txtInternetRadioStationOwner", &clsID3::InternetRadioStationOwner},
    {"chkISRC", "txtISRC", &clsID3::ISRC},
    {"chkLanguages", "txtLanguages", &clsID3::Languages},
    {"chkCommercialInfoURL", "", nullptr, Apply::CommercialUrls},
    {"chkCopyrightInfoURL", "txtCopyrightInfo", &clsID3::CopyrightInfo},
    {"chkAudioURL", "txtAudioURL", &clsID3::AudioURL},
    {"chkArtistURL", "", nullptr, Apply::ArtistUrls},
    {"chkAudioSourceURL", "txtAudioSourceURL", &clsID3::AudioSourceURL},
    {"chkNetRadioStationURL", "txtInternetRadioStationURL", &clsID3::InternetRadioURL},
    {"chkPaymentURL", "txtPaymentURL", &clsID3::PaymentURL},
    {"chkPublisherURL", "txtPublisherURL", &clsID3::PublisherURL},
    {"chkEncodedby", "txtEncodedBy", &clsID3::EncodedBy},
    {"chkBPM", "txtBPM", &clsID3::BeatsPerMinute},
    {"chkInitialKey", "cmbKey", &clsID3::InitialKey},
    {"chkDisc", "txtDiscNumber", &clsID3::DiscNumber, Apply::Disc},
};

std::u16string toU16(const QString& s) { return FileListModel::toU16(s); }

// A local image file among dropped data, or "".
QString droppedImageFile(const QMimeData* data)
{
    if (!data || !data->hasUrls())
        return {};
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            return url.toLocalFile();
    return {};
}

} // namespace

void frmMain::connectSaving()
{
    connect(Command2, &QPushButton::clicked, this, &frmMain::ApplyTags);
    connect(chkAllTags, &QCheckBox::toggled, this, &frmMain::chkAllTags_Click);

    // The track options exclude one another: numbering automatically cannot go with a
    // copied track number or total.
    auto* chkAutTrack = findChild<QCheckBox*>(QStringLiteral("chkAutTrack"));
    auto* chkTrack = findChild<QCheckBox*>(QStringLiteral("chkTrack"));
    auto* chkTrackof = findChild<QCheckBox*>(QStringLiteral("chkTrackof"));
    connect(chkAutTrack, &QCheckBox::toggled, this, [=, this](bool on) {
        if (!on)
            return;
        setCheck(chkTrack, false);
        setCheck(chkTrackof, false);
        setCheck(chkSelAll, true);
    });
    for (QCheckBox* box : {chkTrack, chkTrackof})
        connect(box, &QCheckBox::toggled, this, [=, this](bool on) {
            if (on)
                setCheck(chkAutTrack, false);
        });

    for (const char* name : kEnterFields) {
        QWidget* w = field(name);
        enterFields_ << w;
        if (auto* combo = qobject_cast<QComboBox*>(w); combo && combo->lineEdit())
            enterFields_ << combo->lineEdit();
    }
    auto* picArt = findChild<ArtView*>(QStringLiteral("picArt"));
    picArt->setAcceptDrops(true);
    artControls_ = {picArt, picArt->imageLabel(), field("lblBrowse")};
    for (QObject* o : enterFields_ + artControls_)
        o->installEventFilter(this);
    auto* cmbImageType = findChild<QComboBox*>(QStringLiteral("cmbImageType"));
    connect(cmbImageType, &QComboBox::activated, this, [this](int index) { artEditor_->SetCurrentImageType(index); });

    mnuArt = new QMenu(QStringLiteral("ArtMenu"), this);
    mnuArt->setObjectName(QStringLiteral("mnuArt"));
    QAction* copy = mnuArt->addAction(QStringLiteral("&Copy"));
    copy->setObjectName(QStringLiteral("mnuArtItem0"));
    QAction* paste = mnuArt->addAction(QStringLiteral("&Paste"));
    paste->setObjectName(QStringLiteral("mnuArtItem1"));
    connect(copy, &QAction::triggered, this, &frmMain::copyArt);
    connect(paste, &QAction::triggered, this, &frmMain::pasteArt);
}

bool frmMain::savingEvent(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && enterFields_.contains(watched)) {
            ApplyTags();
            return true; // nothing is inserted into the box
        }
        return false;
    }
    if (!artControls_.contains(watched))
        return false;
    auto* picArt = static_cast<QWidget*>(artControls_.front());
    if (e->type() == QEvent::MouseButtonRelease) {
        auto* me = static_cast<QMouseEvent*>(e);
        // Released outside the control: the press is abandoned, as for a button.
        const QPoint inPicArt = static_cast<QWidget*>(watched)->mapTo(picArt, me->position().toPoint());
        if (!picArt->rect().contains(inPicArt))
            return false;
        // Handled here, so that the release does not reach picArt a second time through
        // its child labels.
        if (me->button() == Qt::LeftButton) {
            BrowseForImage();
            return true;
        }
        if (me->button() == Qt::RightButton) {
            showArtMenu(me->globalPosition().toPoint());
            return true;
        }
        return false;
    }
    if (e->type() == QEvent::DragEnter || e->type() == QEvent::DragMove) {
        auto* de = static_cast<QDropEvent*>(e);
        if (model_->rowCount() > 0 && !droppedImageFile(de->mimeData()).isEmpty()) {
            de->acceptProposedAction();
            return true;
        }
        return false;
    }
    if (e->type() == QEvent::Drop) {
        auto* de = static_cast<QDropEvent*>(e);
        const QString path = droppedImageFile(de->mimeData());
        if (path.isEmpty() || model_->rowCount() == 0)
            return false;
        de->acceptProposedAction();
        takeImageFile(path);
        return true;
    }
    return false;
}

// ---------------------------------------------------------------- the apply pass

void frmMain::applyToSelectedRows(const std::function<void()>& beforeWrite, const std::function<void(int)>& afterWrite)
{
    auto ticked = [this](const char* name) {
        const auto* box = findChild<QCheckBox*>(QLatin1String(name));
        return box && box->checkState() == Qt::Checked;
    };
    const bool byText = ticked("chkTrack") && !ticked("chkAutTrack") && !ticked("chkTitle");
    const bool byCounter = ticked("chkAutTrack") && !ticked("chkTrack") && !ticked("chkTitle");
    // Empty entries are the blank slot an editor shows after "add", not values.
    auto listOf = [](const QStringList& urls) {
        QStringList out;
        for (const QString& u : urls)
            if (!u.isEmpty())
                out << u;
        return out;
    };
    const QStringList commercialUrls = listOf(commercialEditor_->Urls());
    const QStringList artistUrls = listOf(artistUrlEditor_->Urls());

    // The boxes and texts are taken once: they are the same for every file.
    struct Ticked {
        const CheckedField* field;
        std::u16string text;
    };
    std::vector<Ticked> fields;
    for (const CheckedField& f : kCheckedFields)
        if (ticked(f.box))
            fields.push_back({&f, *f.control ? toU16(controlText(field(f.control))) : std::u16string()});
    const std::u16string discsTotal = toU16(controlText(field("txtDiscsTotal")));

    const QString folder = withTrailingSlash(CurrentFolder());
    const QItemSelectionModel* selection = ListView1->selectionModel();
    int counter = 1;
    int done = 0;
    clsID3 tag; // one tag object serves the whole pass
    for (int row = 0; row < model_->rowCount(); ++row) {
        if (!selection->isRowSelected(row, QModelIndex()))
            continue;
        const QString name = model_->cell(row, 0);
        const QString path = folder + name;
        platform_.files->makeWritable(path);
        tag.SetFileName(QFile::encodeName(path).toStdString());
        // A file that cannot be read is not written: its own values would be lost.
        const int readError = tag.ReadError();

        for (const auto& [f, text] : fields) {
            switch (f->how) {
            case Apply::Text:
            case Apply::TracksTotal: tag.*(f->property) = text; break;
            case Apply::Genre:
                tag.Genre = text;
                tag.GenreID = clsID3::ToGenreID(tag.Genre);
                break;
            case Apply::Track:
                if (byText)
                    tag.TrackNumber = text;
                break;
            case Apply::CommercialUrls:
            case Apply::ArtistUrls: {
                MultiFrameData& list = f->how == Apply::CommercialUrls ? *tag.CommercialInfo : *tag.ArtistURL;
                list.Clear();
                for (const QString& url : f->how == Apply::CommercialUrls ? commercialUrls : artistUrls)
                    list.Add(url.toUtf8().toStdString());
                break;
            }
            case Apply::Disc:
                tag.DiscNumber = text;
                tag.DiscsTotal = discsTotal;
                break;
            }
        }
        // "Auto Number" has no box of its own in the table: the counter in list order.
        if (byCounter)
            tag.TrackNumber = toU16(QStringLiteral("%1").arg(counter, 2, 10, QLatin1Char('0')));

        // Every selected file gets the editor's pictures, in the form its tag takes.
        artEditor_->RebuildPictureList();
        tag.AttachedPictures = artEditor_->PictureListFor(tag.ID3RevisionV2());

        if (!isBusyCursor()) {
            showBusyCursor();
            letPendingEventsRun();
        }
        if (beforeWrite)
            beforeWrite();
        if (readError != 0)
            writeFailures_ << name + QStringLiteral(": could not be read (") + QString::fromLocal8Bit(std::strerror(readError)) + QLatin1Char(')');
        else if (!tag.UpdateID3Tags())
            writeFailures_ << name + QStringLiteral(": ") + QString::fromStdString(tag.LastError());
        ++counter;
        lblTotal->hide();
        if (afterWrite)
            afterWrite(++done);
    }
}

void frmMain::ApplyCheckedFields()
{
    if (selectedRowCount() == 0) {
        platform_.messages->information(this, kNoFilesMessage);
        return;
    }
    applyToSelectedRows({}, {});
    if (isBusyCursor())
        restoreNormalCursor();
    if (findChild<QCheckBox*>(QStringLiteral("chkAutTrack"))->isChecked())
        optTrack->click();
    chkSelAll_Click();
    lblTotal->show();
    setCheck(chkSelAll, false);
}

void frmMain::ApplyTags()
{
    if (listIsEmptyAskFolder())
        return;
    const int selected = selectedRowCount();
    if (selected == 0) {
        platform_.messages->information(this, kNoFilesMessage);
        return;
    }
    XP_ProgressBarOlive->setValue(0);
    XP_ProgressBarOlive->setMin(0);
    XP_ProgressBarOlive->setMax(selected);

    bool frozen = false;
    applyToSelectedRows(
        [&] {
            if (!frozen) {
                freezeRedraw(ListView1);
                frozen = true;
            }
        },
        [&](int done) {
            if (selected > 1)
                advanceProgress(done);
        });

    if (isBusyCursor())
        restoreNormalCursor();
    ScanFolder(CurrentFolder());
    if (findChild<QCheckBox*>(QStringLiteral("chkAutTrack"))->isChecked())
        optTrack->click();
    chkSelAll_Click();
    if (frozen)
        unfreezeRedraw(ListView1);
    XP_ProgressBarOlive->hide();
    lblTotal->show();
    XP_ProgressBarOlive->setValue(0);
    setCheck(chkSelAll, false);
    ListView1->viewport()->update();
    reportWriteFailures();
}

void frmMain::chkAllTags_Click()
{
    const bool checked = chkAllTags->isChecked();
    if (model_->rowCount() == 0 && checked) {
        chkAllTags->setChecked(false);
        listIsEmptyAskFolder();
        return;
    }
    // Each box's own rule runs as it changes, in the window's order.
    const QList<QCheckBox*> boxes = findChildren<QCheckBox*>();
    for (QCheckBox* box : boxes)
        if (box != chkAllTags)
            setCheck(box, checked);
    if (checked)
        setCheck(findChild<QCheckBox*>(QStringLiteral("chkAutTrack")), true);
}

void frmMain::reportWriteFailures()
{
    if (writeFailures_.isEmpty())
        return;
    const QStringList failures = std::exchange(writeFailures_, {});
    const QString intro = failures.size() == 1 ? QStringLiteral("This file could not be written:\n\n")
                                               : QStringLiteral("These %1 files could not be written:\n\n").arg(failures.size());
    platform_.messages->exclamation(this, intro + failures.join(QLatin1Char('\n')));
}

void frmMain::advanceProgress(int done)
{
    const int rows = model_->rowCount();
    if (rows <= 0)
        return;
    // The step is kept to three decimals, as the bar has always shown it.
    const double step = std::round(100.0 / rows * 1000.0) / 1000.0;
    XP_ProgressBarOlive->setVisible(true);
    XP_ProgressBarOlive->setValue(static_cast<int>(std::nearbyint(done * step)));
}

// ---------------------------------------------------------------- album-art input

void frmMain::BrowseForImage()
{
    if (model_->rowCount() == 0)
        return;
    const QString path = platform_.dialogs->openImageFile(this);
    if (!path.isEmpty())
        takeImageFile(path);
}

void frmMain::takeImageFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const std::optional<ImageFileInput> in = TakeImageFile(path, file.readAll(), artEditor_->TagRevision());
    if (!in)
        return; // not an image: nothing changes
    auto* cmbImageType = findChild<QComboBox*>(QStringLiteral("cmbImageType"));
    auto* cmbPictureType = findChild<QComboBox*>(QStringLiteral("cmbPictureType"));
    if (in->extensionEntry >= 0)
        cmbImageType->setCurrentIndex(in->extensionEntry);
    cmbImageType->setEnabled(true);
    cmbPictureType->setEnabled(true);
    if (in->detectedEntry >= 0)
        cmbImageType->setCurrentIndex(in->detectedEntry);
    artEditor_->StorePicture(in->type, in->picture.image(), in->data);
}

void frmMain::showArtMenu(const QPoint& globalPos)
{
    bool shown = false;
    bool canPaste = false;
    if (model_->rowCount() > 0) {
        shown = artEditor_->ShowsPicture();
        canPaste = platform_.clipboard->hasImage();
    }
    QAction* copy = mnuArt->findChild<QAction*>(QStringLiteral("mnuArtItem0"));
    QAction* paste = mnuArt->findChild<QAction*>(QStringLiteral("mnuArtItem1"));
    copy->setEnabled(shown);
    paste->setEnabled(canPaste);
    paste->setText(shown && canPaste ? QStringLiteral("&Paste (this will change the current image)")
                                     : QStringLiteral("&Paste"));
    if (shown || canPaste)
        mnuArt->popup(globalPos);
}

void frmMain::copyArt()
{
    const auto* picArt = findChild<ArtView*>(QStringLiteral("picArt"));
    if (!artEditor_->ShowsPicture() || picArt->image().isNull())
        return;
    platform_.clipboard->clear();
    platform_.clipboard->setImage(picArt->image());
}

void frmMain::pasteArt()
{
    const QImage image = platform_.clipboard->image();
    if (image.isNull())
        return;
    auto* cmbImageType = findChild<QComboBox*>(QStringLiteral("cmbImageType"));
    cmbImageType->setCurrentIndex((cmbImageType->count() / 4) * 2 + 1);
    cmbImageType->setEnabled(true);
    findChild<QComboBox*>(QStringLiteral("cmbPictureType"))->setEnabled(true);
    const QByteArray data = ImageCodecs().ImageToData(Picture(image), QStringLiteral("image/png"));
    const Picture picture = ImageCodecs().DataToImage(data);
    if (picture.isNull())
        return;
    const bool rev2 = modImageType::IsRevision2(artEditor_->TagRevision());
    artEditor_->StorePicture(rev2 ? QStringLiteral("PNG") : QStringLiteral("image/png"), picture.image(), data);
}

} // namespace brindle
