// Settings and layout of the main window: start-up and shutdown (geometry, columns,
// sort order, folder) and placing the controls as the window is resized.
#include "frmMain.h"

#include "WindowShared.h"

#include "controls/XP_ProgressBar.h"
#include "platform/Desktop.h"
#include "platform/FileOps.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>

#include <algorithm>

#ifndef BRINDLE_VERSION
#define BRINDLE_VERSION "0.0.0"
#endif

namespace brindle {

namespace {

QString key2(int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); }

QRect screenRect()
{
    if (const QScreen* s = QGuiApplication::primaryScreen())
        return s->geometry();
    return QRect(0, 0, 1024, 768);
}

// Positions are kept on the whole desktop, so a window left on a second monitor
// reopens there.
QRect desktopRect()
{
    if (const QScreen* s = QGuiApplication::primaryScreen())
        return s->virtualGeometry();
    return screenRect();
}


} // namespace

// ---------------------------------------------------------------- start-up and shutdown

void frmMain::Form_Load()
{
    SettingsStore& s = *platform_.settings;
    lblTitle->setText(kAppTitle + QStringLiteral(" - v") + QStringLiteral(BRINDLE_VERSION));
    loaded_ = false;
    XP_ProgressBarOlive->setColor(QColor(40, 210, 43));

    const int tppX = twipsPerPixelX();
    const int tppY = twipsPerPixelY();
    const QRect screen = screenRect();
    const int screenW = screen.width() * tppX;
    const int screenH = screen.height() * tppY;
    const int curW = width() * tppX;
    const int curH = height() * tppY;
    const int designLeft = (screen.x() + (screen.width() - width()) / 2) * tppX;
    const int designTop = (screen.y() + (screen.height() - height()) / 2) * tppY;

    xSize_ = s.readInt(QStringLiteral("Window"), QStringLiteral("XSize"), kDesignWidthTwips);
    ySize_ = s.readInt(QStringLiteral("Window"), QStringLiteral("YSize"), kDesignHeightTwips);
    xPos_ = s.readInt(QStringLiteral("Window"), QStringLiteral("XPos"), designLeft);
    yPos_ = s.readInt(QStringLiteral("Window"), QStringLiteral("YPos"), designTop);
    windowState_ = s.readInt(QStringLiteral("Window"), QStringLiteral("State"), 0);

    const QSize least = LayoutMinimumSize();
    setMinimumSize(least);
    const int minW = least.width() * tppX, minH = least.height() * tppY;
    xSize_ = std::min(std::max(xSize_, minW), std::max(screenW, minW));
    ySize_ = std::min(std::max(ySize_, minH), std::max(screenH, minH));
    const QRect desktop = desktopRect();
    const int deskLeft = desktop.x() * tppX, deskTop = desktop.y() * tppY;
    const int deskRight = (desktop.x() + desktop.width()) * tppX;
    const int deskBottom = (desktop.y() + desktop.height()) * tppY;
    xPos_ = std::max(xPos_, std::min(deskLeft, 0));
    yPos_ = std::max(yPos_, std::min(deskTop, 0));
    if (xPos_ > deskRight - curW)
        xPos_ = std::max(deskRight - curW, 0);
    if (yPos_ > deskBottom - curH)
        yPos_ = std::max(deskBottom - curH, 0);
    if (windowState_ != 0 && windowState_ != 2)
        windowState_ = 0;

    const QSize size(twipsToPixelsX(xSize_), twipsToPixelsY(ySize_));
    if (this->size() != size)
        resize(size);
    const QPoint pos(twipsToPixelsX(xPos_), twipsToPixelsY(yPos_));
    if (this->pos() != pos)
        move(pos);
    if (windowState_ == 2 && !(windowState() & Qt::WindowMaximized))
        setWindowState(windowState() | Qt::WindowMaximized);
    loaded_ = true;

    const int key = s.readInt(QStringLiteral("Columns"), QStringLiteral("SortKey"), 0);
    sortKey_ = key >= 0 && key < kModelColumnCount ? key : 0; // the folder column: see readFilterSettings
    const int order = s.readInt(QStringLiteral("Columns"), QStringLiteral("SortOrder"), 0);
    sortOrder_ = order == 1 ? 1 : 0;
    ShowSortIcon();

    QHeaderView* header = ListView1->header();
    for (int i = 1; i <= kListColumnCount; ++i) {
        const int k = s.readInt(QStringLiteral("ColumnPos"), key2(i), i);
        if (k >= 1 && k <= kListColumnCount)
            header->moveSection(header->visualIndex(k - 1), i - 1);
    }
    for (int i = 1; i <= kListColumnCount; ++i) {
        const double present = columnTwips_[static_cast<std::size_t>(i - 1)];
        double w = s.readDouble(QStringLiteral("Columns"), key2(i), present);
        if (w < kMinColumnTwips)
            w = kMinColumnTwips;
        columnTwips_[static_cast<std::size_t>(i - 1)] = w;
        header->resizeSection(i - 1, std::max(1, twipsToPixelsX(w)));
    }

    readFilterSettings();

    const QString music = withoutTrailingSlash(platform_.folders->musicFolder());
    QString folder = s.value(QStringLiteral("MP3s"), QStringLiteral("Directory")).value_or(music);
    if (!startFolder_.isEmpty())
        folder = startFolder_;
    folder = withoutTrailingSlash(folder);
    if (!platform_.files->hasPlainFile(folder) && !(!startFolder_.isEmpty() && platform_.files->isDirectory(folder)))
        folder = music;
    Text1->setText(folder);
    Timer1->start();
}

