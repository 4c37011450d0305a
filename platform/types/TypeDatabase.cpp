#include "platform/types/TypeDatabase.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <set>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/base/AsciiText.h"
#include "platform/base/ConfigurationFile.h"
#include "platform/base/XdgDirectories.h"

namespace corvane {

namespace {

// One "*.ext" glob as the database keeps it for lookup.
struct ExtensionGlob {
    int weight;
    std::string type;
    std::string extension;  // as written; compared folded unless caseSensitive
    bool caseSensitive;
    int importance;       // higher for a folder earlier in the XDG search order
    std::size_t sequence;  // order of reading, for a stable choice among equals
};

struct Database {
    // Keyed by the folded extension, so one lookup finds every glob that might match.
    std::unordered_map<std::string, std::vector<ExtensionGlob>> globs;
    std::size_t sequence = 0;
};

Database& LoadedDatabase() {
    static Database database;
    return database;
}

constexpr std::string_view kDynamicPrefix = "dyn.";

// Most important first: the user's data folder, then the system's in the order given.
std::vector<std::string> DataFolders() {
    std::vector<std::string> folders{XdgDataHome()};
    for (std::string& folder : XdgDataDirs()) {
        folders.push_back(std::move(folder));
    }
    return folders;
}

struct GlobLine {
    int weight;
    std::string type;
    std::string pattern;
    bool caseSensitive;
};

std::vector<std::string> SplitFields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = line.find(':', start);
        fields.push_back(line.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) {
            return fields;
        }
        start = end + 1;
    }
}

std::optional<GlobLine> ParseGlobLine(const std::string& line) {
    const std::vector<std::string> fields = SplitFields(line);
    if (fields.size() < 3 || fields[0].empty() || fields[1].empty() || fields[2].empty()) {
        return std::nullopt;
    }
    char* end = nullptr;
    const long weight = std::strtol(fields[0].c_str(), &end, 10);
    if (*end != '\0' || weight < 0 || weight > 100) {
        return std::nullopt;
    }
    bool caseSensitive = false;
    if (fields.size() > 3) {
        std::size_t start = 0;
        const std::string& flags = fields[3];
        while (start <= flags.size()) {
            const std::size_t comma = std::min(flags.find(',', start), flags.size());
            caseSensitive = caseSensitive || flags.compare(start, comma - start, "cs") == 0;
            start = comma + 1;
        }
    }
    return GlobLine{static_cast<int>(weight), fields[1], fields[2], caseSensitive};
}

// The extension of a glob of the form "*.ext" with no other wildcard; none for any other glob.
std::optional<std::string> ExtensionOfPattern(const std::string& pattern) {
    if (!pattern.starts_with("*.") || pattern.size() == 2) {
        return std::nullopt;
    }
    const std::string extension = pattern.substr(2);
    if (extension.find_first_of("*?[") != std::string::npos) {
        return std::nullopt;
    }
    return extension;
}

// Reads one globs2 file into lines; none, with the status and why, when it cannot be read or holds no
// usable line.
std::optional<std::vector<GlobLine>> ReadGlobsFile(const std::string& path, OSErr* status, std::string* why) {
    std::string bytes;
    *status = ReadConfigurationFile(path, bytes, why);
    if (*status != noErr) {
        return std::nullopt;
    }
    std::vector<GlobLine> lines;
    std::istringstream in(bytes);
    std::string text;
    while (std::getline(in, text)) {
        if (text.empty() || text.starts_with('#')) {
            continue;
        }
        if (auto line = ParseGlobLine(text)) {
            lines.push_back(std::move(*line));
        }
    }
    if (lines.empty()) {
        *status = ioErr;
        *why = "holds no line of the form weight:type:glob";
        return std::nullopt;
    }
    return lines;
}

void RemoveGlobsOfType(Database& database, const std::string& type) {
    for (auto& [extension, globs] : database.globs) {
        std::erase_if(globs, [&](const ExtensionGlob& glob) { return glob.type == type; });
    }
}

