#include "grouping/KeyGrouping.h"
#include "grouping/MimeTypeForURL.h"

namespace {

std::optional<std::string> MimeTypeKey(const FSRef* file) {
    const std::optional<CFURL> url = CFURLCreateFromFSRef(file);
    if (!url) {
        return std::nullopt;
    }
    return MimeTypeForURL(&*url);
}

}  // namespace

void aggregate_files_by_mime_type(const FSRef* folder) { aggregate_files_with_key(folder, MimeTypeKey); }
