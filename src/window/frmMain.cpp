#include "frmMain.h"

#include "WindowShared.h"

#include "controls/XP_ProgressBar.h"
#include "platform/Desktop.h"
#include "platform/FileOps.h"
#include "tag/FolderScan.h"
#include "tag/clsID3.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>
#include <QUrlQuery>

#include <algorithm>
#include <cmath>

#ifndef BRINDLE_VERSION
#define BRINDLE_VERSION "0.0.0"
#endif

namespace brindle {

namespace {

// The window's design client area, in twips.
constexpr int kDesignWidthTwips = 9960;
constexpr int kDesignHeightTwips = 9150;
constexpr int kMinWidthPixels = 568;
constexpr int kMinHeightPixels = 445;
constexpr double kMinColumnTwips = 200;


// Web searches behind "&Lyrics" and "&Freedb"; %1 is the query.
const QString kLyricsSearch = QStringLiteral("https://duckduckgo.com/?q=%1");
const QString kCdDatabaseSearch = QStringLiteral("https://musicbrainz.org/search?type=release&query=%1");

// Typical cells of the narrow columns, used to widen them for large fonts.
const char* const kListColumnSamples[kListColumnCount] = {"", "", "", "", "", "99", "99", "2024", "59:59",
                                                           "320 kbps VBR", ""};

QString key2(int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); }

// {check box, caption, field control} of the editor pages; "" for no check box.
const char* const kBasicFields[][3] = {
    {"chkTitle", "Title:", "txtTitle"},
    {"chkArtist", "Artist:", "txtArtist"},
    {"chkAlbum", "Album:", "txtAlbum"},
    {"chkGenre", "Genre:", "cmbGenre"},
    {"chkTrack", "Track:", "txtTrackNumber"},
    {"chkTrackof", "of", "txtTracksTotal"},
    {"chkYear", "Year:", "txtYear"},
};
const char* const kAdvancedFields[][3] = {
    {"chkComposer", "Composer:", "txtComposer"},
    {"chkBand", "Band/Orchestra:", "txtBand"},
    {"chkConductor", "Conductor:", "txtConductor"},
    {"chkInterpreted", "Interpreted by:", "txtInterpretedBy"},
    {"chkLyricist", "Lyricist:", "txtLyricist"},
    {"chkOriginalArtist", "Original Artist:", "txtOriginalArtist"},
    {"chkOriginalAlbum", "Original Album:", "txtOriginalAlbum"},
    {"chkOriginalFilename", "Original Filename:", "txtOriginalFileName"},
    {"chkOriginalLyricist", "Original Lyricist:", "txtOriginalLyricist"},
    {"chkOriginalReleaseYear", "Original Release Year:", "txtOriginalReleaseYear"},
    {"chkCopyright", "Copyright:", "txtCopyright"},
    {"chkFileOwner", "File Owner/Licensee:", "txtFileOwner"},
    {"chkPublisher", "Publisher:", "txtPublisher"},
    {"chkNetStationName", "Net Radio Stn. Name:", "txtInternetRadioStationName"},
    {"chkNetRadioOwner", "Net Radio Stn. Owner:", "txtInternetRadioStationOwner"},
    {"chkISRC", "ISRC:", "txtISRC"},
    {"chkLanguages", "Languages:", "txtLanguages"},
    {"chkEncodedby", "Encoded by:", "txtEncodedBy"},
    {"chkBPM", "BPM:", "txtBPM"},
    {"chkInitialKey", "Initial Key:", "cmbKey"},
    {"chkDisc", "Disc:", "txtDiscNumber"},
    {"", "of", "txtDiscsTotal"},
};
const char* const kUrlFields[][3] = {
    {"chkCommercialInfoURL", "Commercial Info URL:", "txtCommercialInfo"},
    {"chkCopyrightInfoURL", "Copyright Info URL:", "txtCopyrightInfo"},
    {"chkAudioURL", "Audio URL:", "txtAudioURL"},
    {"chkArtistURL", "Artist URL:", "txtArtistURL"},
    {"chkAudioSourceURL", "Audio Source URL:", "txtAudioSourceURL"},
    {"chkNetRadioStationURL", "Net Radio Station URL:", "txtInternetRadioStationURL"},
    {"chkPaymentURL", "Payment URL:", "txtPaymentURL"},
    {"chkPublisherURL", "Publisher URL:", "txtPublisherURL"},
};

// The editor's field controls, in the order they are enabled and disabled.
const char* const kEditorControls[] = {
    "txtTitle", "txtArtist", "txtAlbum", "cmbGenre", "txtTrackNumber", "txtTracksTotal", "txtYear", "txtComments",
    "txtLyrics", "txtComposer", "txtBand", "txtConductor", "txtInterpretedBy", "txtLyricist", "txtOriginalArtist",
    "txtOriginalAlbum", "txtOriginalFileName", "txtOriginalLyricist", "txtOriginalReleaseYear", "txtCopyright",
    "txtFileOwner", "txtPublisher", "txtInternetRadioStationName", "txtInternetRadioStationOwner", "txtISRC",
    "txtLanguages", "txtCommercialInfo", "txtCopyrightInfo", "txtAudioURL", "txtArtistURL", "txtAudioSourceURL",
    "txtInternetRadioStationURL", "txtPaymentURL", "txtPublisherURL", "txtEncodedBy", "txtBPM", "cmbKey",
    "txtDiscNumber", "txtDiscsTotal",
};

// Text boxes filled straight from a tag property when a file is loaded.
struct TextField {
    const char* control;
    std::u16string clsID3::*property;
};
const TextField kTextFields[] = {
    {"txtTitle", &clsID3::Title},
    {"txtArtist", &clsID3::Artist},
    {"txtAlbum", &clsID3::Album},
    {"txtTrackNumber", &clsID3::TrackNumber},
    {"txtTracksTotal", &clsID3::TracksTotal},
    {"txtYear", &clsID3::Year},
    {"txtComments", &clsID3::Comments},
    {"txtLyrics", &clsID3::Lyrics},
    {"txtComposer", &clsID3::Composer},
    {"txtBand", &clsID3::Band},
    {"txtConductor", &clsID3::Conductor},
    {"txtInterpretedBy", &clsID3::InterpretedBy},
    {"txtLyricist", &clsID3::Lyricist},
    {"txtOriginalArtist", &clsID3::OriginalArtist},
    {"txtOriginalAlbum", &clsID3::OriginalAlbum},
    {"txtOriginalFileName", &clsID3::OriginalFileName},
    {"txtOriginalLyricist", &clsID3::OriginalLyricist},
    {"txtOriginalReleaseYear", &clsID3::OriginalReleaseYear},
    {"txtCopyright", &clsID3::Copyright},
    {"txtFileOwner", &clsID3::FileOwner},
    {"txtPublisher", &clsID3::Publisher},
    {"txtInternetRadioStationName", &clsID3::InternetRadioStationName},
    {"txtInternetRadioStationOwner", &clsID3::InternetRadioStationOwner},
    {"txtISRC", &clsID3::ISRC},
    {"txtLanguages", &clsID3::Languages},
    {"txtCopyrightInfo", &clsID3::CopyrightInfo},
    {"txtAudioURL", &clsID3::AudioURL},
    {"txtAudioSourceURL", &clsID3::AudioSourceURL},
    {"txtInternetRadioStationURL", &clsID3::InternetRadioURL},
    {"txtPaymentURL", &clsID3::PaymentURL},
    {"txtPublisherURL", &clsID3::PublisherURL},
    {"txtEncodedBy", &clsID3::EncodedBy},
    {"txtBPM", &clsID3::BeatsPerMinute},
    {"txtDiscNumber", &clsID3::DiscNumber},
    {"txtDiscsTotal", &clsID3::DiscsTotal},
};

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

SortLocale sortLocaleOf(const QLocale& l)
{
    SortLocale s;
    const QString dp = l.decimalPoint();
    const QString gs = l.groupSeparator();
    s.decimalPoint = dp.isEmpty() ? u'.' : static_cast<char16_t>(dp.at(0).unicode());
    s.groupSeparator = gs.isEmpty() ? char16_t(0) : static_cast<char16_t>(gs.at(0).unicode());
    if (s.groupSeparator == s.decimalPoint)
        s.groupSeparator = 0;
    const QString f = l.dateFormat(QLocale::ShortFormat);
    const qsizetype d = f.indexOf(QLatin1Char('d')), m = f.indexOf(QLatin1Char('M')), y = f.indexOf(QLatin1Char('y'));
    if (y >= 0 && y < m && y < d)
        s.dateOrder = SortLocale::DateOrder::YearMonthDay;
    else if (d >= 0 && d < m)
        s.dateOrder = SortLocale::DateOrder::DayMonthYear;
    else
        s.dateOrder = SortLocale::DateOrder::MonthDayYear;
    return s;
}

} // namespace

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
    : QWidget(parent)
    , platform_(std::move(platform))
    , startFolder_(startFolder)
    , sortLocale_(sortLocaleOf(QLocale::system()))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(kAppTitle);
    buildWidgets();
    resize(twipsToPixelsX(kDesignWidthTwips), twipsToPixelsY(kDesignHeightTwips));
    connectSignals();
    Form_Load();
}

