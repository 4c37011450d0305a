// A new name for an item whose name is taken at its destination.
#include "fileops/ObjectMover.h"
#include "platform/base/UUID.h"
#include "platform/files/CFURL.h"

namespace corvane {

std::optional<std::u16string> RenameDuplicateFile(const FSRef* destination, const FSRef* item) {
    const std::optional<std::string> name = FSGetObjectName(item);
    if (!name || !FSObjectExists(destination, *name, nullptr)) {
        return std::nullopt;
    }
    return GetUnicodeString(UniqueNameLike(*name));
}

std::string UniqueNameLike(const std::string& name) {
    std::string stem = name;
    const std::optional<std::string> extension = CFURLCopyPathExtension(CFURL{"/" + name, false});
    if (extension) {
        // The last occurrence anywhere in the name, literally: "archive.tar.gz" keeps "archive.tar".
        const std::string dotted = "." + *extension;
        if (const std::size_t at = stem.rfind(dotted); at != std::string::npos) {
            stem.erase(at, dotted.size());
        }
    }
    std::string unique = stem;
    if (!unique.empty()) {
        unique += " - ";
    }
    unique += CFUUIDCreateString();
    if (extension) {
        unique += "." + *extension;
    }
    return unique;
}

}  // namespace corvane
