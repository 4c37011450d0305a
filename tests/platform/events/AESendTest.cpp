// Sending: routing by signature, the reply and its 'errn', the send modes and the idle routine.
#include <gtest/gtest.h>

#include <optional>

#include "platform/events/AppleEvents.h"

using namespace corvane;

namespace {

constexpr OSType kTestSignature = FOUR_CHAR_CODE("Tst1");
constexpr std::int32_t kFive = 5;

int gIdleCalls = 0;
Boolean gIdleGivesUp = false;

Boolean CountingIdle(EventRecord* event, long* sleepTime, RgnHandle* mouseRgn) {
    EXPECT_TRUE(event->what == nullEvent && sleepTime != nullptr && mouseRgn != nullptr);
    ++gIdleCalls;
    return gIdleGivesUp;
}

AppleEvent EventTo(OSType signature, AEReturnID returnID = kAutoGenerateReturnID) {
    AEAddressDesc target;
    AECreateDesc(typeApplSignature, &signature, sizeof signature, &target);
    AppleEvent event;
    AECreateAppleEvent(FOUR_CHAR_CODE("test"), FOUR_CHAR_CODE("ping"), &target, returnID, kAnyTransactionID, &event);
    return event;
}

OSErr Send(const AppleEvent& event, AppleEvent* reply, AESendMode mode = kAEWaitReply) {
    return AESend(&event, reply, mode, kAENormalPriority, kNoTimeOut, CountingIdle, nullptr);
}

std::vector<AppleEvent> gReceived;

/// Installs a test application that answers 5, with its own 'errn' when given, and returns status.
void InstallAnswering(OSErr status, std::optional<std::int16_t> errn = std::nullopt) {
    gIdleCalls = 0;
    gIdleGivesUp = false;
    gReceived.clear();
    AEInstallApplication(kTestSignature, [status, errn](const AppleEvent* event, AppleEvent* reply) {
        gReceived.push_back(*event);
        AEPutParamPtr(reply, keyDirectObject, typeSInt32, &kFive, sizeof kFive);
        if (errn) {
            AEPutParamPtr(reply, keyErrorNumber, typeSInt16, &*errn, sizeof *errn);
        }
        return status;
    });
}

} // namespace

TEST(AESend, WaitReplyDeliversAnswerAndIdlesOnce) {
    AppleEvent reply;
    InstallAnswering(noErr);
    const AppleEvent event = EventTo(kTestSignature, 33);
    ASSERT_EQ(Send(event, &reply), noErr);
    EXPECT_EQ(gReceived, std::vector{event});
    EXPECT_EQ(gIdleCalls, 1);
    EXPECT_EQ(reply.items.size(), 1u) << "the answer alone, no 'errn'";
    AEReturnID returnID = 0;
    AEGetAttributePtr(&reply, keyReturnIDAttr, typeSInt16, nullptr, &returnID, sizeof returnID, nullptr);
    EXPECT_EQ(returnID, 33) << "the reply answers the event's return id";
    InstallAnswering(errAEEventFailed, -42);
    ASSERT_EQ(Send(event, &reply), noErr);
    std::int16_t errn = 0;
    AEGetParamPtr(&reply, keyErrorNumber, typeSInt16, nullptr, &errn, sizeof errn, nullptr);
    EXPECT_EQ(errn, -42) << "the handler's own 'errn' stays";
}

TEST(AESend, NoReplyAndRefusalsLeaveReplyNull) {
    InstallAnswering(errAEEventFailed);
    const AppleEvent event = EventTo(kTestSignature);
    AppleEvent reply = event;
    ASSERT_EQ(Send(event, &reply, kAENoReply), noErr);
    EXPECT_EQ(gReceived.size(), 1u);
    EXPECT_EQ(reply, AEDesc{});
    reply = event;
    EXPECT_EQ(Send(EventTo(FOUR_CHAR_CODE("None")), &reply), procNotFound);
    EXPECT_EQ(reply, AEDesc{});
    EXPECT_EQ(gIdleCalls, 0) << "nothing was waited for";
    gIdleGivesUp = true;
    reply = event;
    EXPECT_EQ(Send(event, &reply), errAEWaitCanceled);
    EXPECT_EQ(reply, AEDesc{});
    EXPECT_EQ(AERemoveApplication(kTestSignature), noErr);
}
