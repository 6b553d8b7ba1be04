// Saving: "&Apply Tags" over the selected files, "Select all Tags", and the ways a
// picture enters and leaves the album-art editor.
#include "frmMain.h"

#include "ApplyBatch.h"
#include "WindowShared.h"

#include "controls/XP_ProgressBar.h"
#include "pictures/GDIPlusCandy.h"
#include "pictures/ImageFileInput.h"
#include "pictures/modImageType.h"
#include "platform/Desktop.h"
#include "platform/FileOps.h"
#include "tag/MultiFrameData.h"
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

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <cmath>
#include <exception>
#include <thread>
#include <cstring>
#include <utility>
#include <vector>

namespace brindle {

namespace {


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
    QCheckBox* chkTrack = track_->box;
    QCheckBox* chkTrackof = tracksTotal_->box;
    connect(chkAutTrack, &QCheckBox::toggled, this, [=, this](bool on) {
        updateTabMarks();
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

    for (const EditorField& f : fields_) {
        if (!f.def->enterApplies)
            continue;
        enterFields_ << f.control;
        if (auto* combo = qobject_cast<QComboBox*>(f.control); combo && combo->lineEdit())
            enterFields_ << combo->lineEdit();
    }
    picArt->setAcceptDrops(true);
    artControls_ = {picArt, picArt->imageLabel(), lblBrowse};
    for (QObject* o : enterFields_ + artControls_)
        o->installEventFilter(this);

    mnuArt = new QMenu(QStringLiteral("ArtMenu"), this);
    mnuArt->setObjectName(QStringLiteral("mnuArt"));
    mnuArtCopy = mnuArt->addAction(QStringLiteral("&Copy"));
    mnuArtCopy->setObjectName(QStringLiteral("mnuArtItem0"));
    mnuArtPaste = mnuArt->addAction(QStringLiteral("&Paste"));
    mnuArtPaste->setObjectName(QStringLiteral("mnuArtItem1"));
    connect(mnuArtCopy, &QAction::triggered, this, &frmMain::copyArt);
    connect(mnuArtPaste, &QAction::triggered, this, &frmMain::pasteArt);
}

bool frmMain::savingEvent(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::KeyPress) {
        const auto* ke = static_cast<QKeyEvent*>(e);
        const int key = ke->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && enterFields_.contains(watched)) {
            // Shift+Enter is the line break of the multi-line boxes; Enter applies.
            if (auto* text = qobject_cast<QPlainTextEdit*>(watched); text && ke->modifiers() == Qt::ShiftModifier) {
                text->textCursor().insertText(QStringLiteral("\n"));
                return true;
            }
            ApplyTags();
            return true; // nothing is inserted into the box
        }
        if (watched == picArt) {
            // By keyboard: Space or Enter browses, the menu key or Shift+F10 opens the menu.
            if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) {
                BrowseForImage();
                return true;
            }
            if (key == Qt::Key_Menu || (key == Qt::Key_F10 && ke->modifiers() == Qt::ShiftModifier)) {
                showArtMenu(picArt->mapToGlobal(picArt->rect().center()));
                return true;
            }
        }
        return false;
    }
    if (!artControls_.contains(watched))
        return false;
    if (watched == picArt && (e->type() == QEvent::FocusIn || e->type() == QEvent::FocusOut)) {
        // The focus shows as a frame in the highlight colour.
        const bool in = e->type() == QEvent::FocusIn;
        QPalette pal = picArt->palette();
        pal.setColor(QPalette::WindowText, in ? pal.color(QPalette::Highlight) : palette().color(QPalette::WindowText));
        picArt->setPalette(pal);
        picArt->setFrameShadow(in ? QFrame::Plain : QFrame::Sunken);
        picArt->setLineWidth(in ? 2 : 1);
        return false;
    }
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

BatchValues frmMain::batchValues() const
{
    auto ticked = [](const QCheckBox* box) { return box && box->checkState() == Qt::Checked; };
    const bool title = ticked(title_->box), track = ticked(track_->box), autoNumber = ticked(chkAutTrack);
    // Empty entries are the blank slot an editor shows after "add", not values.
    auto listOf = [](const QStringList& urls) {
        QStringList out;
        for (const QString& u : urls)
            if (!u.isEmpty())
                out << u;
        return out;
    };
    BatchValues v;
    v.trackByText = track && !autoNumber && !title;
    v.autoNumber = autoNumber && !track && !title;
    v.commercialUrls = listOf(commercialEditor_->Urls());
    v.artistUrls = listOf(artistUrlEditor_->Urls());
    for (const EditorField& f : fields_)
        if (ticked(f.box))
            v.fields.emplace_back(f.def, f.def->property ? toU16(controlText(f.control)) : std::u16string());
    v.discsTotal = toU16(controlText(fieldOfRule(ApplyRule::None)->control));
    // The album art is written only where the user changed it; otherwise every file
    // keeps its own pictures.
    if (artChanged_) {
        artEditor_->RebuildPictureList();
        // Made here, once for each form a tag takes; the batch's threads only copy them.
        std::shared_ptr<const MultiFrameData> rev2 = artEditor_->PictureListFor(2),
                                              rev3 = artEditor_->PictureListFor(3);
        v.pictures = [rev2, rev3](int revision) {
            return std::make_shared<MultiFrameData>(*(modImageType::IsRevision2(revision) ? rev2 : rev3));
        };
    }
    return v;
}

void frmMain::runBatch(BatchValues values, const QList<int>& rows, bool progressOverAll)
{
    std::vector<BatchFile> files;
    files.reserve(static_cast<std::size_t>(rows.size()));
    for (int row : rows)
        files.push_back({rowPath(row), rowName(row)});
    const int count = static_cast<int>(files.size());
    ApplyBatch batch(*platform_.files, std::move(values));
    QStringList failures;
    const auto showProgress = [this, progressOverAll, count](int done) {
        lblTotal->hide();
        if (progressOverAll || count > 1)
            advanceProgress(done);
    };
    runBeside(count, "written", showProgress, [&](const BatchControl& control) {
        failures = batch.run(files, control);
        return batch.filesDone();
    });
    writeFailures_ << failures;
}

std::function<void(int)> frmMain::batchProgress(int count)
{
    return [this, count](int done) {
        if (count < 2)
            return;
        lblTotal->hide();
        XP_ProgressBarOlive->setVisible(true);
        XP_ProgressBarOlive->setValue(static_cast<int>(std::lround(done * 100.0 / count)));
    };
}

void frmMain::endProgress()
{
    XP_ProgressBarOlive->hide();
    XP_ProgressBarOlive->setValue(0);
    lblTotal->show();
}

int frmMain::runBeside(int count, const char* doneWord, const std::function<void(int)>& showProgress,
                       const std::function<int(const BatchControl&)>& work)
{
    runPendingRefresh(); // no change to the list may land while the work runs
    XP_ProgressBarOlive->setValue(0);
    XP_ProgressBarOlive->setMin(0);
    XP_ProgressBarOlive->setMax(count);

    // The work runs on a thread of its own (the engine and the tools are Qt-free and
    // keep no state between files), so the window keeps answering and can stop it.
    // Progress comes back through the window's event queue.
    stopBatch_ = false;
    BatchControl control;
    control.stop = &stopBatch_;
    control.progress = [this, showProgress](int done) {
        QMetaObject::invokeMethod(
            this, [showProgress, done] { showProgress(done); }, Qt::QueuedConnection);
    };
    setBusy(true);
    int done = 0;
    std::exception_ptr error;
    QEventLoop wait;
    std::thread worker([&] {
        yieldToWindow();
        try {
            done = work(control);
        } catch (...) {
            error = std::current_exception();
        }
        QMetaObject::invokeMethod(&wait, &QEventLoop::quit, Qt::QueuedConnection);
    });
    wait.exec();
    worker.join();
    QCoreApplication::sendPostedEvents(this); // the last progress step
    setBusy(false);
    const bool stopped = stopBatch_ && done < count;
    stopBatch_ = false;
    if (error)
        std::rethrow_exception(error);
    if (stopped)
        platform_.messages->information(
            this, QStringLiteral("Stopped: %1 of %2 files were %3; the other %4 were not touched.")
                      .arg(done)
                      .arg(count)
                      .arg(QLatin1String(doneWord))
                      .arg(count - done));
    return done;
}

void frmMain::setBusy(bool busy)
{
    batchRunning_ = busy;
    // The control with the focus gets it back afterwards: disabling it moves the focus.
    if (busy)
        focusBeforeBusy_ = QApplication::focusWidget();
    // Everything but the progress and "Cancel" waits for the batch.
    for (QWidget* w : std::initializer_list<QWidget*>{Text1,   Command1,  Command5,   ListView1,     cmdUp,
                                                      cmdDown, cmdCopy,   cmdDelTags, TabStrip1,     Command2,
                                                      cmdExit, chkSelAll, chkAllTags, optName,       optTrack,
                                                      cmdHelp, cmdLyrics, cmdFreedb,  chkSubfolders, txtFilter})
        w->setEnabled(!busy);
    for (QAction* a : actions())
        a->setEnabled(!busy);
    cmdCancel->setVisible(busy);
    if (busy)
        showBusyCursor();
    else if (isBusyCursor())
        restoreNormalCursor();
    if (!busy && focusBeforeBusy_ && focusBeforeBusy_->isEnabled() && focusBeforeBusy_->isVisible())
        focusBeforeBusy_->setFocus();
    if (!busy && closeAfterBatch_)
        QTimer::singleShot(0, this, &QWidget::close);
}

void frmMain::ApplyTags()
{
    const QList<int> rows = selectionToWorkOn(kNoFilesMessage);
    if (rows.isEmpty())
        return;
    BatchValues values = batchValues();
    if (values.writesNothing()) {
        platform_.messages->information(
            this,
            QStringLiteral("Nothing was written: tick the box of each field to apply, or change the album art.     "));
        return;
    }
    const bool autoNumber = values.autoNumber;
    runBatch(std::move(values), rows, false);
    // The files now hold the album art: later applies leave it alone unless it changes again.
    artChanged_ = false;
    updateTabMarks();

    const ListPlace place = listPlace();
    ScanFolder(CurrentFolder());
    if (autoNumber)
        optTrack->click();
    chkSelAll_Click();
    restoreListPlace(place);
    endProgress();
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
    for (const EditorField& f : fields_) {
        setCheck(f.box, checked);
        if (f.box == tracksTotal_->box)
            setCheck(chkAutTrack, checked);
    }
    setCheck(chkSelAll, checked);
    if (checked)
        setCheck(chkAutTrack, true);
}

void frmMain::reportWriteFailures()
{
    if (writeFailures_.isEmpty())
        return;
    const QStringList failures = std::exchange(writeFailures_, {});
    const QString intro = failures.size() == 1
                              ? QStringLiteral("This file could not be written:\n\n")
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
    if (in->extensionEntry >= 0)
        cmbImageType->setCurrentIndex(in->extensionEntry);
    cmbImageType->setEnabled(true);
    cmbPictureType->setEnabled(true);
    if (in->detectedEntry >= 0)
        cmbImageType->setCurrentIndex(in->detectedEntry);
    artEditor_->StorePicture(in->type, in->picture.image(), in->data);
    markArtChanged();
}

void frmMain::showArtMenu(const QPoint& globalPos)
{
    bool shown = false;
    bool canPaste = false;
    if (model_->rowCount() > 0) {
        shown = artEditor_->ShowsPicture();
        canPaste = platform_.clipboard->hasImage();
    }
    mnuArtCopy->setEnabled(shown);
    mnuArtPaste->setEnabled(canPaste);
    mnuArtPaste->setText(shown && canPaste ? QStringLiteral("&Paste (this will change the current image)")
                                           : QStringLiteral("&Paste"));
    if (shown || canPaste)
        mnuArt->popup(globalPos);
}

void frmMain::copyArt()
{
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
    cmbImageType->setCurrentIndex(artEditor_->pngEntry());
    cmbImageType->setEnabled(true);
    cmbPictureType->setEnabled(true);
    const QByteArray data = ImageCodecs().ImageToData(Picture(image), QStringLiteral("image/png"));
    const Picture picture = ImageCodecs().DataToImage(data);
    if (picture.isNull())
        return;
    const bool rev2 = modImageType::IsRevision2(artEditor_->TagRevision());
    artEditor_->StorePicture(rev2 ? QStringLiteral("PNG") : QStringLiteral("image/png"), picture.image(), data);
    markArtChanged();
}

} // namespace brindle
