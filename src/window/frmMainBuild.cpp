// Building the main window: every control is made here once, kept as a typed member,
// and wired to its command. Controls keep their object names for tests and settings.
#include "frmMain.h"

#include "WindowShared.h"

#include "controls/XP_ProgressBar.h"
#include "platform/Desktop.h"
#include "platform/FileOps.h"
#include "tag/clsID3.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QShortcut>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <utility>

namespace brindle {

namespace {

// Typical cells of the narrow columns, used to widen them for large fonts.
const char* const kListColumnSamples[kListColumnCount] = {
    "", "", "", "", "", "99", "99", "2024", "59:59", "320 kbps VBR", ""};

} // namespace

// A name a screen reader speaks: the caption without its accelerator mark and colon.
QString spokenCaption(const char* caption)
{
    QString s = QString::fromLatin1(caption).remove(QLatin1Char('&'));
    if (s.endsWith(QLatin1Char(':')))
        s.chop(1);
    return s;
}

void nameForScreenReaders(QWidget* w, const QString& name, const QString& description)
{
    w->setAccessibleName(name);
    if (!description.isEmpty())
        w->setAccessibleDescription(description);
}

void setControlText(QWidget* w, const QString& text)
{
    if (auto* e = qobject_cast<QLineEdit*>(w))
        e->setText(text);
    else if (auto* p = qobject_cast<QPlainTextEdit*>(w))
        p->setPlainText(text);
    else if (auto* c = qobject_cast<QComboBox*>(w))
        c->setEditText(text);
}

QString controlText(const QWidget* w)
{
    if (const auto* e = qobject_cast<const QLineEdit*>(w))
        return e->text();
    if (const auto* p = qobject_cast<const QPlainTextEdit*>(w))
        return p->toPlainText();
    if (const auto* c = qobject_cast<const QComboBox*>(w))
        return c->currentText();
    return {};
}

QStringList GenreListEntries()
{
    QStringList names;
    for (int i = 0; i <= 147; ++i)
        names << FileListModel::toQString(clsID3::GenreName(i));
    names << QStringLiteral("Unknown");
    auto key = [](const QString& s) { return s.toLower().remove(QLatin1Char('-')); };
    std::stable_sort(names.begin(), names.end(), [&](const QString& a, const QString& b) { return key(a) < key(b); });
    return names;
}

QStringList KeyListEntries()
{
    QStringList keys;
    for (char letter = 'A'; letter <= 'G'; ++letter)
        for (const char* suffix : {" (minor)", " flat", " flat (minor)", " sharp", " sharp (minor)"})
            keys << QLatin1Char(letter) + QLatin1String(suffix);
    keys << QStringLiteral("Off key");
    return keys;
}

frmMain::frmMain(Platform platform, const QString& startFolder, QWidget* parent)
    : QWidget(parent),
      platform_(std::move(platform)),
      startFolder_(startFolder),
      sortLocale_(SortLocaleOf(QLocale::system()))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(kAppTitle);
    buildWidgets();
    resize(twipsToPixelsX(kDesignWidthTwips), twipsToPixelsY(kDesignHeightTwips));
    connectSignals();
    Form_Load();
}

frmMain::~frmMain() = default;

const EditorField* frmMain::fieldOf(std::u16string clsID3::*property) const
{
    for (const EditorField& f : fields_)
        if (f.def->property == property)
            return &f;
    return nullptr;
}

const EditorField* frmMain::fieldOfRule(ApplyRule rule) const
{
    for (const EditorField& f : fields_)
        if (f.def->rule == rule)
            return &f;
    return nullptr;
}

