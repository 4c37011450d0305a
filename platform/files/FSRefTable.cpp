#include "platform/files/internal/FSRefTable.h"

#include <fcntl.h>

#include <cerrno>
#include <deque>
#include <climits>
#include <functional>
#include <memory>
#include <new>
#include <unordered_map>
#include <vector>

#include "platform/base/Errors.h"
#include "platform/files/AutoreleasePool.h"

namespace corvane {

namespace {

// 16 bytes a slot plus the name bytes and a few bytes of index: a folder of 100,000 items costs a few
// megabytes, because a slot keeps its folder's slot instead of a whole path. A root keeps its whole
// path as its name.
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

// An open folder of the table. The identity outlives the descriptor, so that a folder reopened
// after its pool closed is known to be the same one.
struct Folder {
    UniqueFd fd;
    dev_t device;
    ino_t inode;
    std::uint32_t openedIn;
};

// The names of the slots, end to end in blocks of their own: a table of millions of names grows a
// block at a time, never by copying all of them into a buffer twice as large.
class NameStore {
public:
    std::uint32_t End() const { return end_; }

    /// Where name now starts; a name never straddles two blocks.
    std::uint32_t Append(std::string_view name) {
        std::uint32_t start = end_;
        if (start % kBlock + name.size() > kBlock) {
            start += kBlock - start % kBlock;
        }
        if (start / kBlock >= blocks_.size()) {
            blocks_.push_back(std::make_unique<char[]>(kBlock));
        }
        name.copy(blocks_[start / kBlock].get() + start % kBlock, name.size());
        end_ = start + static_cast<std::uint32_t>(name.size());
        return start;
    }

    std::string_view At(std::uint32_t offset, std::uint16_t length) const {
        return {blocks_[offset / kBlock].get() + offset % kBlock, length};
    }

