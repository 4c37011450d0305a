#include "app/AppController.h"

#include "app/CommandTable.h"
#include "app/FolderWalk.h"
#include "fileops/ItemTests.h"
#include "grouping/ExtensionTypeMap.h"
#include "grouping/MimeTypeForURL.h"
#include "platform/base/FileDescriptors.h"
#include "platform/base/Log.h"
#include "platform/base/UnicodeText.h"
#include "platform/files/AutoreleasePool.h"
#include "platform/files/LaunchServices.h"
#include "platform/prefs/UserDefaults.h"
#include "platform/types/PackageExtensions.h"

namespace corvane {

namespace {

// A package is one item to the user, tidied as a file in its folder and never entered.
std::string WhyNotAPlainFolder(const FSRef& item) {
    LSItemInfoRecord info{};
    const bool container =
        LSCopyItemInfoForRef(&item, kLSRequestAllFlags, &info) == noErr && (info.flags & kLSItemInfoIsContainer) != 0;
    return container ? "is a package, which Corvane tidies as a file and never enters" : "is not a folder";
}

}  // namespace

void AppController::applicationWillFinishLaunching(const ServicesRegistration& registerServices) {
    if (registerServices) {
        registerServices();
    }
    RaiseDescriptorLimit();
    std::string packageList;
    std::string why;
    if (const OSErr status = LoadPackageExtensions(&packageList, &why); status != noErr && status != fnfErr) {
        NSLogFailure("Package extensions \"%@\": %@; the built-in list is used", {packageList, why});
    }
    InitializeExtensionTypeMap();
    InitializeMimeTypeDatabase();
    TakeUserDefaultsSnapshot();
}

void AppController::handleMenuSelection(const std::vector<std::string>* filenames, const std::string* userData) {
    lastRequest.clear();
    if (filenames == nullptr || filenames->empty()) {
        return;
    }
    const std::optional<GroupingMode> mode = userData ? GroupingModeForCommand(*userData) : std::nullopt;
    if (!mode) {
        NSLogFailure("Unsupported command: %@", {userData ? std::string_view(*userData) : std::string_view("(null)")});
        return;
    }
    gCorvaneType = *mode;
    // The references resolved for the request's own paths are released with it.
    const AutoreleasePool requestPool;
    for (const std::string& path : *filenames) {
        FolderOutcome& outcome = lastRequest.emplace_back(FolderOutcome{path, {}, {}});
        if (!IsValidUTF8(path)) {
            outcome.refusal = "is not a name in UTF-8";
            continue;
        }
        FSRef folder{};
        if (const OSErr status = FSPathMakeRef(path.c_str(), &folder, nullptr); status != noErr) {
            outcome.refusal = status == fnfErr ? "does not exist" : "cannot be opened (" + std::to_string(status) + ")";
            continue;
        }
        if (!ItemIsPlainFolder(&folder)) {
            outcome.refusal = WhyNotAPlainFolder(folder);
            continue;
        }
        gPlacementCounts = {};
        FoldFolder(&folder);
        outcome.counts = gPlacementCounts;
    }
}

}  // namespace corvane