frmMain::~frmMain() = default;

QWidget* frmMain::field(const char* name) const { return findChild<QWidget*>(QLatin1String(name)); }

void frmMain::buildWidgets()
{
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Command1 = new QPushButton(QStringLiteral("..."), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setToolTip(kFolderPrompt);
    Command5 = new QPushButton(QStringLiteral("&Refresh"), this);
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

    Command2 = new QPushButton(QStringLiteral("&Apply Tags"), Frame1);
    Command2->setObjectName(QStringLiteral("Command2"));
    cmdExit = new QPushButton(QStringLiteral("&Exit"), Frame1);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    lblTotal = new QLabel(QStringLiteral("Total Tracks: 0"), Frame1);
    lblTotal->setObjectName(QStringLiteral("lblTotal"));
    lblTotal->setAlignment(Qt::AlignCenter);
    XP_ProgressBarOlive = new XP_ProgressBar(Frame1);
    XP_ProgressBarOlive->setObjectName(QStringLiteral("XP_ProgressBarOlive"));
    XP_ProgressBarOlive->hide();
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

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    Timer1->setInterval(50);
}

QWidget* frmMain::buildFieldPage(const char* const (*fields)[3], int count)
{
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setVerticalSpacing(3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(4, 1);
    // The URL list editors take a whole row each at the top; the other fields follow
    // in two columns side by side.
    auto isList = [](const char* control) {
        return qstrcmp(control, "txtArtistURL") == 0 || qstrcmp(control, "txtCommercialInfo") == 0;
    };
    int wide = 0;
    for (int i = 0; i < count; ++i)
        wide += isList(fields[i][2]) ? 1 : 0;
    const int perColumn = (count - wide + 1) / 2;
    int placedWide = 0, placed = 0;
    for (int i = 0; i < count; ++i) {
        const char* chk = fields[i][0];
        const QString caption = QString::fromLatin1(fields[i][1]);
        const QString control = QString::fromLatin1(fields[i][2]);
        const bool fullRow = isList(fields[i][2]);
        const int slot = fullRow ? 0 : placed++;
        const int row = fullRow ? placedWide++ : wide + slot % perColumn;
        const int col = fullRow || slot < perColumn ? 0 : 3;
        if (*chk) {
            auto* box = new QCheckBox(caption, page);
            box->setObjectName(QLatin1String(chk));
            grid->addWidget(box, row, col);
        } else {
            grid->addWidget(new QLabel(caption, page), row, col, Qt::AlignRight);
        }
        QWidget* w = nullptr;
        if (control == QLatin1String("cmbGenre") || control == QLatin1String("cmbKey")) {
            auto* combo = new QComboBox(page);
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->addItems(control == QLatin1String("cmbGenre") ? GenreListEntries() : KeyListEntries());
            combo->setEditText(QString());
            (control == QLatin1String("cmbGenre") ? cmbGenre : cmbKey) = combo;
            w = combo;
        } else {
            w = new QLineEdit(page);
        }
        w->setObjectName(control);
        QWidget* cell = w;
        if (control == QLatin1String("txtArtistURL"))
            cell = buildUrlEditorRow(page, w, "ArtistURL");
        else if (control == QLatin1String("txtCommercialInfo"))
            cell = buildUrlEditorRow(page, w, "CommercialInfo");
        if (fullRow)
            grid->addWidget(cell, row, 1, 1, 4);
        else
            grid->addWidget(cell, row, col + 1);
    }
    grid->setRowStretch(wide + perColumn, 1);
    return page;
}

void frmMain::buildEditorPages()
{
    // Basic: the main fields, with comments and lyrics side by side below them.
    auto* basic = new QWidget;
    auto* basicLayout = new QVBoxLayout(basic);
    basicLayout->setContentsMargins(0, 0, 0, 0);
    QWidget* mainFields = buildFieldPage(kBasicFields, static_cast<int>(std::size(kBasicFields)));
    auto* auto_ = new QCheckBox(QStringLiteral("Auto Number"), mainFields);
    auto_->setObjectName(QStringLiteral("chkAutTrack"));
    static_cast<QGridLayout*>(mainFields->layout())->addWidget(auto_, 3, 5);
    basicLayout->addWidget(mainFields);
    auto* texts = new QHBoxLayout;
    texts->setContentsMargins(6, 0, 6, 6);
    for (const auto& [chk, caption, name] : {std::array<const char*, 3>{"chkComments", "Comments:", "txtComments"},
                                             std::array<const char*, 3>{"chkLyrics", "Lyrics:", "txtLyrics"}}) {
        auto* col = new QVBoxLayout;
        auto* box = new QCheckBox(QString::fromLatin1(caption), basic);
        box->setObjectName(QLatin1String(chk));
        auto* edit = new QPlainTextEdit(basic);
        edit->setMinimumHeight(edit->fontMetrics().lineSpacing() * 2 + 12); // two lines at least, then the rest of the page
        edit->setObjectName(QLatin1String(name));
        col->addWidget(box);
        col->addWidget(edit, 1);
        texts->addLayout(col, 1);
    }
    basicLayout->addLayout(texts, 1);
    TabStrip1->addTab(basic, QStringLiteral("Basic"));

    auto* advancedScroll = new QScrollArea;
    advancedScroll->setObjectName(QStringLiteral("VScroll1"));
    advancedScroll->setWidgetResizable(true);
    advancedScroll->setFrameShape(QFrame::NoFrame);
    auto* advanced = new QWidget;
    auto* advancedLayout = new QVBoxLayout(advanced);
    advancedLayout->setContentsMargins(0, 0, 0, 0);
    advancedLayout->addWidget(buildFieldPage(kAdvancedFields, static_cast<int>(std::size(kAdvancedFields))));
    advancedLayout->addWidget(buildAudioLabels());
    advancedScroll->setWidget(advanced);
    TabStrip1->addTab(advancedScroll, QStringLiteral("Advanced"));

    TabStrip1->addTab(buildAlbumArtPage(), QStringLiteral("Album Art"));
    TabStrip1->addTab(buildFilenamePage(), QStringLiteral("Filename"));

    auto* urlScroll = new QScrollArea;
    urlScroll->setWidgetResizable(true);
    urlScroll->setFrameShape(QFrame::NoFrame);
    urlScroll->setWidget(buildFieldPage(kUrlFields, static_cast<int>(std::size(kUrlFields))));
    TabStrip1->addTab(urlScroll, QStringLiteral("Additional Tag Info"));

    auto* about = new QWidget;
    auto* aboutLayout = new QVBoxLayout(about);
    lblTitle = new QLabel(about);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont big = lblTitle->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.4);
    lblTitle->setFont(big);
    aboutLayout->addWidget(lblTitle);
    auto* blurb = new QLabel(QStringLiteral(
        "An editor for the tags of MP3 files: ID3v2 (2.2, 2.3, 2.4), ID3v1 and Lyrics3.\n"
        "Choose a folder, select files in the list, edit the fields and press Apply Tags.\n"
        "Press F1 or the Help link for the full guide."), about);
    blurb->setWordWrap(true);
    aboutLayout->addWidget(blurb);
    auto* helpLink = new QLabel(QStringLiteral("<a href=\"help\">Open the help</a> (F1) &nbsp; "
                                               "<a href=\"lyrics\">Look up lyrics</a> &nbsp; "
                                               "<a href=\"cddb\">Look up the album</a>"),
                                about);
    helpLink->setObjectName(QStringLiteral("lblHelpLinks"));
    helpLink->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(helpLink, &QLabel::linkActivated, this, [this](const QString& link) {
        if (link == QLatin1String("help"))
            OpenHelp();
        else if (link == QLatin1String("lyrics"))
            OpenLyrics();
        else
            OpenFreedb();
    });
    aboutLayout->addWidget(helpLink);
    aboutLayout->addStretch(1);
    TabStrip1->addTab(about, QStringLiteral("Help/About"));
}

QWidget* frmMain::buildUrlEditorRow(QWidget* page, QWidget* edit, const char* field)
{
    auto* row = new QWidget(page);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(2);
    h->addWidget(edit, 1);
    const QString f = QLatin1String(field);
    auto button = [&](const char* prefix) {
        auto* b = new ImageButton(row);
        b->setObjectName(QLatin1String(prefix) + f);
        b->setFixedSize(20, 20);
        return b;
    };
    ImageButton* prev = button("prev");
    auto* counter = new QLabel(QStringLiteral("0/0"), row);
    counter->setObjectName(QStringLiteral("count") + f);
    counter->setAlignment(Qt::AlignCenter);
    counter->setMinimumWidth(counter->fontMetrics().horizontalAdvance(QStringLiteral("88/88")) + 4);
    ImageButton* next = button("next");
    ImageButton* del = button("del");
    for (QWidget* w : std::initializer_list<QWidget*>{prev, counter, next, del})
        h->addWidget(w);
    const bool artist = f == QLatin1String("ArtistURL");
    auto editor = std::make_unique<MultiValueEditor>(MultiValueEditor::Kind::Url,
                                                     artist ? QStringLiteral("Artist URL")
                                                            : QStringLiteral("Commercial Info URL"),
                                                     counter, prev, next, del);
    editor->setUrlBox(static_cast<QLineEdit*>(edit));
    (artist ? artistUrlEditor_ : commercialEditor_) = std::move(editor);
    return row;
}

QWidget* frmMain::buildAlbumArtPage()
{
    auto* page = new QWidget;
    auto* h = new QHBoxLayout(page);
    h->setContentsMargins(6, 6, 6, 6);

    auto* picArt = new ArtView(page);
    picArt->setObjectName(QStringLiteral("picArt"));
    picArt->setMinimumSize(120, 120);
    picArt->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto* artLayout = new QVBoxLayout(picArt);
    auto* lblBrowse = new QLabel(QStringLiteral("Click here to browse..."), picArt);
    lblBrowse->setObjectName(QStringLiteral("lblBrowse"));
    lblBrowse->setAlignment(Qt::AlignCenter);
    lblBrowse->setWordWrap(true);
    artLayout->addWidget(lblBrowse);
    h->addWidget(picArt, 3);

    auto* side = new QVBoxLayout;
    auto* nav = new QHBoxLayout;
    auto button = [page](const char* name) {
        auto* b = new ImageButton(page);
        b->setObjectName(QLatin1String(name));
        b->setFixedSize(24, 24);
        return b;
    };
    ImageButton* prevArt = button("prevArt");
    auto* countArt = new QLabel(QStringLiteral("0/0"), page);
    countArt->setObjectName(QStringLiteral("countArt"));
    countArt->setAlignment(Qt::AlignCenter);
    countArt->setMinimumWidth(countArt->fontMetrics().horizontalAdvance(QStringLiteral("88/88")) + 8);
    ImageButton* nextArt = button("nextArt");
    ImageButton* delArt = button("delArt");
    nav->addWidget(prevArt);
    nav->addWidget(countArt);
    nav->addWidget(nextArt);
    nav->addSpacing(12);
    nav->addWidget(delArt);
    nav->addStretch(1);
    side->addLayout(nav);

    auto* types = new QGridLayout;
    auto* cmbImageType = new QComboBox(page);
    cmbImageType->setObjectName(QStringLiteral("cmbImageType"));
    cmbImageType->addItems({QStringLiteral("BMP"), QStringLiteral("GIF"), QStringLiteral("JPEG"), QStringLiteral("PNG")});
    auto* cmbPictureType = new QComboBox(page);
    cmbPictureType->setObjectName(QStringLiteral("cmbPictureType"));
    cmbPictureType->addItems(PictureTypeEntries());
    auto* lblImageType = new QLabel(QStringLiteral("Image type:"), page);
    lblImageType->setObjectName(QStringLiteral("lblImageType"));
    auto* lblPictureType = new QLabel(QStringLiteral("Picture type:"), page);
    lblPictureType->setObjectName(QStringLiteral("lblPictureType"));
    types->addWidget(lblImageType, 0, 0);
    types->addWidget(cmbImageType, 0, 1);
    types->addWidget(lblPictureType, 1, 0);
    types->addWidget(cmbPictureType, 1, 1);
    types->setColumnStretch(1, 1);
    side->addLayout(types);
    side->addStretch(1);
    h->addLayout(side, 2);

    artEditor_ = std::make_unique<MultiValueEditor>(MultiValueEditor::Kind::Art, QStringLiteral("Album Art"), countArt,
                                                    prevArt, nextArt, delArt);
    artEditor_->setArtControls(picArt, lblBrowse, cmbImageType, cmbPictureType);
    connect(cmbPictureType, &QComboBox::activated, this, [this](int index) { artEditor_->SetCurrentPictureType(index); });
    return page;
}

QWidget* frmMain::buildFilenamePage()
{
    static const char* const tools[][3] = {
        {"cmdRenFile", "&Use Title For Filename", "Use the MP3 Tag Title for the filename of selected files"},
        {"cmdRenTitle", "Use &Filename For Title", "Use the filename for the MP3 Tag Title of selected files"},
        {"cmdEditFilename", "&Edit Filename of File", "Edit the selected filename"},
        {"cmdClean", "&Clean Filename", "Remove %20, _,excess spaces and capitalize the first letter of each word"},
        {"Command4", "&Remove Leading Numbers", "Remove leading numbers and most special characters"},
        {"Command6", "Auto &Number Filenames",
         "Add numbering to the beginning of all files in the format 01 -, 02 - , 03 -"},
    };
    auto* content = new QWidget;
    auto* grid = new QGridLayout(content);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setVerticalSpacing(4);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    int i = 0;
    for (const auto& t : tools) {
        auto* b = new QPushButton(QString::fromLatin1(t[1]), content);
        b->setObjectName(QLatin1String(t[0]));
        auto* d = new QLabel(QString::fromLatin1(t[2]), content);
        d->setObjectName(QStringLiteral("lbl") + QLatin1String(t[0]));
        d->setWordWrap(true);
        const int row = i % 3, col = (i / 3) * 2;
        grid->addWidget(b, row, col);
        grid->addWidget(d, row, col + 1);
        ++i;
    }
    grid->setRowStretch(3, 1);
    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(content);
    return scroll;
}

QWidget* frmMain::buildAudioLabels()
{
    static const char* const labels[][2] = {
        {"jblMPGv", "Version: "},           {"jblChannel", "Channel Mode: "}, {"jblBitrate", "Bit Rate: "},
        {"jblType", "Type: "},              {"jblSamplingRate", "Sampling Rate: "},
        {"jblFrameSamp", "Frame Samples: "}, {"jblFrameSz", "Frame Size: "}, {"jblGenre", "Genre: "},
        {"jblGenreID", "Genre ID: "},       {"jblSize", "File Size: "},       {"jblPath", "File Path: "},
    };
    auto* box = new QGroupBox(QStringLiteral("Audio Information"));
    box->setObjectName(QStringLiteral("fraAudio"));
    auto* grid = new QGridLayout(box);
    grid->setVerticalSpacing(2);
    int i = 0;
    for (const auto& l : labels) {
        auto* label = new QLabel(QString::fromLatin1(l[1]), box);
        label->setObjectName(QLatin1String(l[0]));
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        if (i == 10) { // the path takes the whole width
            label->setWordWrap(true);
            grid->addWidget(label, 5, 0, 1, 2);
        } else {
            grid->addWidget(label, i / 2, i % 2);
        }
        ++i;
    }
    return box;
}

void frmMain::buildPopupMenu()
{
    mnuPopup = new QMenu(this);
    mnuPopup->setObjectName(QStringLiteral("mnuPopup"));
    auto add = [this](const char* name, const char* caption) {
        QAction* a = mnuPopup->addAction(QString::fromLatin1(caption));
        a->setObjectName(QLatin1String(name));
        return a;
    };
    auto separator = [this](const char* name) { mnuPopup->addSeparator()->setObjectName(QLatin1String(name)); };
    QAction* play = add("mnuPlay", "Play Track");
    connect(play, &QAction::triggered, this, &frmMain::ListView1_DblClick);
    // The list operations behind the other items are connected with the list tools.
    for (auto [name, caption] : {std::pair{"mnuMoveUp", "Move Up"}, std::pair{"mnuMoveDown", "Move Down"}})
        add(name, caption);
    separator("sep1");
    for (auto [name, caption] :
         {std::pair{"mnuRename", "Edit Filename"}, std::pair{"mnuClean", "Clean Filename"},
          std::pair{"mnuTitle4File", "Use Title For Filename"}, std::pair{"mnuFile4Title", "Use Filename For Title"}})
        add(name, caption);
    separator("sep2");
    for (auto [name, caption] : {std::pair{"mnuCopy1", "Copy Selected Tag"}, std::pair{"mnuCopy", "Copy All Tags"}})
        add(name, caption);
    separator("sep3");
    for (auto [name, caption] : {std::pair{"mnuRemove", "Remove From List"}, std::pair{"mnuDelete", "Delete File"}})
        add(name, caption);
}

void frmMain::connectSignals()
{
    connect(Command1, &QPushButton::clicked, this, &frmMain::Command1_Click);
    connect(Command5, &QPushButton::clicked, this, [this] { ScanFolder(CurrentFolder()); });
    connect(optName, &QRadioButton::clicked, this, [this] { ScanFolder(CurrentFolder()); });
    connect(optTrack, &QRadioButton::clicked, this, [this] { ScanFolder(CurrentFolder()); });
    connect(cmdExit, &QPushButton::clicked, this, &QWidget::close);
    connect(cmdHelp, &QPushButton::clicked, this, &frmMain::OpenHelp);
    connect(cmdLyrics, &QPushButton::clicked, this, &frmMain::OpenLyrics);
    connect(cmdFreedb, &QPushButton::clicked, this, &frmMain::OpenFreedb);
    auto* f1 = new QShortcut(QKeySequence::HelpContents, this);
    f1->setContext(Qt::WindowShortcut);
    connect(f1, &QShortcut::activated, this, &frmMain::OpenHelp);
    connect(Timer1, &QTimer::timeout, this, &frmMain::Timer1_Timer);
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

    for (auto [editor, field] : {std::pair{artEditor_.get(), "Art"}, std::pair{artistUrlEditor_.get(), "ArtistURL"},
                                 std::pair{commercialEditor_.get(), "CommercialInfo"}}) {
        const QString f = QLatin1String(field);
        MultiValueEditor* e = editor;
        connect(findChild<ImageButton*>(QStringLiteral("prev") + f), &QAbstractButton::clicked, this,
                [e] { e->StepBack(); });
        connect(findChild<ImageButton*>(QStringLiteral("next") + f), &QAbstractButton::clicked, this,
                [e] { e->StepForward(); });
        connect(findChild<ImageButton*>(QStringLiteral("del") + f), &QAbstractButton::clicked, this,
                [e] { e->DeleteCurrentValue(); });
    }
    auto* artistUrl = findChild<QLineEdit*>(QStringLiteral("txtArtistURL"));
    connect(artistUrl, &QLineEdit::textChanged, this, [this](const QString& t) { artistUrlEditor_->StoreTypedUrl(t); });
    auto* commercial = findChild<QLineEdit*>(QStringLiteral("txtCommercialInfo"));
    connect(commercial, &QLineEdit::textChanged, this, [this](const QString& t) { commercialEditor_->StoreTypedUrl(t); });
    for (const char* name : {"txtArtistURL", "txtCommercialInfo", "txtCopyrightInfo", "txtAudioURL",
                             "txtAudioSourceURL", "txtInternetRadioStationURL", "txtPaymentURL", "txtPublisherURL"}) {
        auto* box = findChild<QLineEdit*>(QLatin1String(name));
        box->setMouseTracking(true);
        box->installEventFilter(this);
        urlBoxes_ << box;
    }
    connectSaving();
    connectListTools();
}

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

    xSize_ = std::min(std::max(xSize_, kMinWidthPixels * tppX), std::max(screenW, kMinWidthPixels * tppX));
    ySize_ = std::min(std::max(ySize_, kMinHeightPixels * tppY), std::max(screenH, kMinHeightPixels * tppY));
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
    sortKey_ = key >= 0 && key < kListColumnCount ? key : 0;
    const int order = s.readInt(QStringLiteral("Columns"), QStringLiteral("SortOrder"), 0);
    sortOrder_ = order == 1 ? 1 : 0;
    resorting_ = false;
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
    s.setValue(QStringLiteral("MP3s"), QStringLiteral("Directory"), CurrentFolder());
    s.sync();
}