void AddFolderLines(Database& database, const std::vector<GlobLine>& lines, int importance) {
    // update-mime-database repeats every case-sensitive glob without its flag for readers that know no
    // flags; that copy must not let "*.C" match "c".
    std::set<std::pair<std::string, std::string>> caseSensitiveGlobs;
    for (const GlobLine& line : lines) {
        if (line.caseSensitive) {
            caseSensitiveGlobs.emplace(line.type, line.pattern);
        }
    }
    for (const GlobLine& line : lines) {
        if (line.pattern == "__NOGLOBS__") {
            // Only the globs of less important folders, read before this one, are discarded.
            RemoveGlobsOfType(database, line.type);
        }
    }
    for (const GlobLine& line : lines) {
        const std::optional<std::string> extension = ExtensionOfPattern(line.pattern);
        if (!extension || line.type.find('/') == std::string::npos) {
            continue;
        }
        if (!line.caseSensitive && caseSensitiveGlobs.contains({line.type, line.pattern})) {
            continue;
        }
        database.globs[AsciiLowercase(*extension)].push_back(
            {line.weight, line.type, *extension, line.caseSensitive, importance, database.sequence++});
    }
}

// Whether a wins over b: higher weight, then an exact-case glob, then the more important folder,
// then the earlier line.
bool Precedes(const ExtensionGlob& a, const ExtensionGlob& b) {
    return std::make_tuple(-a.weight, !a.caseSensitive, -a.importance, a.sequence) <
           std::make_tuple(-b.weight, !b.caseSensitive, -b.importance, b.sequence);
}

std::optional<std::string> PreferredTypeOfExtension(std::string_view extension) {
    const Database& database = LoadedDatabase();
    const auto found = database.globs.find(AsciiLowercase(extension));
    if (found == database.globs.end()) {
        return std::nullopt;
    }
    const ExtensionGlob* best = nullptr;
    for (const ExtensionGlob& glob : found->second) {
        if (glob.caseSensitive && glob.extension != extension) {
            continue;
        }
        if (best == nullptr || Precedes(glob, *best)) {
            best = &glob;
        }
    }
    if (best == nullptr) {
        return std::nullopt;
    }
    return best->type;
}

bool IsKnownType(std::string_view type) {
    for (const auto& [extension, globs] : LoadedDatabase().globs) {
        for (const ExtensionGlob& glob : globs) {
            if (glob.type == type) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

OSErr LoadTypeDatabase(std::vector<TypeDatabaseFileFault>* leftOut) {
    Database loaded;
    const std::vector<std::string> folders = DataFolders();
    OSErr status = fnfErr;
    bool anyRead = false;
    // Least important first, so that a more important folder's __NOGLOBS__ sees what it overrides.
    for (std::size_t index = folders.size(); index-- > 0;) {
        const std::string path = folders[index] + "/mime/globs2";
        OSErr fileStatus = noErr;
        std::string why;
        const std::optional<std::vector<GlobLine>> lines = ReadGlobsFile(path, &fileStatus, &why);
        if (!lines) {
            if (fileStatus != fnfErr) {
                status = fileStatus;
                if (leftOut != nullptr) {
                    leftOut->push_back({path, why});
                }
            }
            continue;
        }
        AddFolderLines(loaded, *lines, static_cast<int>(folders.size() - index));
        anyRead = true;
    }
    LoadedDatabase() = std::move(loaded);
    return anyRead ? noErr : status;
}

std::string UTTypeCreatePreferredIdentifierForTag(std::string_view tagClass, std::string_view tag) {
    if (tagClass == kUTTagClassFilenameExtension) {
        if (std::optional<std::string> type = PreferredTypeOfExtension(tag)) {
            return std::move(*type);
        }
    }
    std::string identifier(kDynamicPrefix);
    identifier.append(tagClass).append("=").append(tag);
    return identifier;
}

std::optional<std::string> UTTypeCopyPreferredTagWithClass(std::string_view identifier, std::string_view tagClass) {
    if (tagClass != kUTTagClassMIMEType || identifier.starts_with(kDynamicPrefix) || !IsKnownType(identifier)) {
        return std::nullopt;
    }
    return std::string(identifier);
}

}  // namespace corvane
