#include "platform/types/InternetConfig.h"

#include <sys/stat.h>

#include "platform/base/ConfigurationFile.h"
#include "platform/base/DataFiles.h"
#include "platform/base/PropertyLists.h"
#include "platform/base/XdgDirectories.h"

namespace corvane {

namespace {

constexpr const char* kMappingFileName = "extension-mapping.plist";

// A Pascal string holds at most 255 bytes.
constexpr std::size_t kMaximumExtensionBytes = 255;

std::optional<std::string> StringOf(plist_t node) {
    if (node == nullptr || plist_get_node_type(node) != PLIST_STRING) {
        return std::nullopt;
    }
    std::uint64_t length = 0;
    const char* text = plist_get_string_ptr(node, &length);
    if (text == nullptr) {
        return std::nullopt;
    }
    return std::string(text, length);
}

// A four-character code from its text: at most four bytes, first byte most significant, the rest zero.
std::optional<OSType> CodeOf(plist_t node) {
    const std::optional<std::string> text = StringOf(node);
    if (!text || text->size() > 4) {
        return std::nullopt;
    }
    OSType code = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        code = (code << 8) | (i < text->size() ? static_cast<unsigned char>((*text)[i]) : 0u);
    }
    return code;
}

// An optional field is fine when absent and spoils the entry when present with the wrong type.
bool ReadOptionalString(plist_t entry, const char* key, std::string* value) {
    const plist_t node = plist_dict_get_item(entry, key);
    if (node == nullptr) {
        return true;
    }
    std::optional<std::string> text = StringOf(node);
    if (!text) {
        return false;
    }
    *value = std::move(*text);
    return true;
}

std::optional<ICMapEntry> EntryOf(plist_t node) {
    if (node == nullptr || plist_get_node_type(node) != PLIST_DICT) {
        return std::nullopt;
    }
    ICMapEntry entry;
    const std::optional<OSType> fileType = CodeOf(plist_dict_get_item(node, "file type"));
    std::optional<std::string> extension = StringOf(plist_dict_get_item(node, "extension"));
    if (!fileType || !extension || extension->size() > kMaximumExtensionBytes) {
        return std::nullopt;
    }
    entry.fileType = *fileType;
    entry.extension = std::move(*extension);
    if (const plist_t creator = plist_dict_get_item(node, "creator")) {
        const std::optional<OSType> code = CodeOf(creator);
        if (!code) {
            return std::nullopt;
        }
        entry.fileCreator = *code;
    }
    if (!ReadOptionalString(node, "MIME type", &entry.MIMEType) ||
        !ReadOptionalString(node, "entry name", &entry.entryName)) {
        return std::nullopt;
    }
    return entry;
}

}  // namespace

std::optional<std::string> ICMappingFilePath() {
    const std::string userFile = XdgConfigHome() + "/corvane/" + kMappingFileName;
    struct stat info {};
    // A user's file that is present but broken is still the user's choice: it is not passed over.
    if (lstat(userFile.c_str(), &info) == 0) {
        return userFile;
    }
    return FindDataFile(kMappingFileName);
}

ICMappingDatabase ICReadMappingFile(const std::string& path) {
    ICMappingDatabase database;
    database.path = path;
    std::string bytes;
    if (const OSErr status = ReadConfigurationFile(path, bytes, &database.problem); status != noErr) {
        database.fault = status == fnfErr ? ICMappingFault::missing : ICMappingFault::unreadable;
        return database;
    }
    const PlistPtr root = PropertyListFromBytes(bytes, &database.problem);
    if (!root) {
        database.fault = ICMappingFault::notPropertyList;
        return database;
    }
    if (plist_get_node_type(root.get()) != PLIST_ARRAY) {
        database.fault = ICMappingFault::notEntryArray;
        return database;
    }
    const std::uint32_t count = plist_array_get_size(root.get());
    database.entries.reserve(count);
    for (std::uint32_t index = 0; index < count; ++index) {
        database.entries.push_back(EntryOf(plist_array_get_item(root.get(), index)));
    }
    return database;
}

long ICCountMapEntries(const ICMappingDatabase& database) { return static_cast<long>(database.entries.size()); }

std::optional<ICMapEntry> ICGetIndMapEntry(const ICMappingDatabase& database, long index) {
    if (index < 1 || index > ICCountMapEntries(database)) {
        return std::nullopt;
    }
    return database.entries[static_cast<std::size_t>(index - 1)];
}

}  // namespace corvane
