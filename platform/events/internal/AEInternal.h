// Pieces shared by the sources of the Apple Event Manager; nothing outside it includes this.
#pragma once

#include <cstring>
#include <new>

#include "platform/events/AppleEvents.h"

namespace corvane {

/// Runs operation and returns its status; memFullErr when it runs out of memory, so that no
/// exception leaves the manager.
template <typename Operation>
OSErr AEGuardAllocation(Operation operation) {
    try {
        return operation();
    } catch (const std::bad_alloc&) {
        return memFullErr;
    }
}

/// Whether AECoerceDesc converts anything into type (integers, codes, text).
bool AEHasConversionsInto(DescType type);

/// A plain descriptor holding one value in host byte order.
template <typename Value>
AEDesc AEDescOfValue(DescType type, Value value) {
    AEDesc desc;
    desc.descriptorType = type;
    desc.data.resize(sizeof value);
    std::memcpy(desc.data.data(), &value, sizeof value);
    return desc;
}

}  // namespace corvane
