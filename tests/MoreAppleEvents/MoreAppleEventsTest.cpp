// Sending with and without a returned value, against a scripted application whose answers the
// Finder would never give.
#include <gtest/gtest.h>

#include "MoreAppleEvents/MoreAppleEvents.h"

namespace {

constexpr OSType kScripted = FOUR_CHAR_CODE("Scrp");

int gIdleCalls = 0;

Boolean CountingIdle(EventRecord* event, long* sleepTime, RgnHandle* mouseRgn) {
    ++gIdleCalls;
    return MyAEIdleProc(event, sleepTime, mouseRgn);
}

AppleEvent EventTo(OSType signature) {
    AEAddressDesc target;
    AECreateDesc(typeApplSignature, &signature, sizeof signature, &target);
    AppleEvent event;
    AECreateAppleEvent(FOUR_CHAR_CODE("test"), FOUR_CHAR_CODE("ask "), &target, kAutoGenerateReturnID,
                       kAnyTransactionID, &event);
    return event;
}

/// The scripted application's answer: an optional 'errn' of some type, an optional direct object.
struct Script {
    std::optional<AEDesc> errorNumber;
    std::optional<AEDesc> directObject;
    OSErr handlerStatus = noErr;
};

template <typename Value>
AEDesc Desc(DescType type, Value value) {
    AEDesc desc;
    AECreateDesc(type, &value, sizeof value, &desc);
    return desc;
}

class MoreAESendTest : public ::testing::Test {
protected:
    void SetUp() override {
        gIdleCalls = 0;
        AEInstallApplication(kScripted, [this](const AppleEvent*, AppleEvent* reply) {
            ++handled_;
            if (script_.errorNumber) {
                AEPutParamDesc(reply, keyErrorNumber, &*script_.errorNumber);
            }
            if (script_.directObject) {
                AEPutParamDesc(reply, keyDirectObject, &*script_.directObject);
            }
            return script_.handlerStatus;
        });
    }
    void TearDown() override { AERemoveApplication(kScripted); }

    OSErr Returned(AEDesc* result) {
        const AppleEvent event = EventTo(kScripted);
        return MoreAESendEventReturnAEDesc(CountingIdle, &event, typeSInt16, result);
    }

    Script script_;
    int handled_ = 0;
};

} // namespace

TEST(MyAEIdleProc, AsksForTenTicksAndWaitsOn) {
    EventRecord event{};
    long sleepTime = 0;
    MacRegion* region = nullptr;
    RgnHandle mouseRgn = &region;
    EXPECT_FALSE(MyAEIdleProc(&event, &sleepTime, &mouseRgn));
    EXPECT_EQ(sleepTime, 10);
    EXPECT_EQ(mouseRgn, nullptr);
    EXPECT_EQ(gAEIdleUPP, &MyAEIdleProc) << "made before main";
}

TEST_F(MoreAESendTest, ReturnedValueByErrn) {
    struct Row {
        const char* proves;
        std::optional<AEDesc> errorNumber;
        OSErr status;
        bool hasResult;
    };
    const Row rows[] = {
        {"no 'errn' is success", std::nullopt, noErr, true},
        {"'errn' 0 is success", Desc(typeSInt16, std::int16_t{0}), noErr, true},
        {"a nonzero 'errn' is the result", Desc(typeSInt16, std::int16_t{-1728}), errAENoSuchObject, false},
        {"an 'errn' as 'long' is read as 'shor'", Desc(typeSInt32, std::int32_t{-10000}), errAEEventFailed, false},
        {"an 'errn' that is no 16-bit number fails", Desc(typeSInt32, std::int32_t{70000}), errAECoercionFail,
         false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.proves);
        script_.errorNumber = row.errorNumber;
        script_.directObject = Desc(typeSInt32, std::int32_t{12});
        AEDesc result;
        EXPECT_EQ(Returned(&result), row.status);
        if (row.hasResult) {
            EXPECT_EQ(result, Desc(typeSInt16, std::int16_t{12})) << "the direct object, coerced";
        } else {
            EXPECT_EQ(result, AEDesc{});
        }
    }
    EXPECT_EQ(gIdleCalls, 5);
}

TEST_F(MoreAESendTest, ReturnedValueFailures) {
    AEDesc result;
    EXPECT_EQ(Returned(&result), errAEDescNotFound) << "a reply without a direct object";
    script_.directObject = Desc(typeUnicodeText, u'x');
    EXPECT_EQ(Returned(&result), errAECoercionFail);

    const AppleEvent event = EventTo(kScripted);
    EXPECT_EQ(MoreAESendEventReturnAEDesc(nullptr, &event, typeSInt16, &result), paramErr);
    EXPECT_EQ(handled_, 2) << "without an idle routine nothing is sent";
    const AppleEvent toNobody = EventTo(FOUR_CHAR_CODE("None"));
    EXPECT_EQ(MoreAESendEventReturnAEDesc(CountingIdle, &toNobody, typeSInt16, &result), procNotFound);
}

TEST_F(MoreAESendTest, NoReturnValueWaitsOnlyWithIdleRoutine) {
    const AppleEvent event = EventTo(kScripted);
    script_.errorNumber = Desc(typeSInt16, std::int16_t{-1728});
    EXPECT_EQ(MoreAESendEventNoReturnValue(CountingIdle, &event), errAENoSuchObject);
    script_.errorNumber = Desc(typeSInt16, std::int16_t{0});
    EXPECT_EQ(MoreAESendEventNoReturnValue(CountingIdle, &event), noErr);
    script_.errorNumber.reset();
    script_.handlerStatus = errAEEventFailed;
    EXPECT_EQ(MoreAESendEventNoReturnValue(CountingIdle, &event), errAEEventFailed) << "the manager's own 'errn'";
    EXPECT_EQ(gIdleCalls, 3);

    EXPECT_EQ(MoreAESendEventNoReturnValue(nullptr, &event), noErr) << "not waited for: the send's status";
    EXPECT_EQ(handled_, 4);
    EXPECT_EQ(gIdleCalls, 3);
    const AppleEvent toNobody = EventTo(FOUR_CHAR_CODE("None"));
    EXPECT_EQ(MoreAESendEventNoReturnValue(nullptr, &toNobody), procNotFound);
}
