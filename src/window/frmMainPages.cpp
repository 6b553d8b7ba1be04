// The editor's pages: the field pages built from the field table, the URL list rows,
// the album-art page, the file-name tools and the audio information.
#include "frmMain.h"

#include "WindowShared.h"

#include "tag/clsID3.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>

namespace brindle {

QWidget* frmMain::makeFieldControl(const FieldSpec& def, QWidget* parent)
{
    QWidget* w = nullptr;
    switch (def.kind) {
    case FieldControl::Combo: {
        auto* combo = new QComboBox(parent);
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        const bool genre = def.property == &clsID3::Genre;
        combo->addItems(genre ? GenreListEntries() : KeyListEntries());
        combo->setEditText(QString());
        (genre ? cmbGenre : cmbKey) = combo;
        w = combo;
        break;
    }
    case FieldControl::Text: {
        auto* edit = new QPlainTextEdit(parent);
        edit->setMinimumHeight(edit->fontMetrics().lineSpacing() * 2 +
                               12); // two lines at least, then the rest of the page
        // Tab moves on, so the keyboard can leave the box; a tab can still be pasted.
        edit->setTabChangesFocus(true);
        w = edit;
        break;
    }
    case FieldControl::Line:
    case FieldControl::UrlList: w = new QLineEdit(parent); break;
    }
    w->setObjectName(QLatin1String(def.control));
    return w;
}

QWidget* frmMain::buildFieldPage(EditorPage pageOf)
{
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setVerticalSpacing(3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(4, 1);
    // The URL list editors take a whole row each at the top; the other one-line fields
    // follow in two columns side by side.
    std::vector<std::size_t> onPage;
    int wide = 0;
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        const FieldSpec& s = *fields_[i].def;
        if (s.page != pageOf || s.kind == FieldControl::Text)
            continue;
        onPage.push_back(i);
        wide += s.kind == FieldControl::UrlList ? 1 : 0;
    }
    const int count = static_cast<int>(onPage.size());
    const int perColumn = (count - wide + 1) / 2;
    int placedWide = 0, placed = 0;
    for (std::size_t i : onPage) {
        EditorField& f = fields_[i];
        const bool fullRow = f.def->kind == FieldControl::UrlList;
        const int slot = fullRow ? 0 : placed++;
        const int row = fullRow ? placedWide++ : wide + slot % perColumn;
        const int col = fullRow || slot < perColumn ? 0 : 3;
        const QString caption = QString::fromLatin1(f.def->caption);
        if (*f.def->box) {
            f.box = new QCheckBox(caption, page);
            f.box->setObjectName(QLatin1String(f.def->box));
            grid->addWidget(f.box, row, col);
        } else {
            grid->addWidget(new QLabel(caption, page), row, col, Qt::AlignRight);
        }
        f.control = makeFieldControl(*f.def, page);
        QWidget* cell = f.control;
        if (fullRow)
            cell = buildUrlEditorRow(page, static_cast<QLineEdit*>(f.control), f.def->rule == ApplyRule::ArtistUrls);
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
    QWidget* mainFields = buildFieldPage(EditorPage::Basic);
    chkAutTrack = new QCheckBox(QStringLiteral("Auto Number"), mainFields);
    chkAutTrack->setObjectName(QStringLiteral("chkAutTrack"));
    static_cast<QGridLayout*>(mainFields->layout())->addWidget(chkAutTrack, 3, 5);
    basicLayout->addWidget(mainFields);
    auto* texts = new QHBoxLayout;
    texts->setContentsMargins(6, 0, 6, 6);
    for (EditorField& f : fields_) {
        if (f.def->page != EditorPage::Basic || f.def->kind != FieldControl::Text)
            continue;
        auto* col = new QVBoxLayout;
        f.box = new QCheckBox(QString::fromLatin1(f.def->caption), basic);
        f.box->setObjectName(QLatin1String(f.def->box));
        f.control = makeFieldControl(*f.def, basic);
        col->addWidget(f.box);
        col->addWidget(f.control, 1);
        texts->addLayout(col, 1);
    }
    basicLayout->addLayout(texts, 1);
    TabStrip1->addTab(basic, QStringLiteral("Basic"));

    auto* advancedScroll = new QScrollArea;
    advancedScroll->setObjectName(QStringLiteral("VScroll1"));
    advancedScroll->setWidgetResizable(true);
    advancedScroll->setFrameShape(QFrame::NoFrame);
    advancedScroll->setFocusPolicy(Qt::NoFocus); // Tab goes straight to the fields
    auto* advanced = new QWidget;
    auto* advancedLayout = new QVBoxLayout(advanced);
    advancedLayout->setContentsMargins(0, 0, 0, 0);
    advancedLayout->addWidget(buildFieldPage(EditorPage::Advanced));
    advancedLayout->addWidget(buildAudioLabels());
    advancedScroll->setWidget(advanced);
    TabStrip1->addTab(advancedScroll, QStringLiteral("Advanced"));

    TabStrip1->addTab(buildAlbumArtPage(), QStringLiteral("Album Art"));
    TabStrip1->addTab(buildFilenamePage(), QStringLiteral("Filename"));

    auto* urlScroll = new QScrollArea;
    urlScroll->setWidgetResizable(true);
    urlScroll->setFrameShape(QFrame::NoFrame);
    urlScroll->setFocusPolicy(Qt::NoFocus);
    urlScroll->setWidget(buildFieldPage(EditorPage::Urls));
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
    auto* blurb = new QLabel(
        QStringLiteral("An editor for the tags of MP3 files: ID3v2 (2.2, 2.3, 2.4), ID3v1 and Lyrics3.\n"
                       "Choose a folder, select files in the list, edit the fields and press Apply Tags.\n"
                       "Press F1 or the Help link for the full guide."),
        about);
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

QWidget* frmMain::buildUrlEditorRow(QWidget* page, QLineEdit* edit, bool artist)
{
    auto* row = new QWidget(page);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(2);
    h->addWidget(edit, 1);
    const QString f = artist ? QStringLiteral("ArtistURL") : QStringLiteral("CommercialInfo");
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
    nameForScreenReaders(prev, f + QStringLiteral(": previous"));
    nameForScreenReaders(next, f + QStringLiteral(": next or add"));
    nameForScreenReaders(del, f + QStringLiteral(": delete"));
    for (QWidget* w : std::initializer_list<QWidget*>{prev, counter, next, del})
        h->addWidget(w);
    auto editor = std::make_unique<MultiValueEditor>(
        MultiValueEditor::Kind::Url, artist ? QStringLiteral("Artist URL") : QStringLiteral("Commercial Info URL"),
        counter, prev, next, del);
    editor->setUrlBox(edit);
    MultiValueEditor* e = editor.get();
    connect(prev, &QAbstractButton::clicked, this, [e] { e->StepBack(); });
    connect(next, &QAbstractButton::clicked, this, [e] { e->StepForward(); });
    connect(del, &QAbstractButton::clicked, this, [this, e] {
        e->DeleteCurrentValue();
        fieldEdited(*fieldOfRule(e == artistUrlEditor_.get() ? ApplyRule::ArtistUrls : ApplyRule::CommercialUrls));
    });
    (artist ? artistUrlEditor_ : commercialEditor_) = std::move(editor);
    return row;
}

QWidget* frmMain::buildAlbumArtPage()
{
    auto* page = new QWidget;
    auto* h = new QHBoxLayout(page);
    h->setContentsMargins(6, 6, 6, 6);

    picArt = new ArtView(page);
    picArt->setObjectName(QStringLiteral("picArt"));
    picArt->setMinimumSize(120, 120);
    picArt->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto* artLayout = new QVBoxLayout(picArt);
    lblBrowse = new QLabel(QStringLiteral("Click here to browse..."), picArt);
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
    nameForScreenReaders(prevArt, QStringLiteral("Previous picture"));
    nameForScreenReaders(nextArt, QStringLiteral("Next picture or add one"));
    nameForScreenReaders(delArt, QStringLiteral("Delete picture"));
    nav->addWidget(prevArt);
    nav->addWidget(countArt);
    nav->addWidget(nextArt);
    nav->addSpacing(12);
    nav->addWidget(delArt);
    nav->addStretch(1);
    side->addLayout(nav);

    auto* types = new QGridLayout;
    cmbImageType = new QComboBox(page);
    cmbImageType->setObjectName(QStringLiteral("cmbImageType"));
    cmbImageType->addItems(
        {QStringLiteral("BMP"), QStringLiteral("GIF"), QStringLiteral("JPEG"), QStringLiteral("PNG")});
    cmbPictureType = new QComboBox(page);
    cmbPictureType->setObjectName(QStringLiteral("cmbPictureType"));
    cmbPictureType->addItems(PictureTypeEntries());
    auto* lblImageType = new QLabel(QStringLiteral("Image type:"), page);
    lblImageType->setObjectName(QStringLiteral("lblImageType"));
    auto* lblPictureType = new QLabel(QStringLiteral("Picture type:"), page);
    lblPictureType->setObjectName(QStringLiteral("lblPictureType"));
    // A label's buddy is what a screen reader names a drop-down list after on Linux.
    lblImageType->setBuddy(cmbImageType);
    lblPictureType->setBuddy(cmbPictureType);
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
    connect(cmbPictureType, &QComboBox::activated, this, [this](int index) {
        artEditor_->SetCurrentPictureType(index);
        markArtChanged();
    });
    connect(cmbImageType, &QComboBox::activated, this, [this](int index) {
        artEditor_->SetCurrentImageType(index);
        markArtChanged();
    });
    connect(prevArt, &QAbstractButton::clicked, this, [this] { artEditor_->StepBack(); });
    connect(nextArt, &QAbstractButton::clicked, this, [this] { artEditor_->StepForward(); });
    connect(delArt, &QAbstractButton::clicked, this, [this] {
        const int before = artEditor_->Count();
        artEditor_->DeleteCurrentValue();
        if (artEditor_->Count() != before)
            markArtChanged();
    });
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
    QPushButton** targets[] = {&tools_.renFile, &tools_.renTitle,      &tools_.editFilename,
                               &tools_.clean,   &tools_.removeNumbers, &tools_.autoNumber};
    int i = 0;
    for (const auto& t : tools) {
        auto* b = new QPushButton(QString::fromLatin1(t[1]), content);
        *targets[i] = b;
        b->setObjectName(QLatin1String(t[0]));
        auto* d = new QLabel(QString::fromLatin1(t[2]), content);
        d->setObjectName(QStringLiteral("lbl") + QLatin1String(t[0]));
        d->setWordWrap(true);
        const int row = i % 3, col = (i / 3) * 2;
        grid->addWidget(b, row, col);
        grid->addWidget(d, row, col + 1);
        ++i;
    }
    tools_.editFilename->setToolTip(QStringLiteral("Edit the name of the current file (F2)"));
    // Names from tags and tags from names by a pattern, each with a preview first.
    struct PatternTool {
        QPushButton** target;
        const char* name;
        const char* caption;
        const char* description;
    };
    const PatternTool patternTools[] = {
        {&cmdRenPattern, "cmdRenPattern", "Rename From &Pattern...",
         "Name the selected files after their tags by a pattern"},
        {&cmdTagsPattern, "cmdTagsPattern", "Ta&gs From Pattern...",
         "Read tags out of the selected files' names by a pattern"},
    };
    for (const PatternTool& t : patternTools) {
        auto* b = new QPushButton(QString::fromLatin1(t.caption), content);
        *t.target = b;
        b->setObjectName(QLatin1String(t.name));
        auto* d = new QLabel(QString::fromLatin1(t.description), content);
        d->setObjectName(QStringLiteral("lbl") + QLatin1String(t.name));
        d->setWordWrap(true);
        const int col = t.target == &cmdRenPattern ? 0 : 2;
        grid->addWidget(b, 3, col);
        grid->addWidget(d, 3, col + 1);
    }
    connect(cmdRenPattern, &QPushButton::clicked, this, &frmMain::cmdRenPattern_Click);
    connect(cmdTagsPattern, &QPushButton::clicked, this, &frmMain::cmdTagsPattern_Click);
    grid->setRowStretch(4, 1);
    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidget(content);
    return scroll;
}

QWidget* frmMain::buildAudioLabels()
{
    static const char* const labels[][2] = {
        {"jblMPGv", "Version: "},
        {"jblChannel", "Channel Mode: "},
        {"jblBitrate", "Bit Rate: "},
        {"jblType", "Type: "},
        {"jblSamplingRate", "Sampling Rate: "},
        {"jblFrameSamp", "Frame Samples: "},
        {"jblFrameSz", "Frame Size: "},
        {"jblGenre", "Genre: "},
        {"jblGenreID", "Genre ID: "},
        {"jblSize", "File Size: "},
        {"jblPath", "File Path: "},
    };
    auto* box = new QGroupBox(QStringLiteral("Audio Information"));
    box->setObjectName(QStringLiteral("fraAudio"));
    auto* grid = new QGridLayout(box);
    grid->setVerticalSpacing(2);
    QLabel** targets[] = {&audio_.version,      &audio_.channel,      &audio_.bitrate,   &audio_.type,
                          &audio_.samplingRate, &audio_.frameSamples, &audio_.frameSize, &audio_.genre,
                          &audio_.genreId,      &audio_.size,         &audio_.path};
    int i = 0;
    for (const auto& l : labels) {
        auto* label = new QLabel(QString::fromLatin1(l[1]), box);
        *targets[i] = label;
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

} // namespace brindle
