#include "app/UserPreferences.h"

#include <string>

#include "platform/base/Log.h"
#include "platform/prefs/Preferences.h"

namespace corvane {

void SynchronizeUserPreferences() {
    std::string problem;
    if (!CFPreferencesAppSynchronize(kCorvanePreferenceDomain, &problem)) {
        NSLogFailure("Preferences \"%@\": %@; the defaults are used",
                     {PreferencesFilePath(kCorvanePreferenceDomain), problem});
    }
}

}  // namespace corvane
