#include "platform/base/Threads.h"

#include <sched.h>

OSErr YieldToAnyThread() {
    sched_yield();
    return noErr;
}