void frmMain::Form_Unload()
{
    if (unloaded_)
        return;
    unloaded_ = true;
    SettingsStore& s = *platform_.settings;
    s.writeInt(QStringLiteral("Window"), QStringLiteral("XSize"), xSize_);
    s.writeInt(QStringLiteral("Window"), QStringLiteral("YSize"), ySize_);
    s.writeInt(QStringLiteral("Window"), QStringLiteral("XPos"), xPos_);
    s.writeInt(QStringLiteral("Window"), QStringLiteral("YPos"), yPos_);
    s.writeInt(QStringLiteral("Window"), QStringLiteral("State"), windowState_);
    s.writeInt(QStringLiteral("Columns"), QStringLiteral("SortKey"), sortKey_);
    s.writeInt(QStringLiteral("Columns"), QStringLiteral("SortOrder"), sortOrder_);
    writeFilterSettings();
    const QHeaderView* header = ListView1->header();
    for (int i = 1; i <= kListColumnCount; ++i) {
        s.writeInt(QStringLiteral("ColumnPos"), key2(header->visualIndex(i - 1) + 1), i);
        const double read = columnTwips_[static_cast<std::size_t>(i - 1)];
        const int px = header->sectionSize(i - 1);
        // Keep the stored twips where the column still has the width they gave it, so a
        // value survives rounding to whole pixels.
        const double w = px == std::max(1, twipsToPixelsX(read)) ? read : pixelsToTwipsX(px);
        s.writeDouble(QStringLiteral("Columns"), key2(i), w);
    }
    s.setValue(QStringLiteral("MP3s"), QStringLiteral("Directory"),
               listedFolder_.isEmpty() ? Text1->text() : listedFolder_);
    s.sync();
}

void frmMain::closeEvent(QCloseEvent* e)
{
    // A running batch is stopped first; the window closes once it has ended.
    if (batchRunning_) {
        stopBatch_ = true;
        closeAfterBatch_ = true;
        e->ignore();
        return;
    }
    Form_Unload();
    e->accept();
}

void frmMain::Timer1_Timer()
{
    Timer1->stop();
    letPendingEventsRun();
    ScanFolder(Text1->text());
}

// ---------------------------------------------------------------- layout

void frmMain::resizeEvent(QResizeEvent*) { Form_Resize(); }

void frmMain::moveEvent(QMoveEvent*) { recordNormalGeometry(); }

void frmMain::changeEvent(QEvent* e)
{
    QWidget::changeEvent(e);
    if (e->type() == QEvent::WindowStateChange && loaded_ && !(windowState() & Qt::WindowMinimized))
        windowState_ = (windowState() & Qt::WindowMaximized) ? 2 : 0;
}

// The window reopens where the user left it: its normal geometry follows moves and
// resizes while it is shown in the normal state.
void frmMain::recordNormalGeometry()
{
    if (!loaded_ || !isVisible() || windowState() != Qt::WindowNoState)
        return;
    // Values that still give the same pixels stay as stored, so twips do not drift.
    auto follow = [](int& twips, int pixels, bool horizontal) {
        if ((horizontal ? twipsToPixelsX(twips) : twipsToPixelsY(twips)) != pixels)
            twips = static_cast<int>(horizontal ? pixelsToTwipsX(pixels) : pixelsToTwipsY(pixels));
    };
    follow(xPos_, x(), true);
    follow(yPos_, y(), false);
    follow(xSize_, width(), true);
    follow(ySize_, height(), false);
}

QSize frmMain::LayoutMinimumSize() const
{
    // The same sums as Form_Resize, solved for the window size (in twips).
    auto hintW = [](const QWidget* w) { return static_cast<int>(pixelsToTwipsX(w->sizeHint().width())); };
    auto minH = [](const QWidget* w) { return static_cast<int>(pixelsToTwipsY(w->minimumSizeHint().height())); };
    const int extra = std::max(0, hintW(Command5) - 735);
    const int sideW = std::max({1200, hintW(cmdUp), hintW(cmdDown), hintW(cmdCopy), hintW(cmdDelTags)});
    const int buttonW = std::max({1420, hintW(Command2), hintW(cmdExit)});
    const int checkW = std::max({1400, hintW(chkSelAll), hintW(chkAllTags)});
    const int optW = std::max({1380, hintW(optName), hintW(optTrack)});
    const int optRight = 120 + checkW + 90 + optW;
    const int barLeft = std::max(3220 - 100, optRight + 90);
    int links = 0;
    for (const QPushButton* b : {cmdFreedb, cmdLyrics, cmdHelp})
        links += std::max(700, hintW(b));
    const int minBar = 1200;
    const int cancelW = std::max(900, hintW(cmdCancel));
    const int frameW = std::max({barLeft + minBar + 100 + 2 * buttonW + 90 + 120, barLeft + cancelW + 90 + links + 120,
                                 static_cast<int>(pixelsToTwipsX(TabStrip1->minimumSizeHint().width())) + 240});
    // The folder line and the list keep a usable width beside their buttons.
    const int top = 120 + 1500 + 1560 + extra + filterControlsWidthTwips();
    const int list = 120 + 2400 + 90 + sideW + 105;
    const int W = std::max({frameW + 225, top, list});

    // The list's buttons stand above the editor frame; the tab strip holds its page.
    const int listBottomNeeded = 540 + 4 * 405 + 360 + 45 + kFilterRowTwips; // below "Delete Tags"
    const int fromList = (listBottomNeeded + 2376) * 5 / 4 + 5;
    const int tabNeeded = std::max(minH(TabStrip1), 2000);
    const int fromFrame = (tabNeeded + 840 - 2271) * 5 + 5;
    const int H = std::max(fromList, fromFrame);
    return {std::max(kMinWidthPixels, twipsToPixelsX(W) + 1), std::max(kMinHeightPixels, twipsToPixelsY(H) + 1)};
}

