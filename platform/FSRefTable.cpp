#include "platform/FSRefTable.h"

#include <climits>
#include <functional>
#include <new>
#include <unordered_set>
#include <vector>

#include "platform/AutoreleasePool.h"

namespace {

// 16 bytes a slot plus the name bytes: a folder of 100,000 items costs a few megabytes, because a
// slot keeps its folder's slot instead of a whole path.
struct Entry {
    std::uint32_t parent;
    std::uint32_t generation;
    std::uint32_t nameOffset;
    std::uint16_t nameLength;
};

struct Key {
    std::uint32_t parent;
    std::string_view name;
};

struct OpenPool {
    std::uint32_t sizeAtOpen;
    std::uint32_t enclosingGeneration;
};

class Table {
public:
    Table() : index_(64, Hash{this}, Equal{this}) { entries_.push_back(Entry{kNoSlot, 0, 0, 0}); }
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    std::uint32_t Find(std::uint32_t parent, std::string_view name) const {
        const auto found = index_.find(Key{parent, name});
        return found == index_.end() ? kNoSlot : *found;
    }

    std::uint32_t Add(std::uint32_t parent, std::string_view name) {
        const auto slot = static_cast<std::uint32_t>(entries_.size());
        const auto offset = static_cast<std::uint32_t>(names_.size());
        try {
            names_.append(name);
            entries_.push_back(Entry{parent, generation_, offset, static_cast<std::uint16_t>(name.size())});
            index_.insert(slot);
        } catch (const std::bad_alloc&) {
            if (entries_.size() > slot) {
                entries_.resize(slot);
            }
            names_.resize(offset);
            return kNoSlot;
        }
        return slot;
    }

    bool Has(std::uint32_t slot) const { return slot != kNoSlot && slot < entries_.size(); }
    const Entry& At(std::uint32_t slot) const { return entries_[slot]; }
    std::string_view NameOf(const Entry& entry) const {
        return std::string_view(names_).substr(entry.nameOffset, entry.nameLength);
    }
    std::uint32_t Size() const { return static_cast<std::uint32_t>(entries_.size()); }

    void OpenPool() {
        pools_.push_back(::OpenPool{Size(), generation_});
        generation_ = ++lastGeneration_;
    }

    void ClosePool() {
        const ::OpenPool pool = pools_.back();
        pools_.pop_back();
        // Unindex from the top down while the entries that the index hashes are still there.
        for (std::uint32_t slot = Size(); slot-- > pool.sizeAtOpen;) {
            index_.erase(slot);
        }
        names_.resize(entries_[pool.sizeAtOpen - 1].nameOffset + entries_[pool.sizeAtOpen - 1].nameLength);
        entries_.resize(pool.sizeAtOpen);
        generation_ = pool.enclosingGeneration;
    }

private:
    struct Hash {
        using is_transparent = void;
        const Table* table;
        std::size_t operator()(const Key& key) const {
            return std::hash<std::string_view>{}(key.name) ^ (std::size_t{key.parent} * 0x9E3779B97F4A7C15ULL);
        }
        std::size_t operator()(std::uint32_t slot) const { return (*this)(table->KeyOf(slot)); }
    };
    struct Equal {
        using is_transparent = void;
        const Table* table;
        static bool Same(const Key& a, const Key& b) { return a.parent == b.parent && a.name == b.name; }
        bool operator()(std::uint32_t a, std::uint32_t b) const { return a == b; }
        bool operator()(const Key& a, std::uint32_t b) const { return Same(a, table->KeyOf(b)); }
        bool operator()(std::uint32_t a, const Key& b) const { return Same(table->KeyOf(a), b); }
    };

    Key KeyOf(std::uint32_t slot) const { return Key{entries_[slot].parent, NameOf(entries_[slot])}; }

    std::vector<Entry> entries_;
    std::string names_;
    std::unordered_set<std::uint32_t, Hash, Equal> index_;
    std::vector<::OpenPool> pools_;
    std::uint32_t generation_ = 0;
    std::uint32_t lastGeneration_ = 0;
};

Table& TheTable() {
    static Table table;
    return table;
}

bool IsEntryName(std::string_view name) {
    return !name.empty() && name.size() <= NAME_MAX && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

}  // namespace

std::uint32_t FSRefTableRoot() {
    Table& table = TheTable();
    const std::uint32_t found = table.Find(kNoSlot, {});
    return found != kNoSlot ? found : table.Add(kNoSlot, {});
}

std::uint32_t FSRefTableChild(std::uint32_t parentSlot, std::string_view name) {
    Table& table = TheTable();
    if (!table.Has(parentSlot) || !IsEntryName(name)) {
        return kNoSlot;
    }
    const std::uint32_t found = table.Find(parentSlot, name);
    return found != kNoSlot ? found : table.Add(parentSlot, name);
}

std::uint32_t FSRefTableAbsolutePath(std::string_view path) {
    if (path.empty() || path.front() != '/') {
        return kNoSlot;
    }
    std::uint32_t slot = FSRefTableRoot();
    while (slot != kNoSlot && !path.empty()) {
        const std::size_t start = path.find_first_not_of('/');
        if (start == std::string_view::npos) {
            break;
        }
        path.remove_prefix(start);
        const std::size_t end = path.find('/');
        slot = FSRefTableChild(slot, path.substr(0, end));
        path.remove_prefix(end == std::string_view::npos ? path.size() : end);
    }
    return slot;
}

bool FSRefTableLive(std::uint32_t slot, std::uint32_t generation) {
    const Table& table = TheTable();
    return table.Has(slot) && table.At(slot).generation == generation;
}

std::uint32_t FSRefTableGeneration(std::uint32_t slot) { return TheTable().At(slot).generation; }

std::string FSRefTablePath(std::uint32_t slot) {
    const Table& table = TheTable();
    std::vector<std::string_view> names;
    for (std::uint32_t at = slot; table.At(at).parent != kNoSlot; at = table.At(at).parent) {
        names.push_back(table.NameOf(table.At(at)));
    }
    if (names.empty()) {
        return "/";
    }
    std::string path;
    for (auto name = names.rbegin(); name != names.rend(); ++name) {
        path.push_back('/');
        path.append(*name);
    }
    return path;
}

std::string_view FSRefTableName(std::uint32_t slot) {
    const Table& table = TheTable();
    return table.NameOf(table.At(slot));
}

std::uint32_t FSRefTableParent(std::uint32_t slot) {
    const std::uint32_t parent = TheTable().At(slot).parent;
    return parent == kNoSlot ? slot : parent;
}

std::uint32_t FSRefTableSize() { return TheTable().Size(); }

AutoreleasePool::AutoreleasePool() { TheTable().OpenPool(); }

AutoreleasePool::~AutoreleasePool() { TheTable().ClosePool(); }
