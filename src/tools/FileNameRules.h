#pragma once
// The name rules of the renaming and cleaning tools, as pure functions of a file
// name (never a path: the folder part is not theirs to change). New names always end
// in ".mp3" in lower case, whatever the case of the old extension.

#include <QString>

#include <string>
#include <string_view>

namespace brindle {

// File names are bytes, and not every name is valid UTF-8. NameText gives a name as
// text without losing a byte: a byte that is not part of valid UTF-8 becomes the lone
// surrogate U+DC80 + (byte - 0x80); NameBytes gives back exactly the bytes. The rules
// below work on such text, so "song\xff.mp3" can never turn into another file's name.
QString NameText(std::string_view bytes);
std::string NameBytes(const QString& nameText);
// For showing a name only: bytes that are not UTF-8 appear as U+FFFD.
QString DisplayName(std::string_view bytes);
QString DisplayText(const QString& nameText);

// The name without its extension: the text before the last ".".
QString BaseName(const QString& fileName);

// "Use Title For Filename": the title as given, then ".mp3". Control characters (line
// breaks, tabs, escapes) have no place in a name: at the ends they are dropped, inside
// each run of them becomes one blank.
QString FileNameFromTitle(const QString& title);

// "Use Filename For Title": the name with every ".mp3" removed, letter case ignored,
// in one pass from left to right ("a.mp3.b.mp3" gives "a.b").
QString TitleFromFileName(const QString& fileName);

// First letter of every word upper case, every other letter lower case. A word begins
// at the start and after a blank, tab, line feed, vertical tab, form feed, carriage
// return or null character.
QString ProperCase(const QString& text);

// "Clean Filename" on a base name: "%20" and "_" become blanks, runs of blanks shrink
// (two passes of pair replacement), ends trimmed, proper case.
QString CleanBaseName(const QString& base);
QString CleanFileName(const QString& fileName);

// The characters among the first five of the name that are a digit, "-", ".", blank,
// "_", "#" or "*", in order; the others are skipped, not a stop.
QString LeadingNumberPrefix(const QString& fileName);

bool StartsWithDigit(const QString& fileName);

// "Remove Leading Numbers": for a name starting with a digit, the base name without
// the first occurrence of the prefix (letter case ignored) plus ".mp3"; any other
// name is returned as it is.
QString RemoveLeadingNumbersName(const QString& fileName);

// "00" formatting: at least two digits.
QString NumberText(int number);

// "Auto Number Filenames" for the file at list position `number` (from 1): a name
// starting with a digit gets every occurrence of the prefix replaced by the number
// text and " - "; any other name gets the number text and " - " in front.
QString AutoNumberName(const QString& fileName, int number);

// The text an in-place edit must satisfy: not only blanks, ending in ".mp3" (any case).
bool EditedNameAccepted(const QString& text);
inline const char* const kEditedNameRefused = "Please enter a valid name including the .mp3 extension!";

// Why a new name cannot be used (the file then keeps its name); empty when it can.
// Refused: empty, ".", "..", a "/" or null character, a leading "." (a hidden file),
// more bytes than the file system allows for one name.
QString NewNameProblem(const QString& name, long maxNameBytes = 255);

} // namespace brindle
