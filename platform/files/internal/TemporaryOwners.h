// Named temporaries that say whose they are: each name carries its owner's identity and each is
// locked while its owner lives, so that a later run removes what a killed one left and never what
// a live one is writing. For the File Manager sources only.
#pragma once

#include <string>
#include <string_view>

namespace corvane {

/// The start of every temporary name: listings treat a name that begins with '.' as invisible.
constexpr std::string_view kTemporaryPrefix = ".corvane-";

/// The end of the name of a record of an entry made in place (see InPlaceRecord).
constexpr std::string_view kInPlaceRecordSuffix = ".inplace";
/// What follows the inode in the record of a folder's claim on a name (RecordedEntry::nameClaim).
constexpr std::string_view kClaimMark = " claim";

/// A fresh temporary name: the prefix, this process's identity (machine, boot, process id and
/// start time), random text and suffix.
std::string NewTemporaryName(std::string_view suffix = {});

/// Locks the temporary open at fd for as long as any descriptor of it stays open. A file system
/// without locks leaves only the name to tell that it is in use.
void LockTemporary(int fd);

/// Removes from folder the temporaries that this program made and whose owner is gone: a process
/// of this machine that no longer runs (or ran in an earlier boot), and that nobody holds locked;
/// with an abandoned record of an entry made in place, that entry while it is the one recorded.
/// Never one whose owner lives, one of another machine, or a name that is not one of ours.
void RemoveAbandonedTemporaries(int folder);

}  // namespace corvane
