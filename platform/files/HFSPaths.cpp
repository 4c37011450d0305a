#include "platform/files/HFSPaths.h"

#include "platform/base/UnicodeText.h"

namespace corvane {

namespace {

bool IsAbsoluteWithoutEmptyComponents(std::string_view path) {
    if (path == "/") {
        return true;
    }
    return !path.empty() && path.front() == '/' && path.back() != '/' && path.find("//") == std::string_view::npos;
}

} // namespace

std::optional<std::u16string> CFURLCopyFileSystemPath(const CFURL& url, CFURLPathStyle pathStyle) {
    const std::string& path = url.path;
    if (path.find('\0') != std::string::npos || !IsAbsoluteWithoutEmptyComponents(path)) {
        return std::nullopt;
    }
    if (pathStyle == kCFURLPOSIXPathStyle) {
        return UTF16FromUTF8(path);
    }
    std::u16string hfsPath = kHFSRootVolumeName;
    if (path == "/") {
        return hfsPath;
    }
    const std::optional<std::u16string> rest = UTF16FromUTF8(path);
    if (!rest) {
        return std::nullopt;
    }
    return hfsPath + WithSeparatorsSwapped(*rest);
}

std::optional<CFURL> CFURLCreateWithFileSystemPath(std::u16string_view filePath, CFURLPathStyle pathStyle,
                                                   bool isDirectory) {
    if (filePath.find(u'\0') != std::u16string_view::npos) {
        return std::nullopt;
    }
    std::u16string_view rest = filePath;
    if (pathStyle == kCFURLHFSPathStyle) {
        const std::u16string_view volume = kHFSRootVolumeName;
        if (rest.substr(0, volume.size()) != volume) {
            return std::nullopt;
        }
        rest.remove_prefix(volume.size());
        if (!rest.empty() && rest.front() != u':') {
            return std::nullopt;
        }
        if (!rest.empty() && rest.back() == u':') {
            isDirectory = true;
            rest.remove_suffix(1);
        }
    }
    std::optional<std::string> path = UTF8FromUTF16(rest);
    if (!path) {
        return std::nullopt;
    }
    if (pathStyle == kCFURLHFSPathStyle) {
        // "Root::" would leave ":", which swaps to "/" but names the volume's parent.
        if (*path == ":") {
            return std::nullopt;
        }
        *path = path->empty() ? std::string("/") : WithSeparatorsSwapped(std::move(*path));
    }
    if (!IsAbsoluteWithoutEmptyComponents(*path)) {
        return std::nullopt;
    }
    return CFURL{std::move(*path), isDirectory};
}

}  // namespace corvane
