// What every strategy does with a file once it has its key: find or make the key folder, then
// hand the file to the object mover, logging as it goes.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "platform/files/Files.h"

namespace corvane {

/// The first size of the path buffer that strategies convert references into.
constexpr std::size_t kStrategyPathBufferSize = 2048;

/// The item's POSIX path as text when it is UTF-8. The buffer starts at bufferSize bytes and grows
/// to fit: a tree may be deeper than any fixed size, and only the log reads the whole path.
std::optional<std::string> PathOfRef(const FSRef* item, std::size_t bufferSize = kStrategyPathBufferSize);

/// The key of one file, or none when the file is not grouped.
using KeyOfFile = std::function<std::optional<std::string>(const FSRef* file)>;

/// One pass over folder: every visible file that has a key is placed, by copy or move, into the key
/// folder of that key inside parent. Each failure is logged or skipped and the pass goes on.
void GroupFilesByKey(const FSRef* folder, const FSRef* parent, const KeyOfFile& keyOf, signed char copy);

}  // namespace corvane
