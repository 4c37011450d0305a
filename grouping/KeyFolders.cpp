#include "grouping/KeyFolders.h"

#include <vector>

#include "fileops/ObjectMover.h"
#include "platform/Log.h"
#include "platform/UnicodeText.h"

namespace {

// An initial size, not a limit: most folders hold a few dozen kinds of file.
constexpr std::size_t kUsualKeyCount = 50;

// Finds or makes the key folder and records its path; a failure leaves no entry, so the next file
// with the same key tries again.
const std::string* KeyFolderPath(DestinationDictionary& destinations, const FSRef* parent, const std::string& key) {
    if (const auto found = destinations.find(key); found != destinations.end()) {
        return &found->second;
    }
    FSRef keyFolder{};
    if (FSCreateDirectory(parent, key, &keyFolder) != noErr) {
        return nullptr;
    }
    std::optional<std::string> path = PathOfRef(&keyFolder);
    if (!path) {
        return nullptr;
    }
    return &destinations.emplace(key, std::move(*path)).first->second;
}

}  // namespace

DestinationDictionary MakeDestinationDictionary() {
    DestinationDictionary destinations;
    destinations.reserve(kUsualKeyCount);
    return destinations;
}

std::optional<std::string> PathOfRef(const FSRef* item, std::size_t bufferSize) {
    std::vector<char> buffer(bufferSize);
    if (FSRefMakePath(item, buffer.data(), static_cast<std::uint32_t>(bufferSize)) != noErr) {
        return std::nullopt;
    }
    std::string path(buffer.data());
    if (!UTF16FromUTF8(path)) {
        return std::nullopt;
    }
    return path;
}

void PlaceFileUnderKey(DestinationDictionary& destinations, const FSRef* parent, const std::string& key,
                       const FSRef* file, signed char copy) {
    const std::string* keyFolderPath = KeyFolderPath(destinations, parent, key);
    if (keyFolderPath == nullptr) {
        return;
    }
    const std::optional<std::string> filePath = PathOfRef(file);
    if (!filePath) {
        return;
    }
    NSLog("Moving: %@", {*filePath});
    if (MoveObjectPath(*filePath, *keyFolderPath, copy) == 0) {
        NSLog("The file \"%@\" could not be moved to \"%@\". A file by the same name may exists there already.",
              {*filePath, *keyFolderPath});
    }
}
