// The Finder's stand-in: answers get data and set data of an item's comment, and keeps each
// comment in the item's extended attribute user.xdg.comment, where file managers show it.
#pragma once

#include "platform/events/AERegistry.h"
#include "platform/events/AppleEvents.h"

namespace corvane {

inline constexpr char kFinderCommentAttribute[] = "user.xdg.comment";

/// Answers 'core'/'getd' and 'core'/'setd' whose direct object is the 'comt' property of an item
/// named by its HFS path (class 'file', or 'cobj' for any item, form 'name', key data text; a
/// trailing ':' asks for a folder). Get puts the comment into the reply as 'utxt' (no attribute:
/// the empty comment). Set writes the 'data' parameter, as text, into the attribute; the empty
/// comment removes it. The item is the entry itself: a symbolic link's target is never touched.
/// Failures: errAEEventNotHandled for another event, errAENoSuchObject for an item that is not
/// there or a specifier of something else, errAEDescNotFound without 'data', errAECoercionFail for
/// text that is not valid (a stored comment that is not UTF-8 is refused, not repaired), and the
/// status of the errno for a store that refuses (user attributes are refused on links and special
/// files). A failed set leaves the stored comment as it was.
OSErr FinderHandleEvent(const AppleEvent* event, AppleEvent* reply);

/// Makes the Finder the application of signature kFinderSignature, replacing whatever was installed
/// there; calling it twice is the same as once. The program does so at start-up, as the Finder is
/// always running on the original platform.
void InstallFinder();

}  // namespace corvane
