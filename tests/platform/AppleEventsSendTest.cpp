// Sending: routing by signature, the reply and its 'errn', the send modes and the idle routine.
#include <gtest/gtest.h>

#include <optional>

#include "platform/AppleEvents.h"
#include "platform/Finder.h"

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

template <typename Value>
AEDesc Of(DescType type, Value value) {
    AEDesc desc;
    AECreateDesc(type, &value, sizeof value, &desc);
    return desc;
}

OSErr Send(const AppleEvent& event, AppleEvent* reply, AESendMode mode = kAEWaitReply) {
    return AESend(&event, reply, mode, kAENormalPriority, kNoTimeOut, CountingIdle, nullptr);
}

class AESendTest : public ::testing::Test {
protected:
    void SetUp() override { gIdleCalls = 0; gIdleGivesUp = false; }
    void TearDown() override { AERemoveApplication(kTestSignature); }

    /// Installs an application that answers 5, with its own 'errn' when given, and returns status.
    void InstallAnswering(OSErr status, std::optional<std::int16_t> errn = std::nullopt) {
        AEInstallApplication(kTestSignature, [this, status, errn](const AppleEvent* event, AppleEvent* reply) {
            received_.push_back(*event);
            AEPutParamPtr(reply, keyDirectObject, typeSInt32, &kFive, sizeof kFive);
            if (errn) {
                AEPutParamPtr(reply, keyErrorNumber, typeSInt16, &*errn, sizeof *errn);
            }
            return status;
        });
    }

    std::vector<AppleEvent> received_;
};

} // namespace

TEST_F(AESendTest, WaitReplyDeliversAnswerAndIdlesOnce) {
    InstallAnswering(noErr);
    const AppleEvent event = EventTo(kTestSignature, 33);
    AppleEvent reply;
    ASSERT_EQ(Send(event, &reply), noErr);
    EXPECT_EQ(received_, std::vector{event});
    EXPECT_EQ(gIdleCalls, 1);
    EXPECT_EQ(reply.items, (std::vector<AEKeyDesc>{{keyDirectObject, Of(typeSInt32, kFive)}})) << "and no 'errn'";
    AEReturnID returnID = 0;
    AEGetAttributePtr(&reply, keyReturnIDAttr, typeSInt16, nullptr, &returnID, sizeof returnID, nullptr);
    EXPECT_EQ(returnID, 33) << "the reply answers the event's return id";

    InstallAnswering(errAEEventFailed, -42);
    ASSERT_EQ(Send(event, &reply), noErr);
    EXPECT_EQ(reply.items.back(), (AEKeyDesc{keyErrorNumber, Of(typeSInt16, std::int16_t{-42})}))
        << "the handler's own 'errn' stays";
}

TEST_F(AESendTest, NoReplyAndRefusalsLeaveReplyNull) {
    InstallAnswering(errAEEventFailed);
    const AppleEvent event = EventTo(kTestSignature);
    AppleEvent reply = event;
    ASSERT_EQ(Send(event, &reply, kAENoReply), noErr);
    EXPECT_EQ(received_.size(), 1u);
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
    EXPECT_EQ(AERemoveApplication(kTestSignature), errAEHandlerNotFound);
}

TEST_F(AESendTest, FinderIsThereFromTheStartAndInstallIsIdempotent) {
    const AppleEvent event = EventTo(kFinderSignature);
    AppleEvent reply;
    ASSERT_EQ(Send(event, &reply), noErr);
    std::int16_t number = 0;
    ASSERT_EQ(AEGetParamPtr(&reply, keyErrorNumber, typeSInt16, nullptr, &number, sizeof number, nullptr), noErr);
    EXPECT_EQ(number, errAEEventNotHandled) << "the Finder answers, and knows no 'test'/'ping'";
    ASSERT_EQ(AERemoveApplication(kFinderSignature), noErr);
    EXPECT_EQ(Send(event, &reply), procNotFound);
    InstallFinder();
    InstallFinder();
    EXPECT_EQ(Send(event, &reply), noErr);
}