void frmMain::buildWidgets()
{
    fields_.reserve(static_cast<std::size_t>(kFieldSpecCount)); // pointers into it are kept
    for (int i = 0; i < kFieldSpecCount; ++i)
        fields_.push_back({&kFieldSpecs[i]});
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Command1 = new QPushButton(QStringLiteral("..."), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setToolTip(kFolderPrompt);
    Command5 = new QPushButton(QStringLiteral("&Refresh"), this);
    Command5->setToolTip(QStringLiteral("List the folder again (F5)"));
    Command5->setObjectName(QStringLiteral("Command5"));

    ListView1 = new QTreeView(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    model_ = new FileListModel(this);
    ListView1->setModel(model_);
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setContextMenuPolicy(Qt::NoContextMenu);
    ListView1->setTextElideMode(Qt::ElideRight);
    QHeaderView* header = ListView1->header();
    header->setSectionsMovable(true);
    header->setSectionsClickable(true);
    header->setStretchLastSection(false);
    header->setSortIndicatorShown(true);
    header->setFirstSectionMovable(true);
    header->setMinimumSectionSize(std::max(1, twipsToPixelsX(kMinColumnTwips)));
    // Columns start at their design widths, widened where this screen's font would cut
    // off the title (with the sort arrow) or a typical cell.
    const QFontMetrics headerFont = header->fontMetrics();
    const QFontMetrics cellFont = ListView1->fontMetrics();
    for (int c = 0; c < kListColumnCount; ++c) {
        const QString sample = QString::fromLatin1(kListColumnSamples[c]);
        const int needed = std::max(headerFont.horizontalAdvance(QString::fromLatin1(kListColumns[c].title)) + 28,
                                    sample.isEmpty() ? 0 : cellFont.horizontalAdvance(sample) + 12);
        const double twips = std::max<double>(kListColumns[c].widthTwips, pixelsToTwipsX(needed));
        header->resizeSection(c, std::max(1, twipsToPixelsX(twips)));
        columnTwips_[static_cast<std::size_t>(c)] = twips;
    }
    ListView1->viewport()->installEventFilter(this);
    // Housekeeping of the list, in a column beside it.
    auto listButton = [this](const char* name, const char* caption, const char* tip) {
        auto* b = new QPushButton(QString::fromLatin1(caption), this);
        b->setObjectName(QLatin1String(name));
        b->setToolTip(QString::fromLatin1(tip));
        return b;
    };
    cmdUp = listButton("cmdUp", "&Move Up", "Move the current file up the list");
    cmdDown = listButton("cmdDown", "Move &Down", "Move the current file down the list");
    cmdCopy = listButton("cmdCopy", "&Copy", "Copy the information of every file in the list to the clipboard");
    cmdDelTags = listButton("cmdDelTags", "&Delete Tags", "Delete all tags from the current file");

    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    TabStrip1 = new QTabWidget(Frame1);
    TabStrip1->setObjectName(QStringLiteral("TabStrip1"));
    buildEditorPages();
    // Each field is named after its caption; an "of" field after the field it totals.
    QString previous;
    for (const EditorField& f : fields_) {
        QString name = spokenCaption(f.def->caption);
        name = name == QLatin1String("of") ? previous + QStringLiteral(" total") : name;
        nameForScreenReaders(f.control, name);
        // The typing happens in an editable box's own line, which the bus reports apart.
        if (auto* combo = qobject_cast<QComboBox*>(f.control); combo && combo->lineEdit())
            nameForScreenReaders(combo->lineEdit(), name);
        if (f.box)
            nameForScreenReaders(f.box, name, QStringLiteral("Tick to write %1 into the selected files").arg(name));
        previous = name;
    }
    nameForScreenReaders(Text1, QStringLiteral("Music folder"), QStringLiteral("Press Enter to list this folder"));
    nameForScreenReaders(Command1, QStringLiteral("Choose folder"));
    nameForScreenReaders(ListView1, QStringLiteral("Files"));
    nameForScreenReaders(picArt, QStringLiteral("Album art"),
                         QStringLiteral("Click or press Space to choose a picture file"));
    picArt->setFocusPolicy(Qt::StrongFocus); // the way to the picture files by keyboard
    nameForScreenReaders(cmbImageType, QStringLiteral("Image type"));
    nameForScreenReaders(cmbPictureType, QStringLiteral("Picture type"));
    title_ = fieldOf(&clsID3::Title);
    artist_ = fieldOf(&clsID3::Artist);
    album_ = fieldOf(&clsID3::Album);
    track_ = fieldOf(&clsID3::TrackNumber);
    tracksTotal_ = fieldOf(&clsID3::TracksTotal);

    Command2 = new QPushButton(QStringLiteral("&Apply Tags"), Frame1);
    Command2->setObjectName(QStringLiteral("Command2"));
    cmdExit = new QPushButton(QStringLiteral("&Exit"), Frame1);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    lblTotal = new QLabel(QStringLiteral("Total Tracks: 0"), Frame1);
    lblTotal->setObjectName(QStringLiteral("lblTotal"));
    lblTotal->setAlignment(Qt::AlignCenter);
    XP_ProgressBarOlive = new XP_ProgressBar(Frame1);
    nameForScreenReaders(XP_ProgressBarOlive, QStringLiteral("Progress"));
    XP_ProgressBarOlive->setObjectName(QStringLiteral("XP_ProgressBarOlive"));
    XP_ProgressBarOlive->hide();
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), Frame1);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setToolTip(QStringLiteral("Stop after the file in progress (Esc)"));
    cmdCancel->setShortcut(Qt::Key_Escape);
    cmdCancel->hide();
    connect(cmdCancel, &QPushButton::clicked, this, [this] { stopBatch_ = true; });
    optName = new QRadioButton(QStringLiteral("File Name"), Frame1);
    optName->setObjectName(QStringLiteral("optName"));
    optName->setChecked(true);
    optTrack = new QRadioButton(QStringLiteral("Track Number"), Frame1);
    optTrack->setObjectName(QStringLiteral("optTrack"));
    chkSelAll = new QCheckBox(QStringLiteral("Select all Files"), Frame1);
    chkSelAll->setObjectName(QStringLiteral("chkSelAll"));
    chkAllTags = new QCheckBox(QStringLiteral("Select all Tags"), Frame1);
    chkAllTags->setObjectName(QStringLiteral("chkAllTags"));
    auto link = [this](const char* caption, const char* name) {
        auto* b = new QPushButton(QString::fromLatin1(caption), Frame1);
        b->setObjectName(QLatin1String(name));
        b->setFlat(true);
        b->setCursor(Qt::PointingHandCursor);
        QFont f = b->font();
        f.setUnderline(true);
        b->setFont(f);
        return b;
    };
    cmdHelp = link("&Help", "cmdHelp");
    cmdLyrics = link("&Lyrics", "cmdLyrics");
    cmdFreedb = link("&Freedb", "cmdFreedb");
    cmdLyrics->setToolTip(QStringLiteral("Search the web for the lyrics of the current song"));
    cmdFreedb->setToolTip(QStringLiteral("Search a CD database for the current album"));

    buildPopupMenu();
    buildFilterControls();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    Timer1->setInterval(50);
}

