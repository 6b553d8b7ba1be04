#include "ApplyBatch.h"

#include "WindowShared.h"

#include "platform/FileOps.h"
#include "tag/clsID3.h"
#include "tools/FileNameRules.h"

#include <exception>
#include <memory>

namespace brindle {

namespace {
std::u16string toU16(const QString& s)
{
    return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()), static_cast<std::size_t>(s.size()));
}
} // namespace

ApplyBatch::ApplyBatch(FileOps& files, BatchValues values) : files_(files), values_(std::move(values)) {}

QStringList ApplyBatch::run(const std::vector<BatchFile>& list, const BatchControl& control)
{
    QStringList failures;
    done_ = 0;
    RunInOrder<QStringList>(
        list.size(), jobs == 0 ? DefaultJobs() : jobs,
        [this, &list] {
            // One tag object serves each thread's files.
            return [this, &list, tag = std::make_shared<clsID3>()](std::size_t i) {
                try {
                    return writeOne(*tag, list[i], static_cast<int>(i) + 1);
                } catch (const std::exception& e) {
                    return QStringList{failureLine(list[i].shown, QString::fromLocal8Bit(e.what()))};
                }
            };
        },
        [&](std::size_t, const QStringList& lines) {
            failures << lines;
            control.finished(++done_);
        },
        control.stop);
    return failures;
}

QStringList ApplyBatch::writeOne(clsID3& tag, const BatchFile& file, int number) const
{
    QStringList failures;
    // A read-only file is made writable for the save and gets its mode back after.
    // Where that fails the write fails too, and says why.
    const std::optional<unsigned> oldMode = files_.makeWritableAt(file.path);
    tag.SetFileName(file.path.toStdString());
    // A file that cannot be read is not written: its own values would be lost.
    const Status read = tag.ReadStatus();

    for (const auto& [f, text] : values_.fields) {
        switch (f->rule) {
        case ApplyRule::Text: tag.*(f->property) = text; break;
        case ApplyRule::Genre:
            tag.Genre = text;
            tag.GenreID = clsID3::ToGenreID(tag.Genre);
            break;
        case ApplyRule::Track:
            if (values_.trackByText)
                tag.TrackNumber = text;
            break;
        case ApplyRule::CommercialUrls:
        case ApplyRule::ArtistUrls: {
            const bool commercial = f->rule == ApplyRule::CommercialUrls;
            MultiFrameData& urls = commercial ? *tag.CommercialInfo : *tag.ArtistURL;
            urls.Clear();
            for (const QString& url : commercial ? values_.commercialUrls : values_.artistUrls)
                urls.Add(url.toUtf8().toStdString());
            break;
        }
        case ApplyRule::Disc:
            tag.DiscNumber = text;
            tag.DiscsTotal = values_.discsTotal;
            break;
        case ApplyRule::None: break;
        }
    }
    if (values_.titleFromFileName)
        tag.Title = toU16(TitleFromFileName(file.shown));
    if (values_.autoNumber)
        tag.TrackNumber = toU16(QStringLiteral("%1").arg(number, 2, 10, QLatin1Char('0')));
    if (values_.pictures)
        tag.AttachedPictures = values_.pictures(tag.ID3RevisionV2());
    if (values_.perFile)
        values_.perFile(tag, file);

    if (!read)
        failures << failureLine(file.shown, read.reason());
    else if (!tag.UpdateID3Tags())
        failures << failureLine(file.shown, tag.LastError());
    if (oldMode) {
        if (const Status put = files_.setModeAt(file.path, *oldMode); !put && read)
            failures << failureLine(file.shown, QString::fromStdString(put.reason()));
    }
    return failures;
}

} // namespace brindle
