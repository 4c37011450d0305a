#include "support/HostileFiles.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <stdexcept>

#include "support/TempDir.h"

namespace corvane {

namespace {

void PutBigEndian(std::string& bytes, std::uint64_t value, std::size_t size) {
    for (std::size_t i = size; i-- > 0;) {
        bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

}  // namespace

std::string BinaryPlist(const std::vector<BinaryObject>& objects) {
    constexpr std::size_t kSize = 4;  // of each offset and each reference
    std::string bytes = "bplist00";
    std::vector<std::uint64_t> offsets;
    for (const BinaryObject& object : objects) {
        offsets.push_back(bytes.size());
        if (!object) {
            bytes.push_back('\x09');
            continue;
        }
        if (object->size() < 15) {
            bytes.push_back(static_cast<char>(0xA0 | object->size()));
        } else {
            bytes += "\xAF\x12";
            PutBigEndian(bytes, object->size(), 4);
        }
        for (const std::uint32_t reference : *object) {
            PutBigEndian(bytes, reference, kSize);
        }
    }
    const std::uint64_t offsetTable = bytes.size();
    for (const std::uint64_t offset : offsets) {
        PutBigEndian(bytes, offset, kSize);
    }
    bytes.append(6, '\0');
    bytes.push_back(static_cast<char>(kSize));
    bytes.push_back(static_cast<char>(kSize));
    PutBigEndian(bytes, objects.size(), 8);
    PutBigEndian(bytes, 0, 8);
    PutBigEndian(bytes, offsetTable, 8);
    return bytes;
}

std::string DeepXmlPlist(std::size_t depth) {
    std::string open, close;
    for (std::size_t i = 0; i < depth; ++i) {
        open += "<array>";
        close += "</array>";
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">" + open + "<true/>" + close +
           "</plist>\n";
}

std::string DeepBinaryPlist(std::size_t depth) {
    std::vector<BinaryObject> objects;
    for (std::uint32_t i = 0; i < depth; ++i) {
        objects.emplace_back(std::vector<std::uint32_t>{i + 1});
    }
    objects.emplace_back(std::nullopt);
    return BinaryPlist(objects);
}

const std::vector<HostileKind>& AllHostileKinds() {
    static const std::vector<HostileKind> kinds{HostileKind::fifo,       HostileKind::device,          HostileKind::huge,
                                                HostileKind::deepXml,    HostileKind::deepBinary,
                                                HostileKind::truncatedBinary, HostileKind::junk};
    return kinds;
}

const char* HostileKindName(HostileKind kind) {
    static const char* const names[] = {"FIFO", "link to /dev/zero", "sparse file over the limit", "XML nested 100,000 deep",
                                        "binary list nested 100,000 deep", "binary list cut short", "binary junk"};
    return names[static_cast<int>(kind)];
}

void MakeHostileFile(HostileKind kind, const std::string& path) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    constexpr std::size_t kDepth = 100000;
    switch (kind) {
    case HostileKind::fifo:
        if (mkfifo(path.c_str(), 0644) != 0) {
            throw std::runtime_error("mkfifo " + path);
        }
        return;
    case HostileKind::device: std::filesystem::create_symlink("/dev/zero", path); return;
    case HostileKind::huge:
        WriteFile(path, "");
        std::filesystem::resize_file(path, 64 * 1024 * 1024);
        return;
    case HostileKind::deepXml: WriteFile(path, DeepXmlPlist(kDepth)); return;
    case HostileKind::deepBinary: WriteFile(path, DeepBinaryPlist(kDepth)); return;
    case HostileKind::truncatedBinary: {
        const std::string whole = BinaryPlist({std::vector<std::uint32_t>{1, 2}, std::nullopt, std::nullopt});
        WriteFile(path, whole.substr(0, whole.size() / 2));
        return;
    }
    case HostileKind::junk: {
        std::mt19937 random(7);
        std::string bytes = "bplist00";
        while (bytes.size() < 4104) {
            bytes.push_back(static_cast<char>(random()));
        }
        WriteFile(path, bytes);
    }
    }
}

}  // namespace corvane
