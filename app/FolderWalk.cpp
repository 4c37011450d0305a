#include "app/FolderWalk.h"

#include <variant>

#include "app/CommandTable.h"
#include "app/UserPreferences.h"
#include "fileops/DirectoryListing.h"
#include "fileops/ItemTests.h"
#include "platform/base/Log.h"
#include "platform/files/AutoreleasePool.h"
#include "platform/prefs/Preferences.h"

namespace corvane {

bool RecurseFolders() {
    SynchronizeUserPreferences();
    const std::optional<PreferenceValue> value = CFPreferencesCopyAppValue("RecurseFolders", kCorvanePreferenceDomain);
    const bool* flag = value ? std::get_if<bool>(&*value) : nullptr;
    return flag != nullptr && *flag;
}

void FoldFolder(const FSRef* folder) {
    if (const std::optional<std::string> name = FSGetName(folder)) {
        NSLog("Aggregating folder %@", {*name});
    }
    const AutoreleasePool pool;
    fold_folder(folder);
}

void fold_folder(const FSRef* folder) {
    if (RecurseFolders()) {
        // Taken once, before the first subfolder runs: folders that grouping makes later are not walked.
        const std::vector<FSRef> items = GetDirectoryItemsList(folder);
        for (const FSRef& entry : items) {
            const FSRef item = entry;
            // Whether it is a plain folder is asked first: of a file, the reference alone tells.
            if (!ItemIsPlainFolder(&item) || !FSIsFSRefValid(&item) || IsInvisible(&item)) {
                continue;
            }
            // What a subfolder's run opens is let go when it ends, so a walk holds the folders it
            // is inside of, not every folder it has passed.
            const AutoreleasePool subfolderPool;
            fold_folder(&item);
        }
    }
    aggregate_files(folder);
}

void aggregate_files(const FSRef* folder) { RunGroupingStrategy(gCorvaneType, folder); }

}  // namespace corvane
