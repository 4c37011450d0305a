// Object specifiers that name an item to the Finder: class 'file' (or 'cobj' for a folder), by
// name, the name being the item's HFS path.
#pragma once

#include "platform/events/AppleEvents.h"
#include "platform/files/CFURL.h"
#include "platform/files/Files.h"

namespace corvane {

/// The specifier of the item, made through its file URL. paramErr without an item,
/// coreFoundationUnknownErr (-4960) when it has no file URL; otherwise as for a URL. On 0 objSpec
/// holds a new specifier for the caller to dispose.
OSErr MoreAEOCreateObjSpecifierFromFSRef(const FSRef* item, AEDesc* objSpec);

/// obj {want: type(file), from: null(), form: name, seld: the URL's HFS path as 'utxt'}; for a
/// directory URL 'cobj' and the path with a trailing ':'. paramErr without a URL,
/// coreFoundationUnknownErr when the URL has no HFS path, memFullErr when the text cannot be had.
/// On 0 objSpec holds a new specifier for the caller to dispose.
OSErr MoreAEOCreateObjSpecifierFromCFURLRef(const CFURL* url, AEDesc* objSpec);

}  // namespace corvane
