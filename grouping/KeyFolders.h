// What every strategy does with a file once it has its key: find or make the key folder, then
// hand the file to the object mover, logging as it goes.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "fileops/ObjectMover.h"
#include "platform/files/Files.h"

namespace corvane {

/// The key of one file, or none when the file is not grouped.
using KeyOfFile = std::function<std::optional<std::string>(const FSRef* file)>;

/// One pass over folder: every visible file that has a key is placed, by copy or move, into the key
/// folder of that key inside parent. Each failure is logged or skipped and the pass goes on.
void GroupFilesByKey(const FSRef* folder, const FSRef* parent, const KeyOfFile& keyOf, signed char copy);

}  // namespace corvane
