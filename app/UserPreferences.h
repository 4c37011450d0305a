// Corvane's preference domain brought up to date, with a word in the log when its file is unusable.
#pragma once

namespace corvane {

/// Re-reads the preferences when their file changed. A file that cannot be used (a FIFO, a device, too
/// large, too deeply nested, no property list dictionary) is named in one log line; the defaults then
/// apply until the file changes again.
void SynchronizeUserPreferences();

}  // namespace corvane