void frmMain::buildPopupMenu()
{
    mnuPopup = new QMenu(this);
    mnuPopup->setObjectName(QStringLiteral("mnuPopup"));
    auto add = [this](QAction*& slot, const char* name, const char* caption) {
        slot = mnuPopup->addAction(QString::fromLatin1(caption));
        slot->setObjectName(QLatin1String(name));
    };
    auto separator = [this](const char* name) { mnuPopup->addSeparator()->setObjectName(QLatin1String(name)); };
    add(popup_.play, "mnuPlay", "Play Track");
    add(popup_.moveUp, "mnuMoveUp", "Move Up");
    add(popup_.moveDown, "mnuMoveDown", "Move Down");
    separator("sep1");
    add(popup_.rename, "mnuRename", "Edit Filename");
    add(popup_.clean, "mnuClean", "Clean Filename");
    add(popup_.title4File, "mnuTitle4File", "Use Title For Filename");
    add(popup_.file4Title, "mnuFile4Title", "Use Filename For Title");
    add(popup_.undoRename, "mnuUndoRename", "Undo Rename");
    popup_.undoRename->setEnabled(false);
    popup_.undoRename->setShortcut(QKeySequence::Undo);
    popup_.undoRename->setShortcutContext(Qt::WidgetShortcut); // text boxes keep their own undo
    ListView1->addAction(popup_.undoRename);
    separator("sep2");
    add(popup_.copy1, "mnuCopy1", "Copy Selected Tag");
    add(popup_.copy, "mnuCopy", "Copy All Tags");
    separator("sep3");
    add(popup_.remove, "mnuRemove", "Remove From List");
    add(popup_.del, "mnuDelete", "Delete File");
    // The list operations behind the other items are connected with the list tools.
    connect(popup_.play, &QAction::triggered, this, &frmMain::ListView1_DblClick);
    // Keys of the list's commands, shown in the menu: F2 anywhere in the window, Delete
    // only in the list (in a text box it deletes text).
    popup_.rename->setShortcut(Qt::Key_F2);
    popup_.rename->setShortcutContext(Qt::WindowShortcut);
    addAction(popup_.rename);
    popup_.del->setShortcut(QKeySequence::Delete);
    popup_.del->setShortcutContext(Qt::WidgetShortcut);
    ListView1->addAction(popup_.del);
}

