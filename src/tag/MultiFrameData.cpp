#include "MultiFrameData.h"

#include "Ascii.h"

#include <algorithm>

namespace brindle {

namespace {

// Hash of the key with ASCII letters folded, matching EqualsIgnoreAsciiCase. Keys of
// pictures are whole images, so only the length and both ends are hashed: equal keys
// still hash alike, and reading a cover costs no pass over its bytes.
void mixFolded(std::size_t& h, std::string_view part)
{
    for (char c : part)
        h = (h ^ static_cast<unsigned char>(AsciiLower(c))) * 0x100000001b3ULL;
}

std::size_t fullFoldedHash(std::string_view key)
{
    std::size_t h = 0xcbf29ce484222325ULL;
    mixFolded(h, key);
    return h;
}

std::size_t foldedHash(std::string_view key)
{
    constexpr std::size_t kEnds = 64;
    std::size_t h = 0xcbf29ce484222325ULL ^ key.size();
    auto mix = [&h](std::string_view part) { mixFolded(h, part); };
    if (key.size() <= 2 * kEnds) {
        mix(key);
    } else {
        mix(key.substr(0, kEnds));
        mix(key.substr(key.size() - kEnds));
    }
    return h;
}

std::string textKeyOf(std::string_view item)
{
    // Blanks are trimmed before the cut at NUL, as the key rule says.
    std::string_view trimmed = TrimBlanks(item);
    auto nul = trimmed.find('\0');
    return std::string(trimmed.substr(0, nul));
}

} // namespace

std::size_t MultiFrameData::checkedIndex(std::int32_t index) const
{
    if (index < 1 || index > Count())
        throw std::out_of_range("MultiFrameData index " + std::to_string(index) + " outside 1.." +
                                std::to_string(Count()));
    return static_cast<std::size_t>(index - 1);
}

const std::string& MultiFrameData::Item(std::int32_t index) const { return entries_[checkedIndex(index)].value; }

void MultiFrameData::SetItem(std::int32_t index, std::string newValue)
{
    // Same position as before; the replaced entry loses its key.
    auto& e = entries_[checkedIndex(index)];
    forgetKey(e);
    e.value = std::move(newValue);
    e.kind = KeyKind::None;
    e.textKey.clear();
}

void MultiFrameData::forgetKey(const Entry& e)
{
    if (e.kind == KeyKind::None)
        return;
    auto it = keyCounts_.find(e.keyHash);
    if (it != keyCounts_.end() && --it->second == 0)
        keyCounts_.erase(it);
}

std::string_view MultiFrameData::keyOf(const Entry& e) const
{
    return e.kind == KeyKind::Binary ? std::string_view(e.value) : std::string_view(e.textKey);
}

void MultiFrameData::Add(std::string item, std::optional<std::int32_t> before, std::optional<std::int32_t> after,
                         bool binaryMatch)
{
    Entry entry;
    entry.kind = binaryMatch ? KeyKind::Binary : KeyKind::Text;
    if (!binaryMatch)
        entry.textKey = textKeyOf(item);
    entry.value = std::move(item);

    std::string_view key = keyOf(entry);
    entry.keyHash = foldedHash(key);
    // A cheap-hash hit compares full hashes, each computed once per entry, so keys that
    // share their length and ends (crafted or not) do not make reading quadratic in bytes.
    if (keyCounts_.count(entry.keyHash)) {
        entry.fullHash = fullFoldedHash(key);
        for (const auto& e : entries_) {
            if (e.kind == KeyKind::None || e.keyHash != entry.keyHash)
                continue;
            if (!e.fullHash)
                e.fullHash = fullFoldedHash(keyOf(e));
            if (*e.fullHash == *entry.fullHash && EqualsIgnoreAsciiCase(keyOf(e), key))
                return;
        }
    }

    std::size_t n = entries_.size();
    std::size_t at = n;
    if (n > 0) {
        if (before) {
            at = *before < 1 ? 0 : (static_cast<std::size_t>(*before) <= n ? static_cast<std::size_t>(*before) - 1 : n);
        } else if (after) {
            at = *after < 1 ? 0 : (static_cast<std::size_t>(*after) <= n ? static_cast<std::size_t>(*after) : n);
        }
    }
    ++keyCounts_[entry.keyHash];
    entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(at), std::move(entry));
}

void MultiFrameData::Remove(std::int32_t index)
{
    forgetKey(entries_[checkedIndex(index)]);
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(checkedIndex(index)));
}

bool MultiFrameData::operator==(const MultiFrameData& other) const
{
    return std::equal(entries_.begin(), entries_.end(), other.entries_.begin(), other.entries_.end(),
                      [](const Entry& a, const Entry& b) { return a.value == b.value; });
}

} // namespace brindle
