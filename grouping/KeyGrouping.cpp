#include "grouping/KeyGrouping.h"

#include "grouping/ExtensionTypeMap.h"
#include "grouping/KeyFolders.h"
#include "grouping/MimeTypeForURL.h"
#include "platform/files/CFURL.h"

namespace corvane {

namespace {

std::optional<std::string> ExtensionKey(const FSRef* file) {
    const std::optional<CFURL> url = CFURLCreateFromFSRef(file);
    if (!url) {
        return std::nullopt;
    }
    return CFURLCopyPathExtension(*url);
}

std::optional<std::string> MimeTypeKey(const FSRef* file) {
    const std::optional<CFURL> url = CFURLCreateFromFSRef(file);
    if (!url) {
        return std::nullopt;
    }
    return MimeTypeForURL(&*url);
}

}  // namespace

void aggregate_files_by_extension(const FSRef* folder) { GroupFilesByKey(folder, folder, ExtensionKey, 1); }

void aggregate_files_by_file_type(const FSRef* folder) { GroupFilesByKey(folder, folder, FSGetType, 1); }

void aggregate_files_by_mime_type(const FSRef* folder) { GroupFilesByKey(folder, folder, MimeTypeKey, 1); }

}  // namespace corvane
