#include "grouping/KeyGrouping.h"

#include "fileops/DirectoryListing.h"
#include "fileops/ItemTests.h"
#include "grouping/KeyFolders.h"
#include "platform/CFURL.h"
#include "platform/Log.h"

namespace {

std::optional<std::string> ExtensionKey(const FSRef* file) {
    const std::optional<CFURL> url = CFURLCreateFromFSRef(file);
    if (!url) {
        return std::nullopt;
    }
    return CFURLCopyPathExtension(*url);
}

}  // namespace

void aggregate_files_with_key(const FSRef* folder, KeyOfFile keyOf) {
    DestinationDictionary destinations = MakeDestinationDictionary();
    // Taken once, before any key folder exists, and without plain folders: key folders made below are
    // never among the files grouped.
    const std::vector<FSRef> files = GetDirectoryFilesList(folder);
    for (const FSRef& entry : files) {
        const FSRef file = entry;
        if (!FSIsFSRefValid(&file)) {
            NSLog("Inavlid FSRef");
            continue;
        }
        if (IsInvisible(&file)) {
            continue;
        }
        const std::optional<std::string> key = keyOf(&file);
        if (!key) {
            continue;
        }
        PlaceFileUnderKey(destinations, folder, *key, &file, 1);
    }
}

void aggregate_files_by_extension(const FSRef* folder) { aggregate_files_with_key(folder, ExtensionKey); }
