#pragma once
// Ordered, 1-based list of frame contents that may occur several times in one tag
// (pictures, artist URLs, commercial URLs). Entries are byte strings: picture
// entries hold raw frame bytes, URL entries hold UTF-8 text.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace brindle {

class MultiFrameData {
public:
    std::int32_t Count() const { return static_cast<std::int32_t>(entries_.size()); }

    // Throws std::out_of_range for an index outside 1..Count().
    const std::string& Item(std::int32_t index) const;
    // Replaces the entry at index, keeping its place; the new entry carries no key.
    void SetItem(std::int32_t index, std::string newValue);

    // Adds item unless an entry with the same key exists (not an error).
    void Add(std::string item, std::optional<std::int32_t> before = std::nullopt,
             std::optional<std::int32_t> after = std::nullopt, bool binaryMatch = false);
    void Remove(std::int32_t index);
    void Clear()
    {
        entries_.clear();
        keyCounts_.clear();
    }

    bool operator==(const MultiFrameData& other) const;

private:
    enum class KeyKind : std::uint8_t { None, Binary, Text };
    struct Entry {
        std::string value;
        KeyKind kind = KeyKind::None;
        std::string textKey;                         // for KeyKind::Text: trimmed and cut at NUL
        std::size_t keyHash = 0;                     // cheap: length and both ends
        mutable std::optional<std::size_t> fullHash; // every byte, computed on a cheap-hash hit
    };
    std::string_view keyOf(const Entry& e) const;
    std::size_t checkedIndex(std::int32_t index) const;
    void forgetKey(const Entry& e);

    std::vector<Entry> entries_;
    // How many keyed entries have each key hash, so that a tag with thousands of
    // frames of one kind is read in linear time; only a hash hit needs the scan.
    std::unordered_map<std::size_t, std::int32_t> keyCounts_;
};

} // namespace brindle
