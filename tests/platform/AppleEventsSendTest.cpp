// Sending: routing by signature, the reply and its 'errn', the send modes and the idle routine.
#include <gtest/gtest.h>

#include "platform/AppleEvents.h"
#include "platform/Finder.h"

namespace {

constexpr OSType kTestSignature = FOUR_CHAR_CODE("Tst1");

int gIdleCalls = 0;
Boolean gIdleGivesUp = false;

Boolean CountingIdle(EventRecord* event, long* sleepTime, RgnHandle* mouseRgn) {
    EXPECT_EQ(event->what, nullEvent);
    EXPECT_NE(sleepTime, nullptr);
    EXPECT_NE(mouseRgn, nullptr);
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

class AESendTest : public ::testing::Test {
protected:
    void SetUp() override {
        gIdleCalls = 0;
        gIdleGivesUp = false;
    }
    void TearDown() override { AERemoveApplication(kTestSignature); }

    /// Installs an application that answers with value and returns status.
    void InstallAnswering(std::int32_t value, OSErr status) {
        AEInstallApplication(kTestSignature, [this, value, status](const AppleEvent* event, AppleEvent* reply) {
            ++handled_;
            received_ = *event;
            AEPutParamPtr(reply, keyDirectObject, typeSInt32, &value, sizeof value);
            return status;
        });
    }

    int handled_ = 0;
    AppleEvent received_;
};

} // namespace

TEST_F(AESendTest, WaitReplyDeliversAnswerAndIdlesOnce) {
    InstallAnswering(5, noErr);
    const AppleEvent event = EventTo(kTestSignature, 33);
    AppleEvent reply;
    ASSERT_EQ(AESend(&event, &reply, kAEWaitReply, kAENormalPriority, kNoTimeOut, CountingIdle, nullptr), noErr);
    EXPECT_EQ(handled_, 1);
    EXPECT_EQ(gIdleCalls, 1);
    std::int32_t value = 0;
    ASSERT_EQ(AEGetParamPtr(&reply, keyDirectObject, typeSInt32, nullptr, &value, sizeof value, nullptr), noErr);
    EXPECT_EQ(value, 5);
    AEDesc number;
    EXPECT_EQ(AEGetParamDesc(&reply, keyErrorNumber, typeWildCard, &number), errAEDescNotFound);
    AEReturnID returnID = 0;
    AEGetAttributePtr(&reply, keyReturnIDAttr, typeSInt16, nullptr, &returnID, sizeof returnID, nullptr);
    EXPECT_EQ(returnID, 33) << "the reply answers the event's return id";
    EXPECT_EQ(received_.items, event.items);
}

TEST_F(AESendTest, FailedHandlerGetsErrnUnlessItPutOne) {
    InstallAnswering(0, errAENoSuchObject);
    const AppleEvent event = EventTo(kTestSignature);
    AppleEvent reply;
    ASSERT_EQ(AESend(&event, &reply, kAEWaitReply, kAENormalPriority, kNoTimeOut, nullptr, nullptr), noErr);
    std::int16_t number = 0;
    ASSERT_EQ(AEGetParamPtr(&reply, keyErrorNumber, typeSInt16, nullptr, &number, sizeof number, nullptr), noErr);
    EXPECT_EQ(number, errAENoSuchObject);

    AEInstallApplication(kTestSignature, [](const AppleEvent*, AppleEvent* answer) {
        const std::int16_t own = -42;
        AEPutParamPtr(answer, keyErrorNumber, typeSInt16, &own, sizeof own);
        return errAEEventFailed;
    });
    ASSERT_EQ(AESend(&event, &reply, kAEWaitReply, kAENormalPriority, kNoTimeOut, nullptr, nullptr), noErr);
    AEGetParamPtr(&reply, keyErrorNumber, typeSInt16, nullptr, &number, sizeof number, nullptr);
    EXPECT_EQ(number, -42);
}

TEST_F(AESendTest, NoReplyRunsHandlerButLeavesReplyNull) {
    InstallAnswering(5, errAEEventFailed);
    const AppleEvent event = EventTo(kTestSignature);
    AppleEvent reply = EventTo(kTestSignature);
    ASSERT_EQ(AESend(&event, &reply, kAENoReply, kAENormalPriority, kNoTimeOut, CountingIdle, nullptr), noErr);
    EXPECT_EQ(handled_, 1);
    EXPECT_EQ(gIdleCalls, 0) << "nothing is waited for";
    EXPECT_EQ(reply.descriptorType, typeNull);
}

TEST_F(AESendTest, RefusalsLeaveReplyNull) {
    const AppleEvent event = EventTo(FOUR_CHAR_CODE("None"));
    AppleEvent reply = EventTo(kTestSignature);
    EXPECT_EQ(AESend(&event, &reply, kAEWaitReply, kAENormalPriority, kNoTimeOut, CountingIdle, nullptr),
              procNotFound);
    EXPECT_EQ(reply.descriptorType, typeNull);
    EXPECT_EQ(gIdleCalls, 0);

    InstallAnswering(5, noErr);
    gIdleGivesUp = true;
    const AppleEvent toTest = EventTo(kTestSignature);
    EXPECT_EQ(AESend(&toTest, &reply, kAEWaitReply, kAENormalPriority, kNoTimeOut, CountingIdle, nullptr),
              errAEWaitCanceled);
    EXPECT_EQ(reply.descriptorType, typeNull);

    EXPECT_EQ(AERemoveApplication(kTestSignature), noErr);
    EXPECT_EQ(AERemoveApplication(kTestSignature), errAEHandlerNotFound);
    EXPECT_EQ(AESend(&toTest, &reply, kAENoReply, kAENormalPriority, kNoTimeOut, nullptr, nullptr), procNotFound);
}

TEST_F(AESendTest, FinderIsThereFromTheStartAndInstallIsIdempotent) {
    const AppleEvent event = EventTo(kFinderSignature);
    AppleEvent reply;
    ASSERT_EQ(AESend(&event, &reply, kAEWaitReply, kAENormalPriority, kNoTimeOut, nullptr, nullptr), noErr);
    std::int16_t number = 0;
    AEGetParamPtr(&reply, keyErrorNumber, typeSInt16, nullptr, &number, sizeof number, nullptr);
    EXPECT_EQ(number, errAEEventNotHandled) << "the Finder answers, and knows no 'test'/'ping'";

    ASSERT_EQ(AERemoveApplication(kFinderSignature), noErr);
    EXPECT_EQ(AESend(&event, &reply, kAEWaitReply, kAENormalPriority, kNoTimeOut, nullptr, nullptr), procNotFound);
    InstallFinder();
    InstallFinder();
    EXPECT_EQ(AESend(&event, &reply, kAEWaitReply, kAENormalPriority, kNoTimeOut, nullptr, nullptr), noErr);
}