void frmMain::closeEvent(QCloseEvent* e)
{
    Form_Unload();
    e->accept();
}

void frmMain::Timer1_Timer()
{
    Timer1->stop();
    letPendingEventsRun();
    ScanFolder(CurrentFolder());
}

// ---------------------------------------------------------------- layout

void frmMain::resizeEvent(QResizeEvent*)
{
    Form_Resize();
}

void frmMain::moveEvent(QMoveEvent*)
{
    recordNormalGeometry();
}

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
    int linkRight = frameW - 120;
    for (QPushButton* b : {cmdFreedb, cmdLyrics, cmdHelp}) {
        const int linkW = std::max(700, hint(b));
        place(b, linkRight - linkW, row2, linkW, 330);
        linkRight -= linkW;
    }

    recordNormalGeometry();
    if (loaded_)
        windowState_ = (windowState() & Qt::WindowMaximized) ? 2 : 0;
}

// ---------------------------------------------------------------- folder scan and list

QString frmMain::CurrentFolder() const { return Text1->text(); }

void frmMain::Command1_Click()
{
    const QString start = withTrailingSlash(CurrentFolder());
    const QString chosen = platform_.dialogs->chooseFolder(this, kFolderPrompt, start);
    if (chosen.isEmpty())
        return;
    Text1->setText(chosen);
    ScanFolder(chosen);
    setCheck(chkSelAll, false);
}

