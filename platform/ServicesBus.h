// Where the Services provider answers on the session bus: its well-known name, object, interface
// and the one method that carries a request.
#pragma once

inline constexpr const char* kServicesBusName = "com.fernwick.Corvane";
inline constexpr const char* kServicesObjectPath = "/com/fernwick/Corvane";
inline constexpr const char* kServicesInterface = "com.fernwick.Corvane.Services";
/// HandleMenuSelection(as filenames, s userData), no result; the reply comes once the request has run.
inline constexpr const char* kServicesMethod = "HandleMenuSelection";
