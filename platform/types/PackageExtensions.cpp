#include "platform/types/PackageExtensions.h"

#include <optional>

#include "platform/base/AsciiText.h"
#include "platform/base/ConfigurationFile.h"
#include "platform/base/DataFiles.h"

namespace corvane {

namespace {

constexpr std::string_view kBuiltInList =
    "app\nAppDir\nbundle\nframework\nplugin\nkext\nprefpane\nqlgenerator\nmdimporter\nsaver\nwdgt\nxpc\nappex\n"
    "colorpicker\ndSYM\nxctest\npkg\nmpkg\nrtfd\npages\nnumbers\nkey\nlogicx\nimovielibrary\nphotoslibrary\n"
    "aplibrary\nfcpbundle\nscptd\nplayground\nplaygroundbook\nxcodeproj\nxcworkspace\nxcarchive\nsparsebundle\n"
    "vmwarevm\npvm\nutm\n";

std::optional<std::set<std::string, std::less<>>>& LoadedExtensions() {
    static std::optional<std::set<std::string, std::less<>>> extensions;
    return extensions;
}

}  // namespace

std::string_view BuiltInPackageExtensions() { return kBuiltInList; }

std::set<std::string, std::less<>> ParsePackageExtensions(std::string_view text) {
    std::set<std::string, std::less<>> extensions;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        line = TrimmedOf(line.substr(0, line.find('#')), " \t\r");
        if (line.starts_with('.')) {
            line.remove_prefix(1);
        }
        if (!line.empty()) {
            extensions.insert(AsciiLowercase(line));
        }
    }
    return extensions;
}

OSErr LoadPackageExtensions(std::string* path, std::string* why) {
    LoadedExtensions() = ParsePackageExtensions(BuiltInPackageExtensions());
    const std::optional<std::string> found = FindDataFile("package-extensions");
    if (!found) {
        return fnfErr;
    }
    if (path != nullptr) {
        *path = *found;
    }
    std::string text;
    const OSErr status = ReadConfigurationFile(*found, text, why);
    if (status == noErr) {
        LoadedExtensions() = ParsePackageExtensions(text);
    }
    return status;
}

bool IsPackageExtension(std::string_view extension) {
    if (!LoadedExtensions()) {
        LoadPackageExtensions(nullptr, nullptr);
    }
    return LoadedExtensions()->contains(AsciiLowercase(extension));
}

}  // namespace corvane
