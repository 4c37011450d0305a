#include "MoreAppleEvents/MoreAppleEvents.h"

#include "MoreAppleEvents/MoreAEDataModel.h"
#include "platform/base/Threads.h"

namespace corvane {

const AEIdleUPP gAEIdleUPP = NewAEIdleUPP(MyAEIdleProc);

namespace {

/// The handler's status that the reply carries in 'errn': 0 when it carries none, the reading's own
/// status when 'errn' is not a 16-bit integer.
OSErr ReplyErrorNumber(const AppleEvent* reply) {
    std::int16_t number = noErr;
    const OSErr err = AEGetParamPtr(reply, keyErrorNumber, typeSInt16, nullptr, &number, sizeof number, nullptr);
    if (err == errAEDescNotFound) {
        return noErr;
    }
    return err != noErr ? err : number;
}

} // namespace

Boolean MyAEIdleProc(EventRecord* /*event*/, long* sleepTime, RgnHandle* mouseRgn) {
    *sleepTime = 10;
    *mouseRgn = nullptr;
    YieldToAnyThread();
    return false;
}

OSErr MoreAESendEventReturnAEDesc(AEIdleUPP idleProc, const AppleEvent* event, DescType desiredType,
                                  AEDesc* result) {
    if (idleProc == nullptr) {
        return paramErr;
    }
    AppleEvent reply;
    OSErr err = AESend(event, &reply, kAEWaitReply, kAENormalPriority, kNoTimeOut, idleProc, nullptr);
    if (err != noErr) {
        return err;
    }
    if (reply.descriptorType != typeNull) {
        err = ReplyErrorNumber(&reply);
        if (err == noErr) {
            err = AEGetParamDesc(&reply, keyDirectObject, desiredType, result);
        }
    }
    MoreAEDisposeDesc(&reply);
    return err;
}

OSErr MoreAESendEventNoReturnValue(AEIdleUPP idleProc, const AppleEvent* event) {
    const AESendMode sendMode = idleProc != nullptr ? kAEWaitReply : kAENoReply;
    AppleEvent reply;
    OSErr err = AESend(event, &reply, sendMode, kAENormalPriority, kNoTimeOut, idleProc, nullptr);
    if (err == noErr && sendMode == kAEWaitReply && reply.descriptorType != typeNull) {
        err = ReplyErrorNumber(&reply);
    }
    MoreAEDisposeDesc(&reply);
    return err;
}

}  // namespace corvane
