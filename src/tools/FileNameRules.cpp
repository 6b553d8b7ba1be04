#include "FileNameRules.h"

#include "tag/TextCodec.h"

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

bool isControl(char16_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

constexpr char16_t kEscapeBase = 0xDC00; // + byte, for bytes 0x80..0xFF

bool isEscapedByte(char16_t c) { return c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF; }

} // namespace

QString NameText(std::string_view bytes)
{
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    for (std::size_t i = 0; i < bytes.size();) {
        const Utf8Step step = DecodeUtf8Step(bytes, i);
        if (!step.valid) {
            // Byte by byte, so that what follows an odd byte is decoded on its own.
            out += QChar(static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(bytes[i])));
            ++i;
            continue;
        }
        out += QString::fromUcs4(&step.codePoint, 1);
        i += step.length;
    }
    return out;
}

std::string NameBytes(const QString& nameText)
{
    std::string out;
    out.reserve(static_cast<std::size_t>(nameText.size()));
    for (qsizetype i = 0; i < nameText.size();) {
        const char16_t c = nameText[i].unicode();
        if (isEscapedByte(c)) {
            out.push_back(static_cast<char>(c - kEscapeBase));
            ++i;
            continue;
        }
        // Any other lone surrogate is not a character: it goes out as U+FFFD.
        const qsizetype len = nameText[i].isHighSurrogate() && i + 1 < nameText.size() &&
                                      nameText[i + 1].isLowSurrogate()
                                  ? 2
                                  : 1;
        QString piece = nameText.mid(i, len);
        if (len == 1 && nameText[i].isSurrogate())
            piece = QString(QChar::ReplacementCharacter);
        out += piece.toUtf8().toStdString();
        i += len;
    }
    return out;
}

QString DisplayText(const QString& nameText)
{
    QString out = nameText;
    for (qsizetype i = 0; i < out.size(); ++i) {
        if (out[i].isHighSurrogate() && i + 1 < out.size() && out[i + 1].isLowSurrogate())
            ++i;
        else if (out[i].isSurrogate())
            out[i] = QChar::ReplacementCharacter;
    }
    return out;
}

QString DisplayName(std::string_view bytes) { return DisplayText(NameText(bytes)); }

QString BaseName(const QString& fileName)
{
    const qsizetype dot = fileName.lastIndexOf(u'.');
    return dot < 0 ? fileName : fileName.left(dot);
}

QString FileNameFromTitle(const QString& title)
{
    // Lone surrogates of a damaged tag must not come out as the bytes NameText stands
    // them for: a title is text, never bytes.
    const QString text = DisplayText(title);
    QString name;
    name.reserve(text.size());
    bool gap = false;
    for (QChar c : text) {
        if (isControl(c.unicode())) {
            gap = !name.isEmpty();
            continue;
        }
        if (gap)
            name += u' ';
        gap = false;
        name += c;
    }
    return name + kMp3;
}

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
    const auto bytes = static_cast<qsizetype>(NameBytes(name).size());
    if (maxNameBytes > 0 && bytes > maxNameBytes)
        return QStringLiteral("the new name is %1 bytes long; the file system allows %2").arg(bytes).arg(maxNameBytes);
    return QString();
}

} // namespace brindle
