#pragma once
// What the window's source files share: the messages several commands show, reading
// and writing a field's text whatever kind of box holds it, and the image codecs.

#include <QString>

class QWidget;

namespace brindle {

class GDIPlusCandy;

inline const QString kNoFolderMessage = QStringLiteral("Please select a Music Folder     ");
inline const QString kNoFilesMessage = QStringLiteral("Please select files to process     ");

// Line edits, multi-line boxes and editable combo boxes alike; "" for anything else.
QString controlText(const QWidget* w);
void setControlText(QWidget* w, const QString& text);

const GDIPlusCandy& ImageCodecs();

} // namespace brindle
