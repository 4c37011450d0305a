// Sending with and without a returned value, against a scripted application under a test signature.
#include <gtest/gtest.h>

#include <optional>

#include "MoreAppleEvents/MoreAppleEvents.h"

using namespace corvane;

namespace {

constexpr OSType kScripted = FOUR_CHAR_CODE("Scrp");

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
        {"'errn' of no 'shor'", Desc(typeSInt32, 70000), twelve, noErr, errAECoercionFail, errAECoercionFail},
        {"the manager's own 'errn'", std::nullopt, twelve, errAEEventFailed, errAEEventFailed, errAEEventFailed},
        {"no direct object", std::nullopt, std::nullopt, noErr, errAEDescNotFound, noErr},
        {"a direct object of no number", std::nullopt, Desc(typeUnicodeText, u'x'), noErr, errAECoercionFail, noErr},
    };
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
    AEAddressDesc target;
    AECreateDesc(typeApplSignature, &kScripted, sizeof kScripted, &target);
    AppleEvent event;
    AECreateAppleEvent(FOUR_CHAR_CODE("test"), FOUR_CHAR_CODE("ask "), &target, kAutoGenerateReturnID,
                       kAnyTransactionID, &event);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.proves);
        script = &row;
        AEDesc result;
        EXPECT_EQ(MoreAESendEventReturnAEDesc(gAEIdleUPP, &event, typeSInt16, &result), row.returned);
        EXPECT_EQ(result, row.returned == noErr ? *Desc(typeSInt16, std::int16_t{12}) : AEDesc{});
        EXPECT_EQ(MoreAESendEventNoReturnValue(gAEIdleUPP, &event), row.noValue);
    }
    AEDesc result;
    EXPECT_EQ(MoreAESendEventReturnAEDesc(nullptr, &event, typeSInt16, &result), paramErr);
    EXPECT_EQ(handled, 14) << "without an idle routine nothing is sent";
    AERemoveApplication(kScripted);
}
