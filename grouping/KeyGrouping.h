// The key-based strategies: copies of a folder's visible files gathered into key folders named after
// their extension, file type or MIME type.
#pragma once

#include <optional>
#include <string>

#include "platform/Files.h"

/// The key of one file, or none when the file is not grouped.
using KeyOfFile = std::optional<std::string> (*)(const FSRef* file);

/// Copies every visible file of folder that has a key into the key folder of that key inside folder.
void aggregate_files_with_key(const FSRef* folder, KeyOfFile keyOf);

void aggregate_files_by_extension(const FSRef* folder);
void aggregate_files_by_file_type(const FSRef* folder);
void aggregate_files_by_mime_type(const FSRef* folder);
