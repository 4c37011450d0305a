#include <map>

#include "platform/events/AppleEvents.h"
#include "platform/events/internal/AEInternal.h"

namespace corvane {

namespace {

std::map<OSType, AEApplicationHandler>& Applications() {
    static std::map<OSType, AEApplicationHandler> applications;
    return applications;
}

/// The application that the event's 'sign' address names, or an empty handler.
AEApplicationHandler TargetOf(const AppleEvent& event) {
    DescType addressType = typeNull;
    OSType signature = 0;
    long size = 0;
    if (AEGetAttributePtr(&event, keyAddressAttr, typeWildCard, &addressType, &signature, sizeof signature,
                          &size) != noErr ||
        addressType != typeApplSignature || size != static_cast<long>(sizeof signature)) {
        return {};
    }
    const auto found = Applications().find(signature);
    return found == Applications().end() ? AEApplicationHandler{} : found->second;
}

OSErr NewReplyTo(const AppleEvent& event, AppleEvent* reply) {
    AEReturnID returnID = 0;
    AETransactionID transactionID = 0;
    AEGetAttributePtr(&event, keyReturnIDAttr, typeSInt16, nullptr, &returnID, sizeof returnID, nullptr);
    AEGetAttributePtr(&event, keyTransactionIDAttr, typeSInt32, nullptr, &transactionID, sizeof transactionID,
                      nullptr);
    const AEAddressDesc noAddress;
    return AECreateAppleEvent(kCoreEventClass, kAEAnswer, &noAddress, returnID, transactionID, reply);
}

} // namespace

AEIdleUPP NewAEIdleUPP(AEIdleProcPtr userRoutine) { return userRoutine; }

OSErr AEInstallApplication(OSType signature, AEApplicationHandler handler) {
    if (!handler) {
        return paramErr;
    }
    return AEGuardAllocation([&] {
        Applications()[signature] = std::move(handler);
        return noErr;
    });
}

OSErr AERemoveApplication(OSType signature) {
    return Applications().erase(signature) == 0 ? errAEHandlerNotFound : noErr;
}

OSErr AESend(const AppleEvent* theAppleEvent, AppleEvent* reply, AESendMode sendMode,
             AESendPriority /*sendPriority*/, long /*timeOutInTicks*/, AEIdleUPP idleProc,
             AEFilterUPP /*filterProc*/) {
    if (theAppleEvent == nullptr || reply == nullptr || theAppleEvent->kind != AEDescKind::appleEvent) {
        return paramErr;
    }
    *reply = AEDesc{};
    const AESendMode replyMode = sendMode & kAEWaitReply;
    if (replyMode != kAENoReply && replyMode != kAEWaitReply) {
        return paramErr;
    }
    // A copy, so that a handler may remove or replace its application while it runs.
    const AEApplicationHandler handler = TargetOf(*theAppleEvent);
    if (!handler) {
        return procNotFound;
    }
    AppleEvent answer;
    OSErr err = NewReplyTo(*theAppleEvent, &answer);
    if (err != noErr) {
        return err;
    }
    const OSErr handlerErr = AEGuardAllocation([&] { return handler(theAppleEvent, &answer); });
    if (replyMode == kAENoReply) {
        return noErr;
    }
    AEDesc existingNumber;
    if (handlerErr != noErr &&
        AEGetParamDesc(&answer, keyErrorNumber, typeWildCard, &existingNumber) == errAEDescNotFound) {
        const std::int32_t number = handlerErr;
        err = AEPutParamPtr(&answer, keyErrorNumber, typeSInt32, &number, sizeof number);
        if (err != noErr) {
            return err;
        }
    }
    if (idleProc != nullptr) {
        EventRecord idleEvent{nullEvent, 0, 0, 0, 0, 0};
        long sleepTime = 0;
        RgnHandle mouseRgn = nullptr;
        if (idleProc(&idleEvent, &sleepTime, &mouseRgn)) {
            return errAEWaitCanceled;
        }
    }
    *reply = std::move(answer);
    return noErr;
}

}  // namespace corvane
