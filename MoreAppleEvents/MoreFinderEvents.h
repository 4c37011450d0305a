// Reading and writing an item's Finder comment by Apple Events to the Finder, so that a comment
// can follow its item through a copy or move.
#pragma once

#include <optional>
#include <string>

#include "platform/events/AERegistry.h"
#include "platform/events/AppleEvents.h"
#include "platform/files/Files.h"

namespace corvane {

/// The Finder's signature, the address of every comment event.
constexpr OSType gFinderSignature = kFinderSignature;

/// Asks the Finder for the item's comment and waits for the answer. On 0 the comment is stored
/// through comment as a new string, except for an empty comment, which stores nothing (the caller
/// empties its variable beforehand). paramErr without an idle routine or item (nothing is sent);
/// otherwise the status of the first step that failed: the specifier, the build, the send, the
/// Finder's 'errn', or the reading of its answer. On any failure nothing is stored.
OSErr MoreFEGetCommentCFString(const FSRef* item, std::optional<std::u16string>* comment, AEIdleUPP idleProc);

/// Tells the Finder to make comment the item's comment (the empty string clears it). With an idle
/// routine it waits, and 0 means that the Finder took the comment; without one it does not wait
/// and the result is the send's status. paramErr without an item or comment (nothing is sent).
OSErr MoreFESetCommentCFString(const FSRef* item, const std::u16string* comment, AEIdleUPP idleProc);

}  // namespace corvane
