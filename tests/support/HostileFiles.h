// Configuration files made to hurt a reader: things that are no regular file, files over the size
// limit, lists nested without end, cut short or made of junk.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvane {

/// One object of a binary property list: an array of references to other objects, or (none) true.
using BinaryObject = std::optional<std::vector<std::uint32_t>>;

/// A binary property list ("bplist00") of these objects, the first one the top.
std::string BinaryPlist(const std::vector<BinaryObject>& objects);

/// Arrays nested depth deep around true, as XML and as a binary property list.
std::string DeepXmlPlist(std::size_t depth);
std::string DeepBinaryPlist(std::size_t depth);

enum class HostileKind { fifo, device, huge, deepXml, deepBinary, truncatedBinary, junk };

/// Every kind, for tests that try each; the first three are no regular file of a usable size, the
/// others no usable property list.
const std::vector<HostileKind>& AllHostileKinds();
const char* HostileKindName(HostileKind kind);

/// Makes a file of that kind at path (a link to /dev/zero for a device), making its folders.
void MakeHostileFile(HostileKind kind, const std::string& path);

}  // namespace corvane