void frmMain::clearEditorFields()
{
    for (const char* name : kEditorControls)
        if (QWidget* w = field(name))
            setControlText(w, QString());
}

void frmMain::ScanFolder(const QString& folder)
{
    const QString path = withTrailingSlash(folder);
    const std::vector<std::string> names = ListFolderMp3s(QFile::encodeName(path).toStdString());

    loadingSelection_ = true;
    model_->clear();
    currentTagRevision_ = 3;
    clearEditorFields();
    resetMultiValueEditors();
    SetEditorEnabled(false);

    std::vector<FileListModel::Row> rows;
    rows.reserve(names.size());
    const std::string nativeFolder = QFile::encodeName(path).toStdString();
    clsID3 tag; // one tag object serves the whole scan
    for (const std::string& name : names) {
        if (!isBusyCursor()) {
            showBusyCursor();
            letPendingEventsRun();
        }
        const QString qname = QFile::decodeName(QByteArray::fromStdString(name));
        tag.SetFileName(nativeFolder + name);
        rows.push_back(ListRowCells(FileListModel::toU16(qname), tag));
    }
    model_->setRows(std::move(rows));
    // Rows come in directory order; the list shows them in its sort order from the start.
    model_->sortRows(sortKey_, sortOrder_ == 0, sortLocale_);

    restoreNormalCursor();
    Command1->setEnabled(true);
    Command5->setEnabled(true);

    if (model_->rowCount() > 0) {
        SetEditorEnabled(true);
        ListView1->selectionModel()->setCurrentIndex(model_->index(0, 0), QItemSelectionModel::NoUpdate);
        loadingSelection_ = false;
        LoadSelectedFile();
    }
    loadingSelection_ = false;
    ListView1->viewport()->update();
    ListView1->selectionModel()->clearSelection();
    setTotalLabel();
}

