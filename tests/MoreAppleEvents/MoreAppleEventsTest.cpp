// Sending with and without a returned value, against a scripted application whose answers the
// Finder would never give.
#include <gtest/gtest.h>

#include <optional>

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

template <typename Value>
std::optional<AEDesc> Desc(DescType type, Value value) {
    AEDesc desc;
    AECreateDesc(type, &value, sizeof value, &desc);
    return desc;
}

} // namespace

TEST(MyAEIdleProc, AsksForTenTicksAndWaitsOn) {
    EventRecord event{};
    long sleepTime = 0;
    MacRegion* region = nullptr;
    RgnHandle mouseRgn = &region;
    EXPECT_FALSE(MyAEIdleProc(&event, &sleepTime, &mouseRgn));
    EXPECT_EQ(std::pair(sleepTime, mouseRgn), std::pair(10L, RgnHandle{}));
    EXPECT_EQ(gAEIdleUPP, &MyAEIdleProc) << "made before main";
}

TEST(MoreAESend, RepliesOfAScriptedApplication) {
    struct Row {
        const char* proves;
        std::optional<AEDesc> errorNumber;
        std::optional<AEDesc> directObject;
        OSErr handlerStatus;
        OSErr returned; ///< MoreAESendEventReturnAEDesc's status
        OSErr noValue;  ///< MoreAESendEventNoReturnValue's status
    };
    const auto twelve = Desc(typeSInt32, 12);
    const Row rows[] = {
        {"no 'errn' is success", std::nullopt, twelve, noErr, noErr, noErr},
        {"'errn' 0 is success", Desc(typeSInt16, noErr), twelve, noErr, noErr, noErr},
        {"a nonzero 'errn'", Desc(typeSInt16, errAENoSuchObject), twelve, noErr, errAENoSuchObject, errAENoSuchObject},
        {"'errn' as 'long'", Desc(typeSInt32, -10000), twelve, noErr, errAEEventFailed, errAEEventFailed},
        {"'errn' of no 'shor'", Desc(typeSInt32, 70000), twelve, noErr, errAECoercionFail, errAECoercionFail},
        {"the manager's own 'errn'", std::nullopt, twelve, errAEEventFailed, errAEEventFailed, errAEEventFailed},
        {"no direct object", std::nullopt, std::nullopt, noErr, errAEDescNotFound, noErr},
        {"a direct object of no number", std::nullopt, Desc(typeUnicodeText, u'x'), noErr, errAECoercionFail, noErr},
    };
    gIdleCalls = 0;
    int handled = 0;
    const Row* script = nullptr;
    AEInstallApplication(kScripted, [&](const AppleEvent*, AppleEvent* reply) {
        ++handled;
        if (script->errorNumber) {
            AEPutParamDesc(reply, keyErrorNumber, &*script->errorNumber);
        }
        if (script->directObject) {
            AEPutParamDesc(reply, keyDirectObject, &*script->directObject);
        }
        return script->handlerStatus;
    });
    const AppleEvent event = EventTo(kScripted);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.proves);
        script = &row;
        AEDesc result;
        EXPECT_EQ(MoreAESendEventReturnAEDesc(CountingIdle, &event, typeSInt16, &result), row.returned);
        EXPECT_EQ(result, row.returned == noErr ? *Desc(typeSInt16, std::int16_t{12}) : AEDesc{});
        EXPECT_EQ(MoreAESendEventNoReturnValue(CountingIdle, &event), row.noValue);
    }
    EXPECT_EQ(gIdleCalls, 16);

    script = &rows[2];
    AEDesc result;
    EXPECT_EQ(MoreAESendEventReturnAEDesc(nullptr, &event, typeSInt16, &result), paramErr);
    EXPECT_EQ(handled, 16) << "without an idle routine nothing is sent";
    EXPECT_EQ(MoreAESendEventNoReturnValue(nullptr, &event), noErr) << "not waited for: the send's status";
    EXPECT_EQ(std::pair(handled, gIdleCalls), std::pair(17, 16));
    const AppleEvent toNobody = EventTo(FOUR_CHAR_CODE("None"));
    EXPECT_EQ(MoreAESendEventReturnAEDesc(CountingIdle, &toNobody, typeSInt16, &result), procNotFound);
    EXPECT_EQ(MoreAESendEventNoReturnValue(nullptr, &toNobody), procNotFound);
    AERemoveApplication(kScripted);
}
