// The Thread Manager's one call that this program makes: giving the processor to other threads.
#pragma once

#include "platform/base/MacErrors.h"

namespace corvane {

/// Lets any other thread that is ready run before this one goes on; always noErr.
OSErr YieldToAnyThread();

}  // namespace corvane
