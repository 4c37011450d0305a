// The codes that the comment events use: the Finder's signature and the Core suite's event ids, object
// classes, forms and properties, as the Apple Event Registry names them.
#pragma once

#include "platform/base/MacTypes.h"

namespace corvane {

/// The Finder's application signature, the address of the comment events.
constexpr OSType kFinderSignature = FOUR_CHAR_CODE("MACS");

constexpr FourCharCode kAECoreSuite = FOUR_CHAR_CODE("core");
constexpr FourCharCode kAEGetData = FOUR_CHAR_CODE("getd");
constexpr FourCharCode kAESetData = FOUR_CHAR_CODE("setd");

/// The key of a set data event's new value.
constexpr FourCharCode keyAEData = FOUR_CHAR_CODE("data");

/// Key forms: a property of an object, an element by name.
constexpr FourCharCode formPropertyID = FOUR_CHAR_CODE("prop");
constexpr FourCharCode formName = FOUR_CHAR_CODE("name");

/// Classes: a property, a file, any item (a folder among them).
constexpr FourCharCode cProperty = FOUR_CHAR_CODE("prop");
constexpr FourCharCode cFile = FOUR_CHAR_CODE("file");
constexpr FourCharCode cObject = FOUR_CHAR_CODE("cobj");

/// The Finder's comment property of an item.
constexpr FourCharCode pComment = FOUR_CHAR_CODE("comt");

}  // namespace corvane
