// The per-folder pool: references made while it is open are released when it closes, so a
// provider that runs for weeks does not keep every path it ever saw.
#pragma once

namespace corvane {

/// Opens a pool on construction and releases it on destruction; pools nest. A reference made
/// inside a released pool reads as invalid from then on.
class AutoreleasePool {
public:
    AutoreleasePool();
    ~AutoreleasePool();
    AutoreleasePool(const AutoreleasePool&) = delete;
    AutoreleasePool& operator=(const AutoreleasePool&) = delete;
};

}  // namespace corvane
