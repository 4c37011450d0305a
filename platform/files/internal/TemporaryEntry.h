// Hidden temporary entries in a destination folder, their publication under a final name that never
// replaces anything, and the removal of what a failed copy leaves. For the File Manager sources only.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <string_view>

#include "platform/base/FileDescriptors.h"
#include "platform/base/MacErrors.h"
#include "platform/files/internal/TemporaryOwners.h"

namespace corvane {

/// A temporary regular file, open for writing, in folder, on the file system of device: unnamed
/// where that file system can (O_TMPFILE), else under a fresh hidden name of ours, locked while it
/// is open. On failure nothing is created.
struct TemporaryFile {
    UniqueFd fd;
    std::string name;  ///< empty for an unnamed file
};
OSErr CreateTemporaryFile(int folder, dev_t device, TemporaryFile& file);

/// Closes the file and removes its name, if it has one.
void DiscardTemporaryFile(int folder, TemporaryFile& file);

/// Makes an entry under a fresh hidden name of ours (ending in suffix) in folder with
/// make(folder, name), which answers like mkdirat; a name that is taken is answered by trying
/// another. name receives the name used.
OSErr CreateTemporaryEntry(int folder, const std::function<int(int, const char*)>& make,
                           std::string& name, std::string_view suffix = {});

/// Gives the finished temporary file its final name in folder, on the file system of device;
/// dupFNErr when the name is taken. On failure the temporary is as it was.
OSErr PublishTemporaryFile(int folder, dev_t device, const TemporaryFile& file, const std::string& finalName);

/// Renames the finished temporary entry to its final name in folder, on the file system of device,
/// never replacing an existing one (dupFNErr). On failure the temporary is as it was.
OSErr PublishTemporaryEntry(int folder, dev_t device, const std::string& temporaryName, const std::string& finalName,
                            bool isFolder);

/// Renames the entry fromName of fromFolder to toName in toFolder, never replacing anything: with
/// RENAME_NOREPLACE where the file system of device has it, else a file or link by a hard link
/// then the removal of the old name, a folder by taking the place of an empty folder of its own
/// made under the new name; never a check, then a rename. 0, or the errno of the failure (EEXIST
/// for a taken name, EXDEV across file systems, ENOTSUP where the entry can only be copied: the file
/// system has no RENAME_NOREPLACE, and for a file no hard links or none for this one, for a folder
/// no rename onto an empty folder).
/// A folder must not be moved into itself.
int RenameNoReplace(int fromFolder, const char* fromName, int toFolder, const char* toName, dev_t device,
                    bool isFolder);

/// Whether a file or folder on the file system of device can be given its final name only by
/// making it under that name: the file system has no RENAME_NOREPLACE, and no hard links for a file
/// (FAT, exFAT), or no rename of a folder onto an empty one for a folder (fusefat).
bool CopiesMadeInPlace(dev_t device, bool isFolder);

/// Where an entry can only be made under its final name (CopiesMadeInPlace), or a folder's final
/// name is claimed by an empty folder before a rename (RenameNoReplace), a record of it under a
/// temporary name of ours, locked while it is open: the entry's name, then its inode once it is
/// made. A later run that finds the record abandoned removes that entry with it while it is the
/// one recorded: a partial copy, or a claim that is still empty. Without its inode, the entry goes
/// only while it is empty. Opened before the entry is made, closed (removed) as soon as the entry
/// is complete; OpenInPlaceRecord leaves errno set when it fails, RecordInPlaceEntry when it
/// returns false.
struct InPlaceRecord {
    UniqueFd fd;
    std::string name;
};
enum class RecordedEntry { partialCopy, nameClaim };
OSErr OpenInPlaceRecord(int folder, const std::string& entryName, InPlaceRecord& record);
bool RecordInPlaceEntry(const InPlaceRecord& record, ino_t inode, RecordedEntry kind = RecordedEntry::partialCopy);
void CloseInPlaceRecord(int folder, InPlaceRecord& record);

/// Removes the entry name in folder and, for a folder, everything in it; a link is removed, never
/// followed. With ownTree, folders are first made writable (the copy's own read-only folders).
/// Stops at the first failure, which it returns.
OSErr RemoveTree(int folder, const std::string& name, bool ownTree);

}  // namespace corvane