    /// Forgets every name from end on.
    void TruncateTo(std::uint32_t end) {
        end_ = end;
        blocks_.resize(end == 0 ? 0 : (end - 1) / kBlock + 1);
    }

private:
    // Larger than any name, a root's whole path included.
    static constexpr std::uint32_t kBlock = 1U << 16;
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::uint32_t end_ = 0;
};

bool IsEntryName(std::string_view name) {
    return !name.empty() && name.size() <= NAME_MAX && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

class Table {
public:
    Table() { entries_.push_back(Entry{kNoSlot, 0, 0, 0}); }
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    std::uint32_t Find(std::uint32_t parent, std::string_view name) const {
        return index_.Find(Key{parent, name});
    }

    std::uint32_t Add(std::uint32_t parent, std::string_view name) {
        const auto slot = static_cast<std::uint32_t>(entries_.size());
        const std::uint32_t end = names_.End();
        try {
            const std::uint32_t offset = names_.Append(name);
            entries_.push_back(Entry{parent, generation_, offset, static_cast<std::uint16_t>(name.size())});
            index_.Insert(slot);
        } catch (const std::bad_alloc&) {
            if (entries_.size() > slot) {
                entries_.resize(slot);
            }
            names_.TruncateTo(end);
            return kNoSlot;
        }
        return slot;
    }

    // A root of a path whose indexed root is another object: the new one takes the path over.
    void Reindex(std::uint32_t old, std::uint32_t slot) {
        index_.Erase(old);
        index_.Insert(slot);
    }

    bool Has(std::uint32_t slot) const { return slot != kNoSlot && slot < entries_.size(); }
    const Entry& At(std::uint32_t slot) const { return entries_[slot]; }
    std::string_view NameOf(const Entry& entry) const {
        return names_.At(entry.nameOffset, entry.nameLength);
    }
    std::uint32_t Size() const { return static_cast<std::uint32_t>(entries_.size()); }
    std::uint32_t Generation() const { return generation_; }

    void OpenPool() {
        pools_.push_back(corvane::OpenPool{Size(), generation_});
        generation_ = ++lastGeneration_;
    }

    void ClosePool() {
        const corvane::OpenPool pool = pools_.back();
        pools_.pop_back();
        // Folders opened while the pool was open are closed with it, whoever's slot they belong to:
        // a walk holds descriptors for the folders it is inside of, not for every folder it passed.
        for (auto folder = folders.begin(); folder != folders.end();) {
            if (folder->second.openedIn == generation_) {
                folder->second.fd.Reset();
            }
            folder = folder->first >= pool.sizeAtOpen ? folders.erase(folder) : std::next(folder);
        }
        // Unindex from the top down while the entries that the index hashes are still there.
        for (std::uint32_t slot = Size(); slot-- > pool.sizeAtOpen;) {
            index_.Erase(slot);
        }
        names_.TruncateTo(entries_[pool.sizeAtOpen - 1].nameOffset + entries_[pool.sizeAtOpen - 1].nameLength);
        entries_.resize(pool.sizeAtOpen);
        generation_ = pool.enclosingGeneration;
    }

    std::unordered_map<std::uint32_t, Folder> folders;
    std::size_t longestRoot = 0;

private:
    // Open addressing over slot numbers, a quarter to a half full: 8 to 16 bytes a slot, where a node
    // of a hashed set costs 40. Slot 0 marks an empty cell.
    class Index {
    public:
        explicit Index(const Table* table) : table_(table), cells_(64, kNoSlot) {}

        std::uint32_t Find(const Key& key) const {
            for (std::size_t at = Home(key);; at = Next(at)) {
                if (cells_[at] == kNoSlot || Same(key, table_->KeyOf(cells_[at]))) {
                    return cells_[at];
                }
            }
        }

        void Insert(std::uint32_t slot) {
            if ((count_ + 1) * 2 > cells_.size()) {
                Rehash(cells_.size() * 2);
            }
            std::size_t at = Home(table_->KeyOf(slot));
            while (cells_[at] != kNoSlot) {
                at = Next(at);
            }
            cells_[at] = slot;
            ++count_;
        }

        // Removes slot, shifting back the cells after it that would no longer be found.
        void Erase(std::uint32_t slot) {
            std::size_t hole = Home(table_->KeyOf(slot));
            while (cells_[hole] != slot) {
                if (cells_[hole] == kNoSlot) {
                    return;
                }
                hole = Next(hole);
            }
            for (std::size_t at = Next(hole); cells_[at] != kNoSlot; at = Next(at)) {
                const std::size_t home = Home(table_->KeyOf(cells_[at]));
                const bool reachable = hole <= at ? hole < home && home <= at : hole < home || home <= at;
                if (!reachable) {
                    cells_[hole] = cells_[at];
                    hole = at;
                }
            }
            cells_[hole] = kNoSlot;
            --count_;
        }

    private:
        static bool Same(const Key& a, const Key& b) { return a.parent == b.parent && a.name == b.name; }
        std::size_t Home(const Key& key) const {
            const std::size_t hash =
                std::hash<std::string_view>{}(key.name) ^ (std::size_t{key.parent} * 0x9E3779B97F4A7C15ULL);
            return hash & (cells_.size() - 1);
        }
        std::size_t Next(std::size_t at) const { return (at + 1) & (cells_.size() - 1); }

        void Rehash(std::size_t size) {
            std::vector<std::uint32_t> old(size, kNoSlot);
            old.swap(cells_);
            for (const std::uint32_t slot : old) {
                if (slot != kNoSlot) {
                    std::size_t at = Home(table_->KeyOf(slot));
                    while (cells_[at] != kNoSlot) {
                        at = Next(at);
                    }
                    cells_[at] = slot;
                }
            }
        }

        const Table* table_;
        std::vector<std::uint32_t> cells_;
        std::size_t count_ = 0;
    };

    Key KeyOf(std::uint32_t slot) const { return Key{entries_[slot].parent, NameOf(entries_[slot])}; }

    // A deque grows a block at a time too.
    std::deque<Entry> entries_;
    NameStore names_;
    Index index_{this};
    std::vector<corvane::OpenPool> pools_;
    std::uint32_t generation_ = 0;
    std::uint32_t lastGeneration_ = 0;
};

Table& TheTable() {
    static Table table;
    return table;
}

bool SameObject(const Folder& folder, dev_t device, ino_t inode) {
    return folder.device == device && folder.inode == inode;
}

// Opens the folder entry of slot inside its parent's held folder, never through a link.
OSErr OpenFolder(std::uint32_t slot, UniqueFd& fd, struct stat& status) {
    Table& table = TheTable();
    int parent = -1;
    if (const OSErr error = FSRefTableFolderAsSeen(table.At(slot).parent, parent); error != noErr) {
        return error;
    }
    const std::string name(table.NameOf(table.At(slot)));
    fd = UniqueFd(openat(parent, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid()) {
        return errno == ELOOP || errno == ENOTDIR ? errFSNotAFolder : OSErrFromErrno(errno);
    }
    return fstat(fd.get(), &status) == 0 ? noErr : OSErrFromErrno(errno);
}

// The held descriptor of slot when it is the object expected (any object when expected is null),
// else the folder opened afresh, which must be that object.
OSErr HeldFolder(std::uint32_t slot, const Folder* expected, int& fd, struct stat* status) {
    Table& table = TheTable();
    if (!table.Has(slot)) {
        return fnfErr;
    }
    const auto held = table.folders.find(slot);
    if (held != table.folders.end()) {
        expected = expected != nullptr ? expected : &held->second;
        if (held->second.fd.valid() && SameObject(held->second, expected->device, expected->inode)) {
            fd = held->second.fd.get();
            if (status != nullptr) {
                *status = {};
                status->st_dev = held->second.device;
                status->st_ino = held->second.inode;
                status->st_mode = S_IFDIR;
            }
            return noErr;
        }
    }
    // A root cannot be opened again by name without walking its path once more.
    if (table.At(slot).parent == kNoSlot) {
        return fnfErr;
    }
    UniqueFd opened;
    struct stat seen {};
    if (const OSErr error = OpenFolder(slot, opened, seen); error != noErr) {
        return error;
    }
    if (expected != nullptr && (seen.st_dev != expected->device || seen.st_ino != expected->inode)) {
        return fnfErr;
    }
    if (status != nullptr) {
        *status = seen;
    }
    fd = opened.get();
    table.folders.insert_or_assign(slot, Folder{std::move(opened), seen.st_dev, seen.st_ino, table.Generation()});
    return noErr;
}

}  // namespace

std::uint32_t FSRefTableRoot(std::string_view absolutePath, UniqueFd folder, const struct stat& status) {
    Table& table = TheTable();
    const std::uint32_t existing = table.Find(kNoSlot, absolutePath);
    if (existing != kNoSlot) {
        const auto held = table.folders.find(existing);
        if (held != table.folders.end() && SameObject(held->second, status.st_dev, status.st_ino)) {
            return existing;
        }
    }
    const std::uint32_t slot = table.Add(kNoSlot, absolutePath);
    if (slot == kNoSlot) {
        return kNoSlot;
    }
    if (existing != kNoSlot) {
        table.Reindex(existing, slot);
    }
    table.folders.insert_or_assign(slot, Folder{std::move(folder), status.st_dev, status.st_ino, table.Generation()});
    table.longestRoot = std::max(table.longestRoot, absolutePath.size());
    return slot;
}

std::uint32_t FSRefTableRootOf(std::string_view path, std::string_view& rest) {
    const Table& table = TheTable();
    if (path.empty() || path.front() != '/') {
        return kNoSlot;
    }
    // Deepest first: the longest leading part that a root has, at a '/' or at the end.
    for (std::size_t length = std::min(path.size(), table.longestRoot); length > 0; --length) {
        const bool boundary = length == path.size() || path[length] == '/' || length == 1;
        if (!boundary) {
            continue;
        }
        // A root made with no pool open lives for the process and is no folder a request named:
        // paths below it are the file system's to resolve.
        const std::uint32_t root = table.Find(kNoSlot, path.substr(0, length));
        if (root != kNoSlot && table.At(root).generation != 0) {
            rest = path.substr(length);
            return root;
        }
    }
    return kNoSlot;
}

std::uint32_t FSRefTableChild(std::uint32_t parentSlot, std::string_view name) {
    Table& table = TheTable();
    if (!table.Has(parentSlot) || !IsEntryName(name)) {
        return kNoSlot;
    }
    const std::uint32_t found = table.Find(parentSlot, name);
    return found != kNoSlot ? found : table.Add(parentSlot, name);
}

bool FSRefTableLive(std::uint32_t slot, std::uint32_t generation) {
    const Table& table = TheTable();
    return table.Has(slot) && table.At(slot).generation == generation;
}

std::uint32_t FSRefTableGeneration(std::uint32_t slot) { return TheTable().At(slot).generation; }

bool FSRefTableIsRoot(std::uint32_t slot) { return TheTable().At(slot).parent == kNoSlot; }

std::string FSRefTablePath(std::uint32_t slot) {
    const Table& table = TheTable();
    std::vector<std::string_view> names;
    std::uint32_t at = slot;
    for (; table.At(at).parent != kNoSlot; at = table.At(at).parent) {
        names.push_back(table.NameOf(table.At(at)));
    }
    std::string path(table.NameOf(table.At(at)));
    for (auto name = names.rbegin(); name != names.rend(); ++name) {
        if (path.empty() || path.back() != '/') {
            path.push_back('/');
        }
        path.append(*name);
    }
    return path;
}

std::string_view FSRefTableName(std::uint32_t slot) {
    const Table& table = TheTable();
    const std::string_view name = table.NameOf(table.At(slot));
    return table.At(slot).parent != kNoSlot ? name : name.substr(name.rfind('/') + 1);
}

std::uint32_t FSRefTableParent(std::uint32_t slot) { return TheTable().At(slot).parent; }

OSErr FSRefTableFolder(std::uint32_t slot, dev_t device, ino_t inode, int& fd) {
    const Folder expected{UniqueFd(), device, inode, 0};
    return HeldFolder(slot, &expected, fd, nullptr);
}

OSErr FSRefTableFolderAsSeen(std::uint32_t slot, int& fd, struct stat* status) {
    return HeldFolder(slot, nullptr, fd, status);
}

std::uint32_t FSRefTableSize() { return TheTable().Size(); }

AutoreleasePool::AutoreleasePool() { TheTable().OpenPool(); }

AutoreleasePool::~AutoreleasePool() { TheTable().ClosePool(); }

}  // namespace corvane
