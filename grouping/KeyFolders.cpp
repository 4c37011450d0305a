#include "grouping/KeyFolders.h"

#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "fileops/DirectoryListing.h"
#include "fileops/ItemTests.h"
#include "fileops/ObjectMover.h"
#include "grouping/PlacementCounts.h"
#include "platform/base/Log.h"
#include "platform/base/UnicodeText.h"

namespace corvane {

namespace {

/// Key text to the POSIX path of that key's folder; one per pass over one folder.
using DestinationDictionary = std::unordered_map<std::string, std::string>;

// An initial size, not a limit: most folders hold a few dozen kinds of file.
constexpr std::size_t kUsualKeyCount = 50;

// Finds or makes the key folder and records its path; a failure is logged and leaves no entry, so
// the next file with the same key tries again.
const std::string* KeyFolderPath(DestinationDictionary& destinations, const FSRef* parent, const std::string& key) {
    if (const auto found = destinations.find(key); found != destinations.end()) {
        return &found->second;
    }
    FSRef keyFolder{};
    // A name the file system refuses (a MIME type's ':' on FAT) would otherwise fail its files unexplained.
    if (const OSErr made = FSCreateDirectory(parent, key, &keyFolder); made != noErr) {
        NSLogFailure("The folder \"%@\" could not be made in \"%@\". Error number = %d",
                     {key, PathOfRef(parent).value_or(std::string()), std::int64_t{made}});
        return nullptr;
    }
    std::optional<std::string> path = PathOfRef(&keyFolder);
    if (!path) {
        return nullptr;
    }
    return &destinations.emplace(key, std::move(*path)).first->second;
}

// Finds or makes the key folder in parent (once per key and pass), then logs "Moving: %@" and places
// file into it, logging when the mover fails. Silent when the file's path cannot be had.
void PlaceFileUnderKey(DestinationDictionary& destinations, std::unordered_set<const std::string*>& filled,
                       const FSRef* parent, const std::string& key, const FSRef* file, signed char copy) {
    const std::string* keyFolderPath = KeyFolderPath(destinations, parent, key);
    const std::optional<std::string> filePath = keyFolderPath != nullptr ? PathOfRef(file) : std::nullopt;
    if (!filePath) {
        ++gPlacementCounts.failed;
        return;
    }
    NSLog("Moving: %@", {*filePath});
    if (MoveObjectPath(*filePath, *keyFolderPath, copy) == 0) {
        NSLogFailure("The file \"%@\" could not be moved to \"%@\". A file by the same name may exists there already.",
                     {*filePath, *keyFolderPath});
        ++gPlacementCounts.failed;
    } else if (filePath->substr(0, filePath->rfind('/')) == *keyFolderPath) {
        ++gPlacementCounts.leftAlone;
    } else {
        ++(copy != 0 ? gPlacementCounts.copied : gPlacementCounts.moved);
        gPlacementCounts.keyFolders += filled.insert(keyFolderPath).second ? 1 : 0;
    }
}

}  // namespace

void GroupFilesByKey(const FSRef* folder, const FSRef* parent, const KeyOfFile& keyOf, signed char copy) {
    DestinationDictionary destinations;
    destinations.reserve(kUsualKeyCount);
    std::unordered_set<const std::string*> filled;
    // Taken once, before any key folder exists, and without plain folders: key folders made below are
    // never among the files grouped.
    const std::vector<FSRef> files = GetDirectoryFilesList(folder);
    for (const FSRef& entry : files) {
        const FSRef file = entry;
        if (!FSIsFSRefValid(&file)) {
            NSLogFailure("Inavlid FSRef");
            ++gPlacementCounts.failed;
            continue;
        }
        const std::optional<std::string> key = IsInvisible(&file) ? std::nullopt : keyOf(&file);
        if (!key) {
            ++gPlacementCounts.leftAlone;
            continue;
        }
        PlaceFileUnderKey(destinations, filled, parent, *key, &file, copy);
    }
}

}  // namespace corvane