void frmMain::resetMultiValueEditors()
{
    artistUrlEditor_->LoadMultiValueEditor(nullptr, currentTagRevision_);
    commercialEditor_->LoadMultiValueEditor(nullptr, currentTagRevision_);
    artEditor_->LoadMultiValueEditor(nullptr, currentTagRevision_);
}

void frmMain::setTotalLabel()
{
    lblTotal->setText(QStringLiteral("Total Tracks: %1").arg(model_->rowCount()));
}

void frmMain::SetEditorEnabled(bool enabled)
{
    const QPalette base = QApplication::palette();
    const QColor back = enabled ? base.color(QPalette::Active, QPalette::Base) : base.color(QPalette::Active, QPalette::Button);
    for (const char* name : kEditorControls) {
        QWidget* w = field(name);
        if (!w || w->isEnabled() == enabled)
            continue;
        w->setEnabled(enabled);
        QPalette p = w->palette();
        p.setColor(QPalette::Active, QPalette::Base, back);
        p.setColor(QPalette::Inactive, QPalette::Base, back);
        p.setColor(QPalette::Disabled, QPalette::Base, back);
        w->setPalette(p);
    }
}

int frmMain::selectedRowCount() const { return static_cast<int>(ListView1->selectionModel()->selectedRows().size()); }

