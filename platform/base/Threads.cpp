#include "platform/base/Threads.h"

#include <sched.h>

namespace corvane {

OSErr YieldToAnyThread() {
    sched_yield();
    return noErr;
}

}  // namespace corvane
