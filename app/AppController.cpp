#include "app/AppController.h"

#include "app/CommandTable.h"
#include "app/FolderWalk.h"
#include "fileops/ItemTests.h"
#include "grouping/ExtensionTypeMap.h"
#include "grouping/MimeTypeForURL.h"
#include "platform/AutoreleasePool.h"
#include "platform/FileDescriptors.h"
#include "platform/Log.h"
#include "platform/UnicodeText.h"
#include "platform/UserDefaults.h"

void AppController::applicationWillFinishLaunching(const ServicesRegistration& registerServices) {
    if (registerServices) {
        registerServices();
    }
    RaiseDescriptorLimit();
    InitializeExtensionTypeMap();
    InitializeMimeTypeDatabase();
    TakeUserDefaultsSnapshot();
}

void AppController::handleMenuSelection(const std::vector<std::string>* filenames, const std::string* userData) {
    if (filenames == nullptr || filenames->empty()) {
        return;
    }
    const std::optional<std::int32_t> mode = userData ? GroupingModeForCommand(*userData) : std::nullopt;
    if (!mode) {
        NSLog("Unsupported command: %@", {userData ? std::string_view(*userData) : std::string_view("(null)")});
        return;
    }
    gCorvaneType = *mode;
    // The references resolved for the request's own paths are released with it.
    const AutoreleasePool requestPool;
    for (const std::string& path : *filenames) {
        if (!UTF16FromUTF8(path)) {
            continue;
        }
        FSRef folder{};
        if (FSPathMakeRef(path.c_str(), &folder, nullptr) != noErr) {
            continue;
        }
        if (!ItemIsPlainFolder(&folder)) {
            continue;
        }
        FoldFolder(&folder);
    }
}
