#pragma once
// Readable failure messages for Qt values in GoogleTest assertions.
#include <QString>
#include <QStringList>
#include <QUrl>
#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& l, std::ostream* os) { *os << '[' << l.join("|").toStdString() << ']'; }
inline void PrintTo(const QUrl& u, std::ostream* os) { *os << u.toString().toStdString(); }
