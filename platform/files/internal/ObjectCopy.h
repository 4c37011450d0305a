// Copying one folder entry into a folder under a final name, shared by the copy and by a move
// across file systems, and the destination both of them work in. For the File Manager sources only.
#pragma once

#include <sys/stat.h>

#include <functional>
#include <string>

#include "platform/files/FSRefResolve.h"
#include "platform/files/Files.h"
#include "platform/files/internal/FileDataCopy.h"

namespace corvane {

/// Where a copied or moved item goes: the held descriptor of the folder, its device and slot, and
/// the POSIX name the item is to have there.
struct Destination {
    int folder = -1;
    dev_t device = 0;
    std::uint32_t slot = 0;
    std::string name;
};

/// Resolves the item and the destination folder of a copy or move. The name is destName's POSIX
/// form, or the item's own name when destName is null. paramErr for options other than 0 or for a
/// root, errFSNotAFolder when destDir is not a folder (a link to one included), bdNamErr for a
/// catalog name that no POSIX name maps to.
OSErr OpenDestination(const FSRef* source, const FSRef* destDir, const std::u16string* destName, OptionBits options,
                      ResolvedRef& item, Destination& destination);

/// Copies the resolved entry into the destination: a regular file with its data, a link as a link,
/// a folder whole; each with its extended attributes (as rule says), permissions and times (a link
/// with its times only). copied receives the new entry's status, and source the status of the
/// source as it was when copied. dupFNErr when the name is taken; paramErr for a FIFO, socket or
/// device node (never opened) and for a folder copied into itself; fnfErr when the entry is no
/// longer the object resolved. On failure nothing new is under the name, no temporary is left and
/// the source is untouched.
OSErr CopyEntryInto(const ResolvedRef& item, const Destination& destination, UserAttributes rule, struct stat& copied,
                    struct stat& source);

/// Whether the folder open at folder is the object with status ancestor or lies inside it.
bool FolderIsWithin(int folder, const struct stat& ancestor);

/// The reference of the entry destination.name, whose status is status.
OSErr MakeDestinationRef(const Destination& destination, const struct stat& status, FSRef* ref);

/// Test seam: runs once a copy is complete, just before it is published under its final name; where
/// a copy is made in place, just before that name is claimed. An empty function removes it.
void SetBeforePublishHook(std::function<void()> hook);

}  // namespace corvane
