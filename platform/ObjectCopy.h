// Copying one folder entry into a folder under a final name, shared by the copy and by a move
// across file systems, and the destination both of them resolve. For the File Manager sources only.
#pragma once

#include <sys/stat.h>

#include <functional>
#include <string>

#include "platform/FSRefResolve.h"
#include "platform/FileDescriptors.h"
#include "platform/Files.h"

/// Where a copied or moved item goes: the folder, open, and the POSIX name it is to have there.
struct Destination {
    ResolvedRef folder;
    UniqueFd fd;
    std::string name;
};

/// Resolves the item and the destination folder of a copy or move and opens the folder. The name is
/// destName's POSIX form, or the item's own name when destName is null. paramErr for options other
/// than 0 or for the root folder "/", errFSNotAFolder when destDir is not a folder, bdNamErr for a
/// catalog name that no POSIX name maps to.
OSErr OpenDestination(const FSRef* source, const FSRef* destDir, const std::u16string* destName, OptionBits options,
                      ResolvedRef& item, Destination& destination);

/// Copies the entry at sourcePath, whose lstat is sourceStatus, into the folder open at folder under
/// name: a regular file with its data, a link as a link, a folder whole; each with its extended
/// attributes, permissions and times (a link with its times only). copied receives the new entry's
/// lstat. dupFNErr when the name is taken; paramErr for a FIFO, socket or device node (never
/// opened) and for a folder copied into itself. On failure nothing new is under name, no temporary
/// is left and the source is untouched.
OSErr CopyEntryInto(const std::string& sourcePath, const struct stat& sourceStatus, int folder, const std::string& name,
                    struct stat& copied);

/// Whether the folder open at folder is the object with status ancestor or lies inside it.
bool FolderIsWithin(int folder, const struct stat& ancestor);

/// The reference of the entry destination.name, whose lstat is status.
OSErr MakeDestinationRef(const Destination& destination, const struct stat& status, FSRef* ref);

/// Test seam: runs once a copy is complete, just before it is published under its final name.
/// An empty function removes it.
void SetBeforePublishHook(std::function<void()> hook);
