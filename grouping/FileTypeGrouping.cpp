#include "grouping/ExtensionTypeMap.h"
#include "grouping/KeyGrouping.h"

void aggregate_files_by_file_type(const FSRef* folder) { aggregate_files_with_key(folder, FSGetType); }
