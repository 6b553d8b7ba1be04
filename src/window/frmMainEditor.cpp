// The editor of the main window. It belongs to one file, the one it loaded: loading
// fills every field whose box is not ticked, hand edits tick their box, and the tabs
// show which pages hold ticked fields.
#include "frmMain.h"

#include "WindowShared.h"

#include "platform/FileOps.h"
#include "platform/Platform.h"
#include "tag/FolderScan.h"
#include "tag/clsID3.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>

#include <cmath>

namespace brindle {

void frmMain::clearEditorFields()
{
    loadingEditor_ = true; // emptied by the window, not typed: no box is ticked
    for (const EditorField& f : fields_)
        setControlText(f.control, QString());
    loadingEditor_ = false;
}

void frmMain::resetMultiValueEditors()
{
    loadingEditor_ = true;
    if (!fieldOfRule(ApplyRule::ArtistUrls)->box->isChecked())
        artistUrlEditor_->LoadMultiValueEditor(nullptr, currentTagRevision_);
    if (!fieldOfRule(ApplyRule::CommercialUrls)->box->isChecked())
        commercialEditor_->LoadMultiValueEditor(nullptr, currentTagRevision_);
    if (!artChanged_)
        artEditor_->LoadMultiValueEditor(nullptr, currentTagRevision_);
    loadingEditor_ = false;
}

void frmMain::SetEditorEnabled(bool enabled)
{
    const QPalette base = QApplication::palette();
    const QColor back = enabled ? base.color(QPalette::Active, QPalette::Base)
                                : base.color(QPalette::Active, QPalette::Button);
    for (const EditorField& f : fields_) {
        QWidget* w = f.control;
        if (w->isEnabled() == enabled)
            continue;
        w->setEnabled(enabled);
        QPalette p = w->palette();
        p.setColor(QPalette::Active, QPalette::Base, back);
        p.setColor(QPalette::Inactive, QPalette::Base, back);
        p.setColor(QPalette::Disabled, QPalette::Base, back);
        w->setPalette(p);
    }
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

void frmMain::LoadSelectedFile()
{
    if (listIsEmptyAskFolder())
        return;
    const int row = currentRow();
    if (row < 0)
        return;
    const QByteArray path = rowPath(row);
    if (!platform_.files->existsAt(path)) {
        refreshRowOf(path, nullptr);
        return;
    }
    clsID3 tag;
    tag.SetFileName(path.toStdString());
    loadEditor(path, tag);
    refreshRowOf(path, &tag);
}

void frmMain::loadEditor(const QByteArray& path, const clsID3& tag)
{
    loadingEditor_ = true;
    currentTagRevision_ = tag.ID3RevisionV2();
    const QCheckBox* discBox = fieldOfRule(ApplyRule::Disc)->box;
    for (const EditorField& f : fields_) {
        // A ticked field holds what the user means to write: it keeps its text.
        const QCheckBox* box = f.def->rule == ApplyRule::None ? discBox : f.box;
        if (box && box->isChecked())
            continue;
        if (f.def->rule == ApplyRule::ArtistUrls)
            artistUrlEditor_->LoadMultiValueEditor(tag.ArtistURL, currentTagRevision_);
        else if (f.def->rule == ApplyRule::CommercialUrls)
            commercialEditor_->LoadMultiValueEditor(tag.CommercialInfo, currentTagRevision_);
        else if (f.def->rule == ApplyRule::Genre)
            setControlText(f.control, FileListModel::toQString(FormatGenre(tag))); // as the list shows it
        else
            setControlText(f.control, FileListModel::toQString(tag.*(f.def->property)));
    }
    // Pictures the user added, removed or re-typed stay until they are applied.
    if (!artChanged_)
        artEditor_->LoadMultiValueEditor(tag.AttachedPictures, currentTagRevision_);
    setAudioLabels(tag, path);
    editorPath_ = path;
    loadingEditor_ = false;
}

void frmMain::fieldEdited(const EditorField& f)
{
    if (loadingEditor_)
        return;
    setCheck(f.def->rule == ApplyRule::None ? fieldOfRule(ApplyRule::Disc)->box : f.box, true);
}

void frmMain::markArtChanged()
{
    if (loadingEditor_)
        return;
    artChanged_ = true;
    updateTabMarks();
}

// A page that holds ticked fields (or changed album art) says so on its tab, so a
// tick left from an earlier edit is seen before it writes again.
void frmMain::updateTabMarks()
{
    static const char* const captions[] = {"Basic",     "Advanced", "Album Art", "Filename", "Additional Tag Info",
                                           "Help/About"};
    bool marked[std::size(captions)] = {};
    for (const EditorField& f : fields_)
        if (f.box && f.box->isChecked())
            marked[static_cast<int>(f.def->page)] = true;
    if (chkAutTrack && chkAutTrack->isChecked())
        marked[static_cast<int>(EditorPage::Basic)] = true;
    marked[static_cast<int>(EditorPage::AlbumArt)] = artChanged_;
    for (int i = 0; i < TabStrip1->count() && i < static_cast<int>(std::size(captions)); ++i)
        TabStrip1->setTabText(i, QLatin1String(captions[i]) + (marked[i] ? QStringLiteral(" \u25CF") : QString()));
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

void frmMain::setAudioLabels(const clsID3& tag, const QByteArray& path)
{
    audio_.frameSamples->setText(QStringLiteral("Frame Samples: %1").arg(tag.FrameSamples()));
    const double frameSize = std::nearbyint(tag.FrameSize());
    audio_.frameSize->setText(QStringLiteral("Frame Size: ") +
                              (frameSize == 0 ? QString() : QString::number(frameSize, 'f', 0)));
    audio_.samplingRate->setText(QStringLiteral("Sampling Rate: %1").arg(tag.SamplingRateFrequency()));
    audio_.bitrate->setText(BitRateLabel(tag.BitRate()));
    audio_.path->setText(QStringLiteral("File Path: ") + QFile::decodeName(path));
    audio_.genre->setText(QStringLiteral("Genre: ") + FileListModel::toQString(tag.Genre));
    audio_.genreId->setText(QStringLiteral("Genre ID: %1").arg(tag.GenreID));
    if (tag.Encoding() == 0)
        audio_.type->setText(QStringLiteral("Type: Constant Bit Rate"));
    else if (tag.Encoding() == 1)
        audio_.type->setText(QStringLiteral("Type: Variable Bit Rate"));
    QLabel* version = audio_.version;
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
        audio_.channel->setText(QStringLiteral("Channel Mode: ") + QLatin1String(modes[tag.ChannelMode()]));
    const std::optional<std::int64_t> length = platform_.files->lengthAt(path);
    audio_.size->setText(QStringLiteral("File Size: ") +
                         (length ? FormatFileSize(static_cast<double>(*length)) : QString()));
}

} // namespace brindle
