// The process-wide table behind FSRef: for each slot, the folder slot and entry name at which this
// process last saw an object, released pool by pool. For the File Manager sources only; one thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

/// Slot 0 names nothing, so that an all-zero FSRef is never valid.
constexpr std::uint32_t kNoSlot = 0;

/// The slot of the root folder "/". kNoSlot when memory ran out.
std::uint32_t FSRefTableRoot();

/// The slot of the entry `name` inside the folder at parentSlot, added to the open pool when the
/// table has none yet. kNoSlot when memory ran out or the name cannot be a single entry name.
std::uint32_t FSRefTableChild(std::uint32_t parentSlot, std::string_view name);

/// The slot of an absolute path made only of real entry names (as realpath gives it).
/// kNoSlot when the path is not absolute or memory ran out.
std::uint32_t FSRefTableAbsolutePath(std::string_view path);

/// Whether slot is in the table and was made in the given generation.
bool FSRefTableLive(std::uint32_t slot, std::uint32_t generation);

/// The generation of a slot in the table: the pool that was open when it was made.
std::uint32_t FSRefTableGeneration(std::uint32_t slot);

/// The absolute path of a slot in the table.
std::string FSRefTablePath(std::uint32_t slot);

/// The entry name of a slot in the table; empty for the root folder.
std::string_view FSRefTableName(std::uint32_t slot);

/// The folder slot of a slot in the table; the root folder is its own folder.
std::uint32_t FSRefTableParent(std::uint32_t slot);

/// How many slots the table holds, for tests of its growth.
std::uint32_t FSRefTableSize();
