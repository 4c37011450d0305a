// Where the Services provider answers on the session bus: its well-known name, object, interface,
// the method that carries a request and the ones that undo and preview one.
#pragma once

#include <sdbus-c++/Types.h>

#include <cstdint>
#include <string>

namespace corvane {

inline constexpr const char* kServicesBusName = "com.fernwick.Corvane";
inline constexpr const char* kServicesObjectPath = "/com/fernwick/Corvane";
inline constexpr const char* kServicesInterface = "com.fernwick.Corvane.Services";
/// HandleMenuSelection(as filenames, s userData) -> a(ssttttt); the reply comes once the request has run.
inline constexpr const char* kServicesMethod = "HandleMenuSelection";
inline constexpr const char* kServicesReplySignature = "a(ssttttt)";
/// Undo(s run) -> (s summary, as kept): takes back the run named, or the last one for "".
inline constexpr const char* kServicesUndoMethod = "Undo";
/// Preview(as filenames, s userData) -> as lines: what the request would do, and its summary.
inline constexpr const char* kServicesPreviewMethod = "Preview";

/// What became of one folder of a request, one element of the reply: the path, why it was not tidied
/// (empty when it was), then how many files were copied, moved, left alone and failed, and into how
/// many key folders they went.
struct FolderReport {
    std::string path;
    std::string refusal;
    std::uint64_t copied = 0;
    std::uint64_t moved = 0;
    std::uint64_t leftAlone = 0;
    std::uint64_t failed = 0;
    std::uint64_t keyFolders = 0;
};

/// One FolderReport as the reply carries it, in the order of its fields.
using ReportOnTheBus = sdbus::Struct<std::string, std::string, std::uint64_t, std::uint64_t, std::uint64_t,
                                     std::uint64_t, std::uint64_t>;

}  // namespace corvane
