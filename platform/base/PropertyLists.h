// Property lists, XML or binary, parsed with libplist only once their shape is known to be within the
// limits of a configuration file: the parser recurses into every nested value and copies every shared
// one, so an endlessly nested, self-referring or hugely shared list must never reach it.
#pragma once

#include <plist/plist.h>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace corvane {

struct PlistDeleter {
    void operator()(plist_t node) const { plist_free(node); }
};
/// Owns a parsed property list (its root node).
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

/// The most values a binary property list may stand for once every shared value is copied out.
inline constexpr std::size_t kPropertyListValueLimit = std::size_t{1} << 20;

/// The property list of bytes: binary when they start with "bplist00", XML otherwise. Nesting beyond
/// kConfigurationNestingLimit, and for a binary list an object that contains itself or a tree of more
/// than kPropertyListValueLimit values, are refused before libplist sees the bytes. Null with why (when
/// given) set to a phrase that follows the file's name when the bytes are no such list.
PlistPtr PropertyListFromBytes(std::string_view bytes, std::string* why);

}  // namespace corvane
