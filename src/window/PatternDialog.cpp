// The pattern dialog, and the window's two commands that open it: names made from tags
// and tags read from names, each shown for every selected file before anything changes.
#include "PatternDialog.h"

#include "ApplyBatch.h"
#include "WindowShared.h"
#include "frmMain.h"

#include "controls/XP_ProgressBar.h"
#include "platform/Desktop.h"
#include "platform/FileOps.h"
#include "tag/Properties.h"
#include "tag/TextCodec.h"
#include "tag/clsID3.h"
#include "tools/NamePattern.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <map>
#include <memory>

namespace brindle {

namespace {
constexpr int kRecentPatterns = 10;
const QString kSection = QStringLiteral("Patterns");
const QString kReplacementKey = QStringLiteral("Replacement");

QString historyKey(PatternDialog::Mode mode, int n)
{
    return (mode == PatternDialog::Mode::Rename ? QStringLiteral("Rename%1") : QStringLiteral("Tags%1")).arg(n);
}
} // namespace

QString PatternDialog::placeholderHelp()
{
    return QStringLiteral("Placeholders: %title%, %artist%, %album%, %year%, %track%, %tracks%, %disc%, %discs%, "
                          "%genre%, %comment%, %filename%, and every other tag field by its name "
                          "(%composer%, %originalartist%, ...); %% is a \"%\".");
}

PatternDialog::PatternDialog(Mode mode, const QStringList& recentPatterns, const QString& replacement,
                             PreviewFunction preview, QWidget* parent)
    : QDialog(parent), mode_(mode), preview_(std::move(preview))
{
    setObjectName(QStringLiteral("PatternDialog"));
    setWindowTitle(mode == Mode::Rename ? QStringLiteral("Rename From Pattern") : QStringLiteral("Tags From Pattern"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    cmbPattern = new QComboBox(this);
    cmbPattern->setObjectName(QStringLiteral("cmbPattern"));
    cmbPattern->setEditable(true);
    cmbPattern->setInsertPolicy(QComboBox::NoInsert);
    cmbPattern->setMinimumContentsLength(40);
    cmbPattern->addItems(recentPatterns);
    if (recentPatterns.isEmpty())
        cmbPattern->setEditText(QStringLiteral("%track% - %artist% - %title%"));
    form->addRow(QStringLiteral("&Pattern:"), cmbPattern);
    if (mode == Mode::Rename) {
        txtReplacement = new QLineEdit(replacement, this);
        txtReplacement->setObjectName(QStringLiteral("txtReplacement"));
        txtReplacement->setMaxLength(8);
        txtReplacement->setToolTip(QStringLiteral("Takes the place of \"/\" and control characters in the new names"));
        form->addRow(QStringLiteral("&Replace \"/\" with:"), txtReplacement);
    }
    layout->addLayout(form);
    auto* help = new QLabel(placeholderHelp(), this);
    help->setWordWrap(true);
    help->setObjectName(QStringLiteral("lblPlaceholders"));
    layout->addWidget(help);
    lblProblem = new QLabel(this);
    lblProblem->setObjectName(QStringLiteral("lblPatternProblem"));
    lblProblem->setStyleSheet(QStringLiteral("color: #b00000"));
    lblProblem->setWordWrap(true);
    layout->addWidget(lblProblem);
    tblPreview = new QTableWidget(this);
    tblPreview->setObjectName(QStringLiteral("tblPreview"));
    tblPreview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblPreview->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblPreview->verticalHeader()->hide();
    tblPreview->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(tblPreview, 1);
    lblSummary = new QLabel(this);
    lblSummary->setObjectName(QStringLiteral("lblPreviewSummary"));
    layout->addWidget(lblSummary);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setObjectName(QStringLiteral("cmdPatternOK"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        refresh(); // OK carries out what the preview shows for the pattern as typed
        if (ok_->isEnabled())
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    typing_ = new QTimer(this);
    typing_->setSingleShot(true);
    typing_->setInterval(250);
    connect(typing_, &QTimer::timeout, this, &PatternDialog::refresh);
    connect(cmbPattern, &QComboBox::editTextChanged, typing_, qOverload<>(&QTimer::start));
    if (txtReplacement)
        connect(txtReplacement, &QLineEdit::textChanged, typing_, qOverload<>(&QTimer::start));
    resize(760, 460);
    refresh();
}

QString PatternDialog::pattern() const { return cmbPattern->currentText(); }
QString PatternDialog::replacement() const { return txtReplacement ? txtReplacement->text() : QString(); }

void PatternDialog::refresh()
{
    typing_->stop();
    const Preview p = preview_(pattern(), replacement());
    lblProblem->setText(p.problem);
    lblProblem->setVisible(!p.problem.isEmpty());
    tblPreview->clear();
    QStringList headers = p.headers;
    headers << QStringLiteral("Note");
    tblPreview->setColumnCount(static_cast<int>(headers.size()));
    tblPreview->setHorizontalHeaderLabels(headers);
    tblPreview->setRowCount(static_cast<int>(p.rows.size()));
    int leftAlone = 0;
    for (int r = 0; r < p.rows.size(); ++r) {
        const Row& row = p.rows[r];
        QStringList cells = row.cells;
        cells << row.note;
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setToolTip(cells[c]);
            if (row.mark == Row::Mark::LeftAlone)
                item->setForeground(QColor(0xb0, 0, 0));
            else if (row.mark == Row::Mark::Same)
                item->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
            item->setData(Qt::UserRole, static_cast<int>(row.mark));
            tblPreview->setItem(r, c, item);
        }
        leftAlone += row.mark == Row::Mark::LeftAlone ? 1 : 0;
    }
    tblPreview->resizeColumnsToContents();
    const QString what = mode_ == Mode::Rename ? QStringLiteral("renamed") : QStringLiteral("written");
    QString summary = p.changes == 1 ? QStringLiteral("1 file will be %1").arg(what)
                                     : QStringLiteral("%1 files will be %2").arg(p.changes).arg(what);
    if (leftAlone > 0)
        summary += QStringLiteral("; %1 left alone (marked red, with the reason)").arg(leftAlone);
    lblSummary->setText(p.problem.isEmpty() ? summary + QLatin1Char('.') : QString());
    ok_->setEnabled(p.problem.isEmpty() && p.changes > 0);
}

// ---------------------------------------------------------------- the window's commands

namespace {

struct SourceFile {
    int row;
    QByteArray name;             // bytes
    QString folder;              // name text, relative
    std::unique_ptr<clsID3> tag; // text properties only
    Status read;                 // of the file's tag
};

QStringList recentPatterns(const SettingsStore& s, PatternDialog::Mode mode)
{
    QStringList out;
    for (int i = 1; i <= kRecentPatterns; ++i)
        if (const auto v = s.value(kSection, historyKey(mode, i)); v && !v->isEmpty())
            out << *v;
    return out;
}

void rememberPattern(SettingsStore& s, PatternDialog::Mode mode, const QString& pattern)
{
    QStringList list = recentPatterns(s, mode);
    list.removeAll(pattern);
    list.prepend(pattern);
    for (int i = 1; i <= kRecentPatterns && i <= list.size(); ++i)
        s.setValue(kSection, historyKey(mode, i), list[i - 1]);
}

QString text(const std::u16string& s) { return FileListModel::toQString(s); }

} // namespace

void frmMain::cmdRenPattern_Click() { runPatternCommand(true); }
void frmMain::cmdTagsPattern_Click() { runPatternCommand(false); }

void frmMain::runPatternCommand(bool rename)
{
    const QList<int> rows = selectionToWorkOn(kNoFilesMessage);
    if (rows.isEmpty())
        return;
    // Each file is read once; the preview then follows the typing.
    showBusyCursor();
    std::vector<SourceFile> files;
    files.reserve(static_cast<std::size_t>(rows.size()));
    {
        clsID3 tag;
        for (int r : rows) {
            SourceFile f{r, model_->name(r), toolFolder(r), std::make_unique<clsID3>(), {}};
            tag.SetFileName(rowPath(r).toStdString());
            f.read = tag.ReadStatus();
            for (const TextProperty& p : TextProperties())
                f.tag.get()->*(p.member) = tag.*(p.member);
            files.push_back(std::move(f));
        }
    }
    restoreNormalCursor();
    const bool folders = subfolders_;
    auto shownName = [](const QByteArray& bytes) { return DisplayName(bytes.toStdString()); };
    QList<PlannedRename> plan;                              // of the last preview, for renames
    std::map<QByteArray, std::vector<PatternValue>> values; // path -> values, for tags
    QList<int> changedRows;

    auto previewRename = [&](const QString& patternText, const QString& replacement) {
        PatternDialog::Preview p;
        if (folders)
            p.headers << QStringLiteral("Folder");
        p.headers << QStringLiteral("Old name") << QStringLiteral("New name");
        plan.clear();
        std::string error;
        const auto pattern = NamePattern::Parse(patternText.toStdString(), error);
        if (!pattern) {
            p.problem = QString::fromStdString(error);
            return p;
        }
        if (const std::string problem = ReplacementProblem(replacement.toStdString()); !problem.empty()) {
            p.problem = QString::fromStdString(problem);
            return p;
        }
        QStringList notes;
        for (const SourceFile& f : files) {
            PlannedRename one{NameText(f.name.toStdString()), {}, f.folder};
            QString note;
            if (!f.read)
                note = QString::fromStdString(f.read.reason()) + QStringLiteral("; it keeps its name");
            else if (const std::string name = pattern->NameFor(*f.tag, f.name.toStdString(), replacement.toStdString());
                     name.empty())
                note = QStringLiteral("every field of the pattern is empty; the file keeps its name");
            else
                one.newName = NameText(name);
            plan.append(one);
            notes << note;
        }
        const QList<RenameResult> results = PreviewRenameInFolders(CurrentFolder(), plan);
        for (qsizetype i = 0; i < results.size(); ++i) {
            const RenameResult& r = results[i];
            PatternDialog::Row row;
            if (folders)
                row.cells << DisplayText(plan[i].folder);
            row.cells << DisplayText(r.oldName) << DisplayText(plan[i].newName);
            if (!notes[i].isEmpty()) {
                row.mark = PatternDialog::Row::Mark::LeftAlone;
                row.note = notes[i];
            } else if (r.outcome == RenameOutcome::Renamed) {
                ++p.changes;
            } else if (r.failed()) {
                row.mark = PatternDialog::Row::Mark::LeftAlone;
                row.note = r.reason;
            } else {
                row.mark = PatternDialog::Row::Mark::Same;
                row.note = QStringLiteral("the name stays");
            }
            p.rows.append(row);
        }
        return p;
    };

    auto previewTags = [&](const QString& patternText, const QString&) {
        PatternDialog::Preview p;
        if (folders)
            p.headers << QStringLiteral("Folder");
        p.headers << QStringLiteral("File") << QStringLiteral("Field") << QStringLiteral("Old value")
                  << QStringLiteral("New value");
        values.clear();
        changedRows.clear();
        std::string error;
        const auto pattern = NamePattern::Parse(patternText.toStdString(), error);
        if (!pattern || !(error = pattern->ReadingProblem()).empty()) {
            p.problem = QString::fromStdString(error);
            return p;
        }
        for (const SourceFile& f : files) {
            QStringList lead;
            if (folders)
                lead << DisplayText(f.folder);
            lead << shownName(f.name);
            auto leftAlone = [&](const QString& why) {
                p.rows.append(
                    {lead + QStringList{QString(), QString(), QString()}, PatternDialog::Row::Mark::LeftAlone, why});
            };
            const std::string name = f.name.toStdString();
            // Tag text is Unicode: bytes that are not UTF-8 would reach the tag as U+FFFD.
            if (ToUtf8(FromUtf8(name)) != name) {
                leftAlone(QStringLiteral("the name is not valid UTF-8; the file is left alone"));
                continue;
            }
            if (!f.read) {
                leftAlone(QString::fromStdString(f.read.reason()) + QStringLiteral("; it is left alone"));
                continue;
            }
            const auto found = pattern->ValuesFromName(name);
            if (!found) {
                leftAlone(QStringLiteral("the name does not match the pattern; the file is left alone"));
                continue;
            }
            bool changes = false;
            for (const PatternValue& v : *found) {
                const std::u16string& old = f.tag.get()->*(v.property->member);
                const bool same = old == v.value;
                changes = changes || !same;
                p.rows.append({lead + QStringList{QString::fromLatin1(v.property->name.data(),
                                                                      static_cast<qsizetype>(v.property->name.size())),
                                                  text(old), text(v.value)},
                               same ? PatternDialog::Row::Mark::Same : PatternDialog::Row::Mark::Change,
                               same ? QStringLiteral("the value stays") : QString()});
            }
            if (changes) {
                ++p.changes;
                values[rowPath(f.row)] = *found;
                changedRows << f.row;
            }
        }
        return p;
    };

    const PatternDialog::Mode mode = rename ? PatternDialog::Mode::Rename : PatternDialog::Mode::Tags;
    SettingsStore& settings = *platform_.settings;
    const QString replacement = settings.value(kSection, kReplacementKey).value_or(QStringLiteral("-"));
    PatternDialog::PreviewFunction preview;
    if (rename)
        preview = previewRename;
    else
        preview = previewTags;
    PatternDialog dialog(mode, recentPatterns(settings, mode), replacement, preview, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    rememberPattern(settings, mode, dialog.pattern());
    if (rename) {
        settings.setValue(kSection, kReplacementKey, dialog.replacement());
        renameAndRescan(plan, false);
        return;
    }
    BatchValues batch;
    batch.perFile = [values](clsID3& tag, const BatchFile& file) {
        const auto it = values.find(file.path);
        if (it == values.end())
            return;
        for (const PatternValue& v : it->second) {
            tag.*(v.property->member) = v.value;
            // The genre number follows the text, as when the window applies a genre.
            if (v.property->member == &clsID3::Genre)
                tag.GenreID = clsID3::ToGenreID(tag.Genre);
        }
    };
    runBatch(std::move(batch), changedRows, false);
    XP_ProgressBarOlive->hide();
    XP_ProgressBarOlive->setValue(0);
    lblTotal->show();
    ScanFolder(CurrentFolder());
    reportWriteFailures();
}

} // namespace brindle
