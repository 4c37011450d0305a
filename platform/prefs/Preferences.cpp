#include "platform/prefs/Preferences.h"

#include <plist/plist.h>
#include <sys/stat.h>

#include <cstdlib>
#include <map>
#include <sstream>

#include "platform/base/AtomicFile.h"
#include "platform/base/ConfigurationFile.h"
#include "platform/base/PropertyLists.h"
#include "platform/base/XdgDirectories.h"

namespace corvane {

namespace {

struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    timespec modified{};
    bool operator==(const FileStamp& other) const {
        return device == other.device && inode == other.inode && size == other.size &&
               modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec;
    }
};

struct Domain {
    bool read = false;
    FileStamp stamp;
    std::map<std::string, PreferenceValue> values;
};

Domain& DomainNamed(const std::string& name) {
    static std::map<std::string, Domain> domains;
    return domains[name];
}

FileStamp StampOf(const std::string& path) {
    FileStamp stamp;
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) {
        stamp = {info.st_dev, info.st_ino, info.st_size, info.st_mtim};
    }
    return stamp;
}

std::string TextOf(plist_t node) {
    char* text = nullptr;
    plist_get_string_val(node, &text);
    std::string value = text != nullptr ? text : "";
    std::free(text);
    return value;
}

PreferenceValue ValueOf(plist_t node) {
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t flag = 0;
        plist_get_bool_val(node, &flag);
        return flag != 0;
    }
    case PLIST_UINT: {
        uint64_t number = 0;
        plist_get_uint_val(node, &number);
        return static_cast<std::int64_t>(number);
    }
    case PLIST_REAL: {
        double number = 0;
        plist_get_real_val(node, &number);
        return number;
    }
    case PLIST_STRING: return TextOf(node);
    case PLIST_ARRAY: return PreferenceOther{"(array)"};
    case PLIST_DICT: return PreferenceOther{"(dictionary)"};
    case PLIST_DATE: return PreferenceOther{"(date)"};
    case PLIST_DATA: return PreferenceOther{"(data)"};
    default: return PreferenceOther{"(unknown)"};
    }
}

// The domain's dictionary; null when there is no file, and null with problem set when there is one
// that cannot be used as a dictionary.
PlistPtr ReadDictionary(const std::string& path, std::string* problem) {
    problem->clear();
    std::string bytes;
    std::string why;
    if (const OSErr status = ReadConfigurationFile(path, bytes, &why); status != noErr) {
        *problem = status == fnfErr ? std::string() : why;
        return nullptr;
    }
    PlistPtr root = PropertyListFromBytes(bytes, &why);
    if (root == nullptr) {
        *problem = why;
        return nullptr;
    }
    if (plist_get_node_type(root.get()) != PLIST_DICT) {
        *problem = "not a property list dictionary";
        return nullptr;
    }
    return root;
}

plist_t NodeOf(const PreferenceValue& value) {
    if (const auto* flag = std::get_if<bool>(&value)) {
        return plist_new_bool(*flag ? 1 : 0);
    }
    if (const auto* number = std::get_if<std::int64_t>(&value)) {
        return plist_new_uint(static_cast<uint64_t>(*number));
    }
    if (const auto* real = std::get_if<double>(&value)) {
        return plist_new_real(*real);
    }
    if (const auto* text = std::get_if<std::string>(&value)) {
        return plist_new_string(text->c_str());
    }
    return nullptr;
}

}  // namespace

std::string PreferencesFilePath(const std::string& domain) {
    return XdgConfigHome() + "/corvane/" + domain + ".plist";
}

bool CFPreferencesAppSynchronize(const std::string& domainName, std::string* problem) {
    Domain& domain = DomainNamed(domainName);
    const std::string path = PreferencesFilePath(domainName);
    const FileStamp stamp = StampOf(path);
    if (domain.read && stamp == domain.stamp) {
        return true;
    }
    domain.read = true;
    domain.stamp = stamp;
    domain.values.clear();
    std::string why;
    const PlistPtr root = ReadDictionary(path, &why);
    if (root == nullptr) {
        if (problem != nullptr) {
            *problem = why;
        }
        return why.empty();
    }
    plist_dict_iter iterator = nullptr;
    plist_dict_new_iter(root.get(), &iterator);
    for (;;) {
        char* key = nullptr;
        plist_t node = nullptr;
        plist_dict_next_item(root.get(), iterator, &key, &node);
        if (key == nullptr) {
            break;
        }
        domain.values.emplace(key, ValueOf(node));
        std::free(key);
    }
    std::free(iterator);
    return true;
}

std::optional<PreferenceValue> CFPreferencesCopyAppValue(const std::string& key, const std::string& domainName) {
    Domain& domain = DomainNamed(domainName);
    if (!domain.read) {
        CFPreferencesAppSynchronize(domainName);
    }
    const auto found = domain.values.find(key);
    if (found == domain.values.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::vector<std::pair<std::string, PreferenceValue>> CFPreferencesCopyAppValues(const std::string& domainName) {
    CFPreferencesAppSynchronize(domainName);
    const Domain& domain = DomainNamed(domainName);
    return {domain.values.begin(), domain.values.end()};
}

bool CFPreferencesSetAppValue(const std::string& key, const std::optional<PreferenceValue>& value,
                              const std::string& domainName, std::string* errorText) {
    const std::string path = PreferencesFilePath(domainName);
    std::string problem;
    PlistPtr root = ReadDictionary(path, &problem);
    if (!problem.empty()) {
        *errorText = path + ": " + problem + "; left as it is";
        return false;
    }
    if (root == nullptr) {
        root.reset(plist_new_dict());
    }
    if (value) {
        plist_dict_set_item(root.get(), key.c_str(), NodeOf(*value));
    } else if (plist_dict_get_item(root.get(), key.c_str()) != nullptr) {
        plist_dict_remove_item(root.get(), key.c_str());
    }
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root.get(), &xml, &length);
    const std::string bytes(xml != nullptr ? xml : "", length);
    plist_to_xml_free(xml);
    if (!ReplaceFileContents(path, bytes, 0600, errorText)) {
        return false;
    }
    DomainNamed(domainName).read = false;
    return true;
}

std::string DescribePreferenceValue(const PreferenceValue& value) {
    if (const auto* flag = std::get_if<bool>(&value)) {
        return *flag ? "1" : "0";
    }
    if (const auto* number = std::get_if<std::int64_t>(&value)) {
        return std::to_string(*number);
    }
    if (const auto* real = std::get_if<double>(&value)) {
        std::ostringstream text;
        text << *real;
        return text.str();
    }
    if (const auto* text = std::get_if<std::string>(&value)) {
        return *text;
    }
    return std::get<PreferenceOther>(value).description;
}

}  // namespace corvane
