#include "grouping/DateGrouping.h"

#include <optional>
#include <string>
#include <vector>

#include "fileops/DirectoryListing.h"
#include "fileops/ItemTests.h"
#include "grouping/DateKeys.h"
#include "grouping/KeyFolders.h"
#include "platform/files/AutoreleasePool.h"

namespace corvane {

void aggregate_files_by_date(const FSRef* folder, const FSRef* destination, std::string_view dateAttributeKey,
                             signed char ignoreDays, signed char copy) {
    if (folder == nullptr || destination == nullptr) {
        return;
    }
    _aggregate_files_by_date(folder, destination, dateAttributeKey, 1, ignoreDays, copy);
    // Listed after the year pass, so the year folders just made are regrouped with the rest.
    const std::vector<FSRef> items = GetDirectoryItemsList(destination);
    for (const FSRef& entry : items) {
        const FSRef subfolder = entry;
        // Whether it is a plain folder is asked first: of a file, the reference alone tells.
        if (!ItemIsPlainFolder(&subfolder) || !FSIsFSRefValid(&subfolder) || IsInvisible(&subfolder)) {
            continue;
        }
        // Files already inside a subfolder are moved on, never copied again; what the pass opens
        // there is let go when it ends.
        const AutoreleasePool subfolderPool;
        _aggregate_files_by_date(&subfolder, &subfolder, dateAttributeKey, 0, ignoreDays, 0);
    }
}

void _aggregate_files_by_date(const FSRef* folder, const FSRef* destination, std::string_view dateAttributeKey,
                              signed char yearOnly, signed char ignoreDays, signed char copy) {
    const FSRef* parent = destination != nullptr ? destination : folder;
    const auto dateKey = yearOnly ? FSGetYear : ignoreDays ? FSGetMonthYear : FSGetMonthDayYear;
    GroupFilesByKey(folder, parent, [&](const FSRef* file) { return dateKey(file, dateAttributeKey); }, copy);
}

}  // namespace corvane