int frmMain::currentRow() const
{
    const QModelIndex i = ListView1->selectionModel()->currentIndex();
    return i.isValid() ? i.row() : -1;
}

void frmMain::setCheck(QCheckBox* box, bool checked)
{
    if (box && box->isChecked() != checked)
        box->setChecked(checked);
}

void frmMain::chkSelAll_Click()
{
    const bool checked = chkSelAll->isChecked();
    if (model_->rowCount() == 0 && checked) {
        chkSelAll->setChecked(false);
        listIsEmptyAskFolder();
        return;
    }
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setFocus();
    auto* chkTitle = findChild<QCheckBox*>(QStringLiteral("chkTitle"));
    if (checked) {
        ListView1->selectAll();
        setCheck(chkTitle, false);
        setCheck(findChild<QCheckBox*>(QStringLiteral("chkTrack")), false);
    } else {
        ListView1->clearSelection();
        setCheck(chkTitle, false);
        setCheck(findChild<QCheckBox*>(QStringLiteral("chkAutTrack")), false);
    }
}

void frmMain::ListView1_MouseDown()
{
    if (selectedRowCount() == model_->rowCount())
        setCheck(chkSelAll, false);
}

void frmMain::ListView1_Click()
{
    const int row = currentRow();
    if (model_->rowCount() > 0 && row >= 0)
        currentFilePath_ = withTrailingSlash(CurrentFolder()) + model_->cell(row, 0);
    // A click on the row already loaded reads its file again (it may have changed on
    // disk); a click that moved the current row has loaded it already.
    if (!loadedOnPress_ && row >= 0)
        LoadSelectedFile();
    loadedOnPress_ = false;
}

