// The key-based strategies: copies of a folder's visible files gathered into key folders named after
// their extension, file type or MIME type.
#pragma once

#include "platform/files/Files.h"

namespace corvane {

void aggregate_files_by_extension(const FSRef* folder);
void aggregate_files_by_file_type(const FSRef* folder);
void aggregate_files_by_mime_type(const FSRef* folder);

}  // namespace corvane
