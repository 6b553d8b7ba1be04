#include "FileNameRules.h"

#include <QFile>

namespace brindle {

namespace {

const QString kMp3 = QStringLiteral(".mp3");

// Replaces non-overlapping occurrences from left to right in one pass; `limit` < 0
// replaces all of them.
QString replaceCaseless(const QString& text, const QString& what, const QString& with, int limit = -1)
{
    if (what.isEmpty())
        return text;
    QString out;
    qsizetype from = 0;
    int done = 0;
    while (limit < 0 || done < limit) {
        const qsizetype at = text.indexOf(what, from, Qt::CaseInsensitive);
        if (at < 0)
            break;
        out += QStringView(text).mid(from, at - from);
        out += with;
        from = at + what.size();
        ++done;
    }
    out += QStringView(text).mid(from);
    return out;
}

QString replacePairsOfBlanks(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text[i] == u' ' && i + 1 < text.size() && text[i + 1] == u' ')
            ++i;
    }
    return out;
}

bool startsWord(char32_t c)
{
    return c == U' ' || c == U'\t' || c == U'\n' || c == U'\v' || c == U'\f' || c == U'\r' || c == 0;
}

bool isPrefixChar(QChar c)
{
    return (c >= u'0' && c <= u'9') || c == u'-' || c == u'.' || c == u' ' || c == u'_' || c == u'#' || c == u'*';
}

} // namespace

QString BaseName(const QString& fileName)
{
    const qsizetype dot = fileName.lastIndexOf(u'.');
    return dot < 0 ? fileName : fileName.left(dot);
}

QString FileNameFromTitle(const QString& title) { return title + kMp3; }

QString TitleFromFileName(const QString& fileName) { return replaceCaseless(fileName, kMp3, QString()); }

QString ProperCase(const QString& text)
{
    QString out;
    out.reserve(text.size());
    bool wordStart = true;
    for (qsizetype i = 0; i < text.size();) {
        char32_t c = text[i].unicode();
        qsizetype len = 1;
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            len = 2;
        }
        const char32_t mapped = wordStart ? QChar::toUpper(c) : QChar::toLower(c);
        out += QString::fromUcs4(&mapped, 1);
        wordStart = startsWord(c);
        i += len;
    }
    return out;
}

QString CleanBaseName(const QString& base)
{
    QString s = base;
    s.replace(QStringLiteral("%20"), QStringLiteral(" "));
    s.replace(u'_', u' ');
    s = replacePairsOfBlanks(replacePairsOfBlanks(s));
    qsizetype begin = 0, end = s.size();
    while (begin < end && s[begin] == u' ')
        ++begin;
    while (end > begin && s[end - 1] == u' ')
        --end;
    return ProperCase(s.mid(begin, end - begin));
}

QString CleanFileName(const QString& fileName) { return CleanBaseName(BaseName(fileName)) + kMp3; }

QString LeadingNumberPrefix(const QString& fileName)
{
    QString prefix;
    for (QChar c : QStringView(fileName).left(5))
        if (isPrefixChar(c))
            prefix += c;
    return prefix;
}

bool StartsWithDigit(const QString& fileName)
{
    return !fileName.isEmpty() && fileName[0] >= u'0' && fileName[0] <= u'9';
}

QString RemoveLeadingNumbersName(const QString& fileName)
{
    if (!StartsWithDigit(fileName))
        return fileName;
    return replaceCaseless(BaseName(fileName), LeadingNumberPrefix(fileName), QString(), 1) + kMp3;
}

QString NumberText(int number) { return QStringLiteral("%1").arg(number, 2, 10, QLatin1Char('0')); }

QString AutoNumberName(const QString& fileName, int number)
{
    const QString numbered = NumberText(number) + QStringLiteral(" - ");
    if (!StartsWithDigit(fileName))
        return numbered + BaseName(fileName) + kMp3;
    return replaceCaseless(BaseName(fileName), LeadingNumberPrefix(fileName), numbered) + kMp3;
}

bool EditedNameAccepted(const QString& text)
{
    const QString t = text.trimmed();
    return !t.isEmpty() && t.endsWith(kMp3, Qt::CaseInsensitive);
}

QString NewNameProblem(const QString& name, long maxNameBytes)
{
    if (name.isEmpty())
        return QStringLiteral("the new name is empty");
    if (name == u"." || name == u"..")
        return QStringLiteral("\"%1\" cannot be used as a file name").arg(name);
    if (name.contains(u'/'))
        return QStringLiteral("the new name \"%1\" contains \"/\"").arg(name);
    if (name.contains(QChar(0)))
        return QStringLiteral("the new name contains a null character");
    // The folder scan skips hidden files, so such a name would make the file vanish.
    if (name.startsWith(u'.'))
        return QStringLiteral("the new name \"%1\" begins with \".\" and would hide the file").arg(name);
    const qsizetype bytes = QFile::encodeName(name).size();
    if (maxNameBytes > 0 && bytes > maxNameBytes)
        return QStringLiteral("the new name is %1 bytes long; the file system allows %2").arg(bytes).arg(maxNameBytes);
    return QString();
}

} // namespace brindle