void frmMain::ListView1_DblClick()
{
    const int row = currentRow();
    if (row < 0)
        return;
    platform_.shell->open(withTrailingSlash(CurrentFolder()) + model_->cell(row, 0));
}

void frmMain::ListView1_MouseUp(Qt::MouseButton button, const QPoint& globalPos)
{
    if (button == Qt::RightButton)
        mnuPopup->popup(globalPos);
}

namespace {
// Web addresses the URL boxes open; "https://" as well, since most sites use it now.
bool isWebAddress(const QString& text)
{
    return text.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
           text.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}
} // namespace

bool frmMain::urlBoxEvent(QLineEdit* box, QEvent* e)
{
    const QString text = box->text();
    if (e->type() == QEvent::MouseButtonDblClick) {
        if (isWebAddress(text)) {
            platform_.shell->open(text);
            return true;
        }
    } else if (e->type() == QEvent::MouseMove) {
        // The pointer and tip follow the text, so a box no longer holding an address
        // stops offering to open it.
        if (isWebAddress(text)) {
            box->setCursor(Qt::PointingHandCursor);
            box->setToolTip(QStringLiteral("Doubleclick to go to ") + text);
        } else if (!box->toolTip().isEmpty()) {
            box->setCursor(Qt::IBeamCursor);
            box->setToolTip(QString());
        }
    }
    return false;
}

bool frmMain::eventFilter(QObject* watched, QEvent* e)
{
    if (savingEvent(watched, e) || listToolsEvent(watched, e))
        return true;
    if (auto* box = qobject_cast<QLineEdit*>(watched); box && urlBoxes_.contains(box))
        if (urlBoxEvent(box, e))
            return true;
    if (watched == ListView1->viewport()) {
        if (e->type() == QEvent::MouseButtonPress) {
            loadedOnPress_ = false;
            ListView1_MouseDown();
        } else if (e->type() == QEvent::MouseButtonRelease) {
            auto* me = static_cast<QMouseEvent*>(e);
            ListView1_MouseUp(me->button(), me->globalPosition().toPoint());
        }
    }
    return QWidget::eventFilter(watched, e);
}

// With nothing listed, a command asks for a folder instead.
bool frmMain::listIsEmptyAskFolder()
{
    if (model_->rowCount() > 0)
        return false;
    platform_.messages->information(this, kNoFolderMessage);
    Command1_Click();
    return true;
}

void frmMain::LoadSelectedFile()
{
    if (listIsEmptyAskFolder())
        return;
    const int row = currentRow();
    if (row < 0)
        return;
    const QString name = model_->cell(row, 0);
    const QString path = withTrailingSlash(CurrentFolder()) + name;
    if (!platform_.files->exists(path)) {
        loadingSelection_ = true;
        model_->removeRowAt(row);
        loadingSelection_ = false;
        setTotalLabel();
        return;
    }
    clsID3 tag;
    tag.SetFileName(QFile::encodeName(path).toStdString());
    currentTagRevision_ = tag.ID3RevisionV2();

    // The fields in page order; the genre box shows the genre as the list does.
    for (const TextField& f : kTextFields) {
        if (QWidget* w = field(f.control))
            setControlText(w, FileListModel::toQString(tag.*(f.property)));
        if (f.property == &clsID3::Album)
            cmbGenre->setEditText(FileListModel::toQString(FormatGenre(tag)));
        else if (f.property == &clsID3::Languages)
            artistUrlEditor_->LoadMultiValueEditor(tag.ArtistURL, currentTagRevision_);
        else if (f.property == &clsID3::AudioURL)
            commercialEditor_->LoadMultiValueEditor(tag.CommercialInfo, currentTagRevision_);
        else if (f.property == &clsID3::BeatsPerMinute)
            cmbKey->setEditText(FileListModel::toQString(tag.InitialKey));
    }
    artEditor_->LoadMultiValueEditor(tag.AttachedPictures, currentTagRevision_);
    setAudioLabels(tag, path);

    // Bring the row up to date with the file; re-sort when the sort column changed.
    const std::vector<std::u16string> cells = ListRowCells(FileListModel::toU16(name), tag);
    bool changed = false;
    bool resort = false;
    for (int c = 1; c < kListColumnCount; ++c) {
        const QString now = FileListModel::toQString(cells[static_cast<std::size_t>(c)]);
        if (now.compare(model_->cell(row, c), Qt::CaseInsensitive) != 0) {
            model_->setCell(row, c, now);
            changed = true;
            if (c == sortKey_)
                resort = true;
        }
    }
    if (resort) {
        resorting_ = true;
        SortList(sortKey_ + 1);
        resorting_ = false;
    }
    if (changed) {
        ListView1->scrollTo(ListView1->selectionModel()->currentIndex());
        ListView1->viewport()->update();
    }
}

QString FormatFileSize(double size)
{
    static const char* const units[] = {"KB", "MB", "GB", "TB", "PB", "EB", "ZB", "YB"};
    if (size < 1024)
        return QString::number(size, 'g', 15) + QStringLiteral(" bytes");
    int u = 0;
    double scaled = size / 1024;
    while (u < 7 && scaled >= 1024) {
        scaled /= 1024;
        ++u;
    }
    return QString::number(scaled, 'f', 2) + QLatin1Char(' ') + QLatin1String(units[u]);
}

QString BitRateLabel(double bitsPerSecond)
{
    // Rounded to whole bits (halves to even) before the division, where the list cell
    // truncates: 127999.6 bit/s reads 128 here and 127 in the list.
    const auto kbps = static_cast<long long>(std::nearbyint(bitsPerSecond)) / 1000;
    return QStringLiteral("Bit Rate: %1 kbps").arg(kbps);
}

