// The name and lookup operations that the mover and the key-folder step share.
#include <cstring>
#include <vector>

#include "fileops/ItemTests.h"
#include "fileops/ObjectMover.h"
#include "fileops/PlacementRecorder.h"
#include "platform/base/UnicodeText.h"

namespace corvane {

namespace {

// Catalog lookups name items by their UTF-16 units and ask for no text-encoding conversion.
constexpr TextEncoding kTextEncodingUnknown = 0xFFFF;

}  // namespace

std::optional<std::string> FSGetObjectName(const FSRef* item) { return FSGetName(item); }

std::optional<std::string> GetObjectName(const FSRef* item) { return FSGetName(item); }

OSErr FSGetParentRef(const FSRef* item, FSRef* parent) {
    if (parent == nullptr) {
        return paramErr;
    }
    FSCatalogInfo info{};
    const OSErr result = FSGetCatalogInfo(item, kFSCatInfoNodeID, &info, nullptr, parent);
    if (result == noErr && info.nodeID == fsRtDirID) {
        std::memset(parent, 0, sizeof *parent);
    }
    return result;
}

std::optional<std::u16string> GetUnicodeString(const std::string& text) { return UTF16FromUTF8(text); }

bool FSObjectExists(const FSRef* parent, const std::string& name, FSRef* found) {
    const std::optional<std::u16string> units = GetUnicodeString(name);
    if (!units) {
        // A name with no UTF-16 form cannot be looked up; like any other failed lookup it counts as there.
        return true;
    }
    FSRef lookedUp{};
    const OSErr result = FSMakeFSRefUnicode(parent, static_cast<UniCharCount>(units->size()), units->data(),
                                            kTextEncodingUnknown, &lookedUp);
    if (result == noErr && found != nullptr) {
        *found = lookedUp;
    }
    return result != fnfErr;
}

OSErr FSCreateDirectory(const FSRef* parent, const std::string& name, FSRef* folder) {
    if (folder != nullptr) {
        // A lookup that fails without finding anything must leave a reference that reads as invalid,
        // never one that names some other item.
        std::memset(folder, 0, sizeof *folder);
    }
    if (FSObjectExists(parent, name, folder)) {
        return noErr;
    }
    const std::optional<std::u16string> units = GetUnicodeString(name);
    if (!units) {
        return bdNamErr;
    }
    const OSErr result = FSCreateDirectoryUnicode(parent, static_cast<UniCharCount>(units->size()), units->data(),
                                                  kFSCatInfoNone, nullptr, folder, nullptr);
    if (result == noErr && folder != nullptr) {
        RecordFolderMade(folder);
    }
    return result;
}

std::optional<std::string> PathOfRef(const FSRef* item, std::size_t bufferSize) {
    std::vector<char> buffer(bufferSize);
    OSErr made = FSRefMakePath(item, buffer.data(), static_cast<std::uint32_t>(buffer.size()));
    while (made == errFSNameTooLong) {
        buffer.resize(buffer.size() * 2);
        made = FSRefMakePath(item, buffer.data(), static_cast<std::uint32_t>(buffer.size()));
    }
    if (made != noErr) {
        return std::nullopt;
    }
    std::string path(buffer.data());
    if (!IsValidUTF8(path)) {
        return std::nullopt;
    }
    return path;
}

}  // namespace corvane
