// Sending Apple events and reading their replies, and the idle routine that runs while a send
// waits for its reply.
#pragma once

#include "platform/events/AppleEvents.h"

namespace corvane {

/// The idle routine of every send that waits: MyAEIdleProc, made before main runs and kept for the
/// life of the process.
extern const AEIdleUPP gAEIdleUPP;

/// Asks for 10 ticks of sleep and no mouse region, lets other threads run, and returns false so
/// that the wait goes on. The event is not looked at.
Boolean MyAEIdleProc(EventRecord* event, long* sleepTime, RgnHandle* mouseRgn);

/// Sends the event and waits for the reply, then puts the reply's direct object, coerced to
/// desiredType, into result. paramErr without an idle routine (nothing is sent); the send's status
/// when it fails; the reply's nonzero 'errn' (read as 'shor'; an 'errn' that cannot be read so
/// gives the reading's status); else the status of fetching the direct object, which is in result
/// on 0. The event is not disposed.
OSErr MoreAESendEventReturnAEDesc(AEIdleUPP idleProc, const AppleEvent* event, DescType desiredType, AEDesc* result);

/// Sends the event, waiting for the reply when an idle routine is given, without one not waiting.
/// When it waited and the send succeeded, the reply's 'errn' ('shor') is the result, 0 without
/// one; otherwise the send's status. The event is not disposed.
OSErr MoreAESendEventNoReturnValue(AEIdleUPP idleProc, const AppleEvent* event);

}  // namespace corvane
