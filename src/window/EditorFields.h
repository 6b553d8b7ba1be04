#pragma once
// The editor's fields in one table: check box, caption, control, page, the tag property
// and how a ticked value is applied. Building the pages, loading a file, the apply
// pass, "Select all Tags", the Enter key and the tab markers all read this table.

#include <string>

class QCheckBox;
class QWidget;

namespace brindle {

class clsID3;

enum class EditorPage { Basic, Advanced, AlbumArt, Filename, Urls, About };

enum class FieldControl {
    Line,    // one-line text box
    Text,    // multi-line box (comments, lyrics)
    Combo,   // editable drop-down list (genre, key)
    UrlList, // one-line box of a multi-value URL editor
};

enum class ApplyRule {
    Text,           // the property takes the text
    Genre,          // the text and the genre number it names
    Track,          // only when "Track:" is the track rule in force
    CommercialUrls, // the whole list of the commercial-information editor
    ArtistUrls,     // the whole list of the artist-URL editor
    Disc,           // disc number and, from the box beside it, the disc total
    None,           // shown and loaded, applied with another field
};

struct FieldSpec {
    const char* box; // "" for a field without a check box of its own
    const char* caption;
    const char* control;
    EditorPage page;
    FieldControl kind;
    std::u16string clsID3::*property; // nullptr for the URL lists
    ApplyRule rule;
    bool enterApplies; // Enter in this field applies the tags
};

// Every field in the order of its page, pages in tab order.
extern const FieldSpec kFieldSpecs[];
extern const int kFieldSpecCount;

// A field of this window: its row of the table and its widgets.
struct EditorField {
    const FieldSpec* def = nullptr;
    QCheckBox* box = nullptr; // nullptr where the field has none
    QWidget* control = nullptr;
};

} // namespace brindle
