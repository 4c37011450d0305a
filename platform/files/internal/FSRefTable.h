// The process-wide table behind FSRef: for each slot, the folder slot and entry name at which this
// process last saw an object, and for the folders in use an open descriptor, so that everything
// below a root is reached from a held folder one name at a time. Released pool by pool. For the
// File Manager sources only; one thread.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/base/FileDescriptors.h"
#include "platform/base/MacErrors.h"

namespace corvane {

/// Slot 0 names nothing, so that an all-zero FSRef is never valid.
constexpr std::uint32_t kNoSlot = 0;

/// The slot of a root: a folder reached from outside the table, named by its absolute path and held
/// open by folder (an O_PATH descriptor) as long as the slot lives. A live root of the same path
/// and identity is reused and folder closed. kNoSlot when memory ran out.
std::uint32_t FSRefTableRoot(std::string_view absolutePath, UniqueFd folder, const struct stat& status);

/// The deepest live root made inside a pool whose path is path or a leading part of it ending at a
/// '/'; rest receives what follows that part. kNoSlot when no such root contains path.
std::uint32_t FSRefTableRootOf(std::string_view path, std::string_view& rest);

/// The slot of the entry `name` inside the folder at parentSlot, added to the open pool when the
/// table has none yet. kNoSlot when memory ran out or the name cannot be a single entry name.
std::uint32_t FSRefTableChild(std::uint32_t parentSlot, std::string_view name);

/// Whether slot is in the table and was made in the given generation.
bool FSRefTableLive(std::uint32_t slot, std::uint32_t generation);

/// The generation of a slot in the table: the pool that was open when it was made.
std::uint32_t FSRefTableGeneration(std::uint32_t slot);

/// Whether the slot is a root.
bool FSRefTableIsRoot(std::uint32_t slot);

/// The absolute path of a slot in the table.
std::string FSRefTablePath(std::uint32_t slot);

/// The entry name of a slot in the table: a root's last path component, empty for "/".
std::string_view FSRefTableName(std::uint32_t slot);

/// The folder slot of a slot in the table; kNoSlot for a root.
std::uint32_t FSRefTableParent(std::uint32_t slot);

/// The descriptor of the folder at slot, which must be the object (device, inode): the one held, or
/// one opened now inside its parent's folder without following a link and held until the pool
/// that is open now closes. errFSNotAFolder when the entry is not a folder (a link to one included),
/// fnfErr when it is another object now.
OSErr FSRefTableFolder(std::uint32_t slot, dev_t device, ino_t inode, int& fd);

/// As FSRefTableFolder for a folder slot whose identity is the one seen when it was first opened;
/// a slot never opened is opened and taken as it is. status, when given, receives the folder's
/// identity and kind (st_dev, st_ino, st_mode) and nothing else.
OSErr FSRefTableFolderAsSeen(std::uint32_t slot, int& fd, struct stat* status = nullptr);

/// How many slots the table holds, for tests of its growth.
std::uint32_t FSRefTableSize();

}  // namespace corvane
