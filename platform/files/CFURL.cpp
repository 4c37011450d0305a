#include "platform/files/CFURL.h"

#include "platform/base/UnicodeText.h"
#include "platform/files/FSRefResolve.h"
#include "platform/files/internal/FSRefTable.h"

namespace corvane {

std::optional<CFURL> CFURLCreateFromFSRef(const FSRef* ref) {
    ResolvedRef resolved;
    if (ResolveFSRef(ref, resolved) != noErr) {
        return std::nullopt;
    }
    std::string path = FSRefTablePath(ref->pathSlot);
    if (!IsValidUTF8(path)) {
        return std::nullopt;
    }
    return CFURL{std::move(path), S_ISDIR(resolved.status.st_mode)};
}

std::optional<std::string> CFURLCopyPathExtension(const CFURL& url) {
    const std::size_t slash = url.path.rfind('/');
    const std::string_view name = std::string_view(url.path).substr(slash == std::string::npos ? 0 : slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot + 1 == name.size()) {
        return std::nullopt;
    }
    return std::string(name.substr(dot + 1));
}

}  // namespace corvane