void frmMain::setAudioLabels(const clsID3& tag, const QString& path)
{
    auto label = [this](const char* name) { return findChild<QLabel*>(QLatin1String(name)); };
    label("jblFrameSamp")->setText(QStringLiteral("Frame Samples: %1").arg(tag.FrameSamples()));
    const double frameSize = std::nearbyint(tag.FrameSize());
    label("jblFrameSz")->setText(QStringLiteral("Frame Size: ") +
                                 (frameSize == 0 ? QString() : QString::number(frameSize, 'f', 0)));
    label("jblSamplingRate")->setText(QStringLiteral("Sampling Rate: %1").arg(tag.SamplingRateFrequency()));
    label("jblBitrate")->setText(BitRateLabel(tag.BitRate()));
    label("jblPath")->setText(QStringLiteral("File Path: ") + path);
    label("jblGenre")->setText(QStringLiteral("Genre: ") + FileListModel::toQString(tag.Genre));
    label("jblGenreID")->setText(QStringLiteral("Genre ID: %1").arg(tag.GenreID));
    if (tag.Encoding() == 0)
        label("jblType")->setText(QStringLiteral("Type: Constant Bit Rate"));
    else if (tag.Encoding() == 1)
        label("jblType")->setText(QStringLiteral("Type: Variable Bit Rate"));
    QLabel* version = label("jblMPGv");
    switch (tag.MPEGVersion()) {
    case 0: version->setText(QStringLiteral("Version: MPEG 2.5 ")); break;
    case 1: version->setText(QStringLiteral("Unknown")); break;
    case 2: version->setText(QStringLiteral("Version: MPEG 1 ")); break;
    case 3: version->setText(QStringLiteral("Version: MPEG 2 ")); break;
    default: break;
    }
    static const char* const layers[] = {"Layer Unknown", "Layer 3", "Layer 2", "Layer 1"};
    if (tag.Layer() >= 0 && tag.Layer() <= 3)
        version->setText(version->text() + QLatin1String(layers[tag.Layer()]));
    static const char* const modes[] = {"Stereo", "Joint Stereo", "Dual Channel", "Single Channel"};
    if (tag.ChannelMode() >= 0 && tag.ChannelMode() <= 3)
        label("jblChannel")->setText(QStringLiteral("Channel Mode: ") + QLatin1String(modes[tag.ChannelMode()]));
    const std::optional<std::int64_t> length = platform_.files->length(path);
    label("jblSize")->setText(QStringLiteral("File Size: ") +
                              (length ? FormatFileSize(static_cast<double>(*length)) : QString()));
}

// ---------------------------------------------------------------- sorting

void frmMain::ShowSortIcon()
{
    // Header alignment follows each column's alignment through the model; the arrow
    // marks the sort column and its direction.
    ListView1->header()->setSortIndicator(sortKey_, sortOrder_ == 0 ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void frmMain::SortList(int columnNumber)
{
    const int column = columnNumber - 1;
    if (column < 0 || column >= kListColumnCount)
        return;
    loadingSelection_ = true;
    model_->sortRows(column, sortOrder_ == 0, sortLocale_);
    loadingSelection_ = false;
}

void frmMain::SortByColumnClick(int column)
{
    if (column < 0 || column >= kListColumnCount)
        return;
    if (column == sortKey_) {
        sortOrder_ = sortOrder_ == 0 ? 1 : 0;
    } else {
        sortKey_ = column;
        sortOrder_ = 0;
    }
    ShowSortIcon();
    SortList(sortKey_ + 1);
    const QModelIndex current = ListView1->selectionModel()->currentIndex();
    if (current.isValid())
        ListView1->scrollTo(current);
}

// ---------------------------------------------------------------- help and web links

QStringList frmMain::helpFileCandidates()
{
    const QString dir = QCoreApplication::applicationDirPath();
    return {dir + QStringLiteral("/Help.html"), dir + QStringLiteral("/../share/brindle/Help.html"),
            dir + QStringLiteral("/../share/doc/brindle/Help.html")};
}

void frmMain::OpenHelp()
{
    const QStringList candidates = helpFileCandidates();
    for (const QString& c : candidates)
        if (platform_.files->exists(c)) {
            platform_.shell->open(QFileInfo(c).canonicalFilePath());
            return;
        }
    platform_.messages->exclamation(this, QStringLiteral("The help file could not be found:\n") + candidates.front());
}

namespace {
QUrl searchUrl(const QString& pattern, QStringList words)
{
    words.removeAll(QString());
    const QString query = QString::fromLatin1(QUrl::toPercentEncoding(words.join(QLatin1Char(' '))));
    return QUrl(pattern.arg(query), QUrl::StrictMode);
}
} // namespace

QUrl frmMain::lyricsSearchUrl(const QString& artist, const QString& title)
{
    return searchUrl(kLyricsSearch, {artist.trimmed(), title.trimmed(), QStringLiteral("lyrics")});
}

QUrl frmMain::cdDatabaseSearchUrl(const QString& artist, const QString& album)
{
    return searchUrl(kCdDatabaseSearch, {artist.trimmed(), album.trimmed()});
}

void frmMain::OpenLyrics()
{
    const auto* artist = findChild<QLineEdit*>(QStringLiteral("txtArtist"));
    const auto* title = findChild<QLineEdit*>(QStringLiteral("txtTitle"));
    platform_.shell->open(lyricsSearchUrl(artist->text(), title->text()).toString());
}

void frmMain::OpenFreedb()
{
    const auto* artist = findChild<QLineEdit*>(QStringLiteral("txtArtist"));
    const auto* album = findChild<QLineEdit*>(QStringLiteral("txtAlbum"));
    platform_.shell->open(cdDatabaseSearchUrl(artist->text(), album->text()).toString());
}

} // namespace brindle
