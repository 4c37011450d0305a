#include "grouping/ExtensionTypeMap.h"

#include <locale.h>
#include <wctype.h>

#include <vector>

#include "platform/base/Log.h"
#include "platform/base/UnicodeText.h"
#include "platform/files/CFURL.h"
#include "platform/types/InternetConfig.h"

namespace corvane {

std::unordered_map<std::string, std::string> gExtensionTypeMap;

namespace {

constexpr const char* kDefaultMappingName = "extension-mapping.plist";

// A long list of bad entries would drown the line; the first few locate the trouble.
constexpr std::size_t kListedEntryLimit = 10;

bool IsSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

// Lower case by a locale-independent rule: the Unicode case mapping of C.UTF-8 where the system has
// that locale, else A-Z only.
std::string CFStringLowercase(const std::string& text) {
    static const locale_t caseLocale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    std::optional<std::u16string> units = UTF16FromUTF8(text);
    if (!units) {
        return text;
    }
    for (char16_t& unit : *units) {
        if (IsSurrogate(unit)) {
            continue;
        }
        const wint_t lower = caseLocale != nullptr ? towlower_l(unit, caseLocale)
                                                   : (unit >= u'A' && unit <= u'Z' ? unit + (u'a' - u'A') : unit);
        if (lower < 0x10000 && !IsSurrogate(static_cast<char16_t>(lower))) {
            unit = static_cast<char16_t>(lower);
        }
    }
    return UTF8FromUTF16(*units).value_or(text);
}

std::string DescribeFault(const ICMappingDatabase& database) {
    switch (database.fault) {
    case ICMappingFault::missing: return "no such file";
    case ICMappingFault::unreadable:
    case ICMappingFault::notPropertyList: return database.problem;
    case ICMappingFault::notEntryArray: return "not an array of mapping entries";
    case ICMappingFault::none: break;
    }
    return {};
}

std::string DescribeLeftOut(const std::vector<long>& leftOut) {
    std::string text = leftOut.size() == 1 ? "entry " : "entries ";
    for (std::size_t i = 0; i < leftOut.size() && i < kListedEntryLimit; ++i) {
        text += (i == 0 ? "" : ", ") + std::to_string(leftOut[i]);
    }
    if (leftOut.size() > kListedEntryLimit) {
        text += " and " + std::to_string(leftOut.size() - kListedEntryLimit) + " more";
    }
    return text + " left out (no usable \"extension\" or \"file type\")";
}

// Stores one entry; false when it has no usable type text or extension.
bool StoreEntry(const ICMapEntry& entry) {
    const std::optional<std::string> type = TypeTextOfCode(entry.fileType);
    if (!type || type->empty()) {
        return false;
    }
    // One dot only: an extension written with two keeps one.
    std::string extension = entry.extension.starts_with('.') ? entry.extension.substr(1) : entry.extension;
    if (extension.empty()) {
        return false;
    }
    gExtensionTypeMap.insert_or_assign(std::move(extension), *type);
    return true;
}

}  // namespace

std::optional<std::string> TypeTextOfCode(OSType code) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char byte = static_cast<char>((code >> shift) & 0xFF);
        if (byte == '\0') {
            break;
        }
        text.push_back(byte);
    }
    if (!IsValidUTF8(text)) {
        return std::nullopt;
    }
    return text;
}

void InitializeExtensionTypeMap() {
    gExtensionTypeMap.clear();
    const std::optional<std::string> path = ICMappingFilePath();
    if (!path) {
        NSLogFailure("Extension mapping \"%@\": %@", {kDefaultMappingName, "no such file"});
        return;
    }
    const ICMappingDatabase database = ICReadMappingFile(*path);
    if (database.fault != ICMappingFault::none) {
        NSLogFailure("Extension mapping \"%@\": %@", {*path, DescribeFault(database)});
        return;
    }
    std::vector<long> leftOut;
    const long count = ICCountMapEntries(database);
    for (long index = 1; index <= count; ++index) {
        const std::optional<ICMapEntry> entry = ICGetIndMapEntry(database, index);
        if (!entry || !StoreEntry(*entry)) {
            leftOut.push_back(index);
        }
    }
    if (!leftOut.empty()) {
        NSLogFailure("Extension mapping \"%@\": %@", {*path, DescribeLeftOut(leftOut)});
    }
}

std::optional<std::string> FSGetType(const FSRef* item) {
    FSCatalogInfo info{};
    if (FSGetCatalogInfo(item, kFSCatInfoFinderInfo, &info, nullptr, nullptr) == noErr &&
        info.finderInfo.fileType != 0) {
        // An empty text counts as a type; only a code without any text falls through to the mapping.
        if (std::optional<std::string> text = TypeTextOfCode(info.finderInfo.fileType)) {
            return text;
        }
    }
    const std::optional<CFURL> url = CFURLCreateFromFSRef(item);
    if (!url) {
        return std::nullopt;
    }
    const std::optional<std::string> extension = CFURLCopyPathExtension(*url);
    if (!extension) {
        return std::nullopt;
    }
    const auto found = gExtensionTypeMap.find(CFStringLowercase(*extension));
    if (found == gExtensionTypeMap.end()) {
        return std::nullopt;
    }
    return found->second;
}

}  // namespace corvane