void frmMain::Form_Resize()
{
    if (windowState() & Qt::WindowMinimized)
        return;
    const int W = static_cast<int>(pixelsToTwipsX(width()));
    const int H = static_cast<int>(pixelsToTwipsY(height()));
    auto place = [](QWidget* w, int left, int top, int width, int height) {
        w->setGeometry(twipsToPixelsX(left), twipsToPixelsY(top), std::max(0, twipsToPixelsX(width)),
                       std::max(0, twipsToPixelsY(height)));
    };
    // Captions in a larger font than the layout was drawn for widen their buttons
    // towards the left instead of being clipped; with the design font nothing moves.
    auto hint = [](const QWidget* w) { return static_cast<int>(pixelsToTwipsX(w->sizeHint().width())); };
    const int extra = std::max(0, hint(Command5) - 735);
    place(Text1, 120, 120, W - 1560 - extra, 330);
    place(Command1, W - 1335 - extra, 105, 450, 360);
    place(Command5, W - 840 - extra, 105, 735 + extra, 360);
    // The list's own buttons stand in a column at its right.
    const int sideW = std::max({1200, hint(cmdUp), hint(cmdDown), hint(cmdCopy), hint(cmdDelTags)});
    const int sideLeft = W - 105 - sideW;
    const int listH = (4 * H) / 5 - 2961;
    place(ListView1, 120, 540, sideLeft - 90 - 120, listH);
    place(cmdUp, sideLeft, 540, sideW, 360);
    place(cmdDown, sideLeft, 540 + 405, sideW, 360);
    place(cmdCopy, sideLeft, 540 + 3 * 405, sideW, 360);
    place(cmdDelTags, sideLeft, 540 + 4 * 405, sideW, 360);

    const int frameW = W - 225;
    const int frameH = H / 5 + 2271;
    place(Frame1, 120, (4 * H) / 5 - 2376, frameW, frameH);
    place(TabStrip1, 120, 0, frameW - 240, frameH - 840);

    // The bottom bar, in two rows under the tab strip.
    const int row1 = frameH - 840 + 45;
    const int row2 = row1 + 405;
    const int buttonW = std::max({1420, hint(Command2), hint(cmdExit)});
    const int exitLeft = frameW - 120 - buttonW; // 1540 short of the end at the design width
    place(cmdExit, exitLeft, row1, buttonW, 375);
    const int applyLeft = exitLeft - 90 - buttonW;
    place(Command2, applyLeft, row1, buttonW, 375);
    const int checkW = std::max({1400, hint(chkSelAll), hint(chkAllTags)});
    place(chkSelAll, 120, row1 + 30, checkW, 330);
    place(chkAllTags, 120, row2, checkW, 330);
    const int optLeft = 120 + checkW + 90;
    const int optW = std::max({1380, hint(optName), hint(optTrack)});
    place(optName, optLeft, row1 + 30, optW, 330);
    place(optTrack, optLeft, row2, optW, 330);
    // The bar ends 100 twips before "&Apply Tags"; it starts at 3120 unless the
    // check boxes and options need more room.
    const int barLeft = std::max(3220 - 100, optLeft + optW + 90);
    const int barW = applyLeft - 100 - barLeft;
    place(XP_ProgressBarOlive, barLeft, row1 + 60, barW, 270);
    place(lblTotal, barLeft, row1 + 30, barW, 330);
    place(cmdCancel, barLeft, row2, std::max(900, hint(cmdCancel)), 345);
    int linkRight = frameW - 120;
    for (QPushButton* b : {cmdFreedb, cmdLyrics, cmdHelp}) {
        const int linkW = std::max(700, hint(b));
        place(b, linkRight - linkW, row2, linkW, 330);
        linkRight -= linkW;
    }

    placeFilterControls();
    recordNormalGeometry();
    if (loaded_)
        windowState_ = (windowState() & Qt::WindowMaximized) ? 2 : 0;
}

} // namespace brindle