void frmMain::connectSignals()
{
    connect(Command1, &QPushButton::clicked, this, &frmMain::Command1_Click);
    connect(Text1, &QLineEdit::returnPressed, this, &frmMain::Text1_Enter);
    // "Refresh" lists the folder the line names, with the checks of Enter there.
    connect(Command5, &QPushButton::clicked, this, [this] {
        if (withoutTrailingSlash(Text1->text()) != listedFolder_)
            Text1_Enter();
        else
            ScanFolder(CurrentFolder());
    });
    connect(optName, &QRadioButton::clicked, this, [this] { ScanFolder(CurrentFolder()); });
    connect(optTrack, &QRadioButton::clicked, this, [this] { ScanFolder(CurrentFolder()); });
    connect(cmdExit, &QPushButton::clicked, this, &QWidget::close);
    connect(cmdHelp, &QPushButton::clicked, this, &frmMain::OpenHelp);
    connect(cmdLyrics, &QPushButton::clicked, this, &frmMain::OpenLyrics);
    connect(cmdFreedb, &QPushButton::clicked, this, &frmMain::OpenFreedb);
    auto* f5 = new QShortcut(Qt::Key_F5, this);
    f5->setContext(Qt::WindowShortcut);
    connect(f5, &QShortcut::activated, Command5, &QPushButton::click);
    auto* f1 = new QShortcut(QKeySequence::HelpContents, this);
    f1->setContext(Qt::WindowShortcut);
    connect(f1, &QShortcut::activated, this, &frmMain::OpenHelp);
    connect(Timer1, &QTimer::timeout, this, &frmMain::Timer1_Timer);
    // After a page's fields comes "Apply Tags", then the options left to right, and
    // "Exit" last, rather than the order in which the buttons were made.
    for (auto [first, second] : {std::pair<QWidget*, QWidget*>{Command2, chkSelAll},
                                 {chkSelAll, chkAllTags},
                                 {chkAllTags, optName},
                                 {optName, optTrack},
                                 {optTrack, cmdHelp},
                                 {cmdHelp, cmdLyrics},
                                 {cmdLyrics, cmdFreedb},
                                 {cmdFreedb, cmdExit}})
        QWidget::setTabOrder(first, second);
    connect(chkSelAll, &QCheckBox::toggled, this, &frmMain::chkSelAll_Click);
    connect(ListView1, &QTreeView::clicked, this, &frmMain::ListView1_Click);
    connect(ListView1, &QTreeView::doubleClicked, this, &frmMain::ListView1_DblClick);
    connect(ListView1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!loadingSelection_ && current.isValid()) {
                    loadedOnPress_ = true;
                    LoadSelectedFile();
                }
            });
    connect(ListView1->header(), &QHeaderView::sectionClicked, this, &frmMain::SortByColumnClick);

    // A hand edit ticks the field's box; text set by loading a file does not.
    for (const EditorField& f : fields_) {
        const EditorField* field = &f;
        if (auto* line = qobject_cast<QLineEdit*>(f.control)) {
            connect(line, &QLineEdit::textEdited, this, [this, field] { fieldEdited(*field); });
        } else if (auto* text = qobject_cast<QPlainTextEdit*>(f.control)) {
            connect(text, &QPlainTextEdit::textChanged, this, [this, field] { fieldEdited(*field); });
        } else if (auto* combo = qobject_cast<QComboBox*>(f.control)) {
            connect(combo->lineEdit(), &QLineEdit::textEdited, this, [this, field] { fieldEdited(*field); });
            connect(combo, &QComboBox::activated, this, [this, field] { fieldEdited(*field); });
        }
        if (f.box)
            connect(f.box, &QCheckBox::toggled, this, &frmMain::updateTabMarks);
    }
    auto* artistUrl = static_cast<QLineEdit*>(fieldOfRule(ApplyRule::ArtistUrls)->control);
    connect(artistUrl, &QLineEdit::textChanged, this, [this](const QString& t) { artistUrlEditor_->StoreTypedUrl(t); });
    auto* commercial = static_cast<QLineEdit*>(fieldOfRule(ApplyRule::CommercialUrls)->control);
    connect(commercial, &QLineEdit::textChanged, this,
            [this](const QString& t) { commercialEditor_->StoreTypedUrl(t); });
    for (const EditorField& f : fields_) {
        if (f.def->page != EditorPage::Urls)
            continue;
        auto* box = static_cast<QLineEdit*>(f.control);
        box->setMouseTracking(true);
        box->installEventFilter(this);
        urlBoxes_ << box;
    }
    connectSaving();
    connectListTools();
}

} // namespace brindle
