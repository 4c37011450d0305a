#include "grouping/MimeTypeForURL.h"

#include "platform/base/Log.h"
#include "platform/types/TypeDatabase.h"

namespace corvane {

void InitializeMimeTypeDatabase() {
    std::vector<TypeDatabaseFileFault> leftOut;
    const OSErr status = LoadTypeDatabase(&leftOut);
    for (const TypeDatabaseFileFault& fault : leftOut) {
        NSLogFailure("MIME type database \"%@\": %@; it is left out", {fault.path, fault.problem});
    }
    // Each file left out is named above; this line is for a system without any.
    if (status != noErr && leftOut.empty()) {
        NSLogFailure("The MIME type database could not be read (error %d); MIME types fall back to "
              "application/<extension>",
              {std::int64_t{status}});
    }
}

std::optional<std::string> MimeTypeForURL(const CFURL* url) {
    if (url == nullptr) {
        return std::nullopt;
    }
    const std::optional<std::string> extension = CFURLCopyPathExtension(*url);
    if (!extension) {
        return std::nullopt;
    }
    const std::string identifier = UTTypeCreatePreferredIdentifierForTag(kUTTagClassFilenameExtension, *extension);
    if (std::optional<std::string> mimeType = UTTypeCopyPreferredTagWithClass(identifier, kUTTagClassMIMEType)) {
        return mimeType;
    }
    return "application/" + *extension;
}

}  // namespace corvane
