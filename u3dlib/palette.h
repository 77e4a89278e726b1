// An ordered name -> object map. Entry 0 is the default object under the empty name;
// an object added under a name already present replaces it in place, so ids stay
// stable once handed out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace u3dlib {

// Entries one palette may hold: far more than any real file, few enough that a
// hostile file cannot make a palette the size of its memory.
inline constexpr uint32_t kMaxPaletteEntries = uint32_t{1} << 20;

template <typename T>
class Palette {
public:
    struct Entry {
        std::string name;
        T object;
        uint32_t blockType = 0; // of the declaration that made it; 0 for the default
    };

    explicit Palette(T defaultObject = T{}) { entries_.push_back(Entry{std::string(), std::move(defaultObject), 0}); }

    uint32_t size() const { return static_cast<uint32_t>(entries_.size()); }
    const Entry& entry(uint32_t id) const { return entries_[id]; }
    Entry& entry(uint32_t id) { return entries_[id]; }
    const std::vector<Entry>& entries() const { return entries_; }

    std::optional<uint32_t> find(const std::string& name) const
    {
        if (name.empty())
            return 0;
        const auto it = ids_.find(name);
        return it == ids_.end() ? std::nullopt : std::optional<uint32_t>(it->second);
    }
    // The id a reference by name resolves to: the named entry, else the default.
    uint32_t resolve(const std::string& name) const { return find(name).value_or(0); }

    // Adds or replaces; the id, or nothing when the palette is full.
    std::optional<uint32_t> put(const std::string& name, T object, uint32_t blockType)
    {
        if (const std::optional<uint32_t> id = find(name)) {
            entries_[*id].object = std::move(object);
            entries_[*id].blockType = blockType;
            return id;
        }
        if (entries_.size() >= kMaxPaletteEntries)
            return std::nullopt;
        const auto id = static_cast<uint32_t>(entries_.size());
        entries_.push_back(Entry{name, std::move(object), blockType});
        ids_.emplace(name, id);
        return id;
    }

    bool holdsOnlyDefault() const { return entries_.size() == 1; }

    // Takes every entry of from but its default, when this palette holds only its own:
    // the ids and names that a put of each in turn would give, without the lookups.
    // from is left holding its own default alone.
    void adoptEntries(Palette&& from)
    {
        entries_.swap(from.entries_);
        ids_.swap(from.ids_);
        std::swap(entries_[0], from.entries_[0]);
    }

private:
    std::vector<Entry> entries_;
    std::unordered_map<std::string, uint32_t> ids_;
};

} // namespace u3dlib
