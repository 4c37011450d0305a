// What every strategy does with a file once it has its key: find or make the key folder, then
// hand the file to the object mover, logging as it goes.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <unordered_map>

#include "platform/Files.h"

/// The size of the path buffer that strategies convert references into; a path that does not fit
/// with its terminator is treated as having no path.
constexpr std::size_t kStrategyPathBufferSize = 2048;

/// Key text to the POSIX path of that key's folder; one per pass over one folder.
using DestinationDictionary = std::unordered_map<std::string, std::string>;

/// Makes a destination dictionary with room for the usual number of keys.
DestinationDictionary MakeDestinationDictionary();

/// The item's POSIX path as text, when it fits in bufferSize bytes with its terminator and is UTF-8.
std::optional<std::string> PathOfRef(const FSRef* item, std::size_t bufferSize = kStrategyPathBufferSize);

/// Finds or makes the key folder in parent (once per key and pass), then logs "Moving: %@" and
/// places file into it with the copy flag, logging when the mover fails. Silent when the key
/// folder or the file's path cannot be had.
void PlaceFileUnderKey(DestinationDictionary& destinations, const FSRef* parent, const std::string& key,
                       const FSRef* file, signed char copy);
