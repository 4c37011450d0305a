// Text descriptors to and from the platform's string type, and disposal that leaves a descriptor
// null, for the Apple Event layer.
#pragma once

#include <optional>
#include <string>

#include "platform/events/AppleEvents.h"

namespace corvane {

/// A 'utxt' descriptor of all of the string's UTF-16 code units, two bytes each, no terminator; the
/// empty string gives a descriptor without data. paramErr when either argument is missing
/// (result untouched); memFullErr when the text cannot be copied, result then the null descriptor.
OSErr MoreAECreateAEDescFromCFString(const std::u16string* string, AEDesc* result);

/// The descriptor's text, coerced to 'utxt', as a new string of size / 2 code units (an odd last
/// byte is dropped) stored through string. Text of no bytes stores nothing and returns 0. paramErr
/// without a place for the string; on any failure (the coercion's or the memory's status) nothing
/// is stored.
OSErr MoreAEGetCFStringFromDescriptor(const AEDesc* desc, std::optional<std::u16string>* string);

/// Disposes the descriptor, which is then the null descriptor; returns 0. Given no descriptor, or
/// a disposal that fails, it ends the process through the assertion reporter.
OSErr MoreAEDisposeDesc(AEDesc* desc);

}  // namespace corvane
