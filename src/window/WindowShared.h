#pragma once
// What the window's source files share: the messages several commands show, reading
// and writing a field's text whatever kind of box holds it, and the image codecs.

#include "tag/RowCompare.h"

#include <QString>
#include <QStringList>

#include <string>

class QLocale;

class QWidget;

namespace brindle {

class GDIPlusCandy;

inline const QString kNoFolderMessage = QStringLiteral("Please select a Music Folder     ");
inline const QString kNoFilesMessage = QStringLiteral("Please select files to process     ");

// Line edits, multi-line boxes and editable combo boxes alike; "" for anything else.
QString controlText(const QWidget* w);
void setControlText(QWidget* w, const QString& text);

const GDIPlusCandy& ImageCodecs();

// Names a control for screen readers, with an optional description.
void nameForScreenReaders(QWidget* w, const QString& name, const QString& description = {});
// A caption as spoken: without its accelerator mark and closing colon.
QString spokenCaption(const char* caption);
// The one form of a line about a file that failed: "NAME: REASON". The reason comes
// from the engine or the tools, which never name the file themselves.
inline QString failureLine(const QString& name, const QString& reason) { return name + QStringLiteral(": ") + reason; }
inline QString failureLine(const QString& name, const std::string& reason)
{
    return failureLine(name, QString::fromStdString(reason));
}
// "This file could not be <done>:" or "These N files ...", then one line per file.
QString failureNotice(const QStringList& failures, const char* done);

// How the list compares numbers and dates in the user's locale.
SortLocale SortLocaleOf(const QLocale& locale);

} // namespace brindle

namespace brindle {

// The window's design client area and its smallest size.
constexpr int kDesignWidthTwips = 9960;
constexpr int kDesignHeightTwips = 9150;
constexpr int kMinWidthPixels = 568;
constexpr int kMinHeightPixels = 445;
constexpr double kMinColumnTwips = 200;

} // namespace brindle
