// A small Apple Event Manager: descriptors, lists, records and Apple events, the event-building
// notation, coercion, and sending to applications that answer inside this process.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <type_traits>
#include <vector>

#include "platform/base/MacErrors.h"

namespace corvane {

using DescType = FourCharCode;
using AEKeyword = FourCharCode;
using AEEventClass = FourCharCode;
using AEEventID = FourCharCode;
using AEReturnID = std::int16_t;
using AETransactionID = std::int32_t;
using AESendMode = std::int32_t;
using AESendPriority = std::int16_t;

/// Descriptor types that the manager itself makes or converts between.
constexpr DescType typeNull = FOUR_CHAR_CODE("null");
constexpr DescType typeWildCard = FOUR_CHAR_CODE("****");
constexpr DescType typeSInt16 = FOUR_CHAR_CODE("shor");
constexpr DescType typeSInt32 = FOUR_CHAR_CODE("long");
constexpr DescType typeChar = FOUR_CHAR_CODE("TEXT");
constexpr DescType typeUTF8Text = FOUR_CHAR_CODE("utf8");
constexpr DescType typeUnicodeText = FOUR_CHAR_CODE("utxt");
constexpr DescType typeType = FOUR_CHAR_CODE("type");
constexpr DescType typeEnumerated = FOUR_CHAR_CODE("enum");
constexpr DescType typeKeyword = FOUR_CHAR_CODE("keyw");
constexpr DescType typeAEList = FOUR_CHAR_CODE("list");
constexpr DescType typeAERecord = FOUR_CHAR_CODE("reco");
constexpr DescType typeAppleEvent = FOUR_CHAR_CODE("aevt");
constexpr DescType typeObjectSpecifier = FOUR_CHAR_CODE("obj ");
constexpr DescType typeApplSignature = FOUR_CHAR_CODE("sign");

/// Parameter keys of every Apple event and reply.
constexpr AEKeyword keyDirectObject = FOUR_CHAR_CODE("----");
constexpr AEKeyword keyErrorNumber = FOUR_CHAR_CODE("errn");

/// The four keys of an object specifier record.
constexpr AEKeyword keyAEDesiredClass = FOUR_CHAR_CODE("want");
constexpr AEKeyword keyAEContainer = FOUR_CHAR_CODE("from");
constexpr AEKeyword keyAEKeyForm = FOUR_CHAR_CODE("form");
constexpr AEKeyword keyAEKeyData = FOUR_CHAR_CODE("seld");

/// Attributes of an Apple event.
constexpr AEKeyword keyEventClassAttr = FOUR_CHAR_CODE("evcl");
constexpr AEKeyword keyEventIDAttr = FOUR_CHAR_CODE("evid");
constexpr AEKeyword keyAddressAttr = FOUR_CHAR_CODE("addr");
constexpr AEKeyword keyReturnIDAttr = FOUR_CHAR_CODE("rtid");
constexpr AEKeyword keyTransactionIDAttr = FOUR_CHAR_CODE("tran");

/// The class and id of a reply.
constexpr AEEventClass kCoreEventClass = FOUR_CHAR_CODE("aevt");
constexpr AEEventID kAEAnswer = FOUR_CHAR_CODE("ansr");

constexpr AEReturnID kAutoGenerateReturnID = -1;
constexpr AETransactionID kAnyTransactionID = 0;

constexpr AESendMode kAENoReply = 1;
constexpr AESendMode kAEWaitReply = 3;
constexpr AESendPriority kAENormalPriority = 0;
constexpr long kNoTimeOut = -2;

/// Apple Event statuses that only this manager gives.
constexpr OSErr errAEWaitCanceled = -1711;

struct AEKeyDesc;

/// What a descriptor holds: plain data, or items (a list, a record, an Apple event's parameters).
enum class AEDescKind : std::uint8_t { plain, list, record, appleEvent };

/// A descriptor: a type and its data. A value type that owns everything it holds; the default one
/// is the null descriptor (type 'null', no data). Its fields may be read directly; the functions
/// below make and change descriptors so that kind and contents agree.
struct AEDesc {
    DescType descriptorType = typeNull;
    AEDescKind kind = AEDescKind::plain;
    std::vector<std::uint8_t> data;    ///< a plain descriptor's bytes, numbers and codes in host order
    std::vector<AEKeyDesc> items;      ///< list items (key 0) or keyed parameters, in the order put
    std::vector<AEKeyDesc> attributes; ///< an Apple event's attributes

    /// Same type, kind, data, items and attributes, all the way down.
    bool operator==(const AEDesc&) const = default;
};

/// One item of a list (key 0) or record, or one attribute of an Apple event.
struct AEKeyDesc {
    AEKeyword descKey;
    AEDesc descContent;

    bool operator==(const AEKeyDesc&) const = default;
};

/// Lists, records, Apple events and addresses are descriptors; kind tells them apart.
using AEDescList = AEDesc;
using AERecord = AEDesc;
using AppleEvent = AEDesc;
using AEAddressDesc = AEDesc;

/// Makes a plain descriptor of dataSize bytes copied from dataPtr. On failure result is the null
/// descriptor.
OSErr AECreateDesc(DescType typeCode, const void* dataPtr, long dataSize, AEDesc* result);

/// Turns the descriptor back into the null descriptor; paramErr without one.
OSErr AEDisposeDesc(AEDesc* theAEDesc);

/// The size of a plain descriptor's data; 0 for lists, records and events.
long AEGetDescDataSize(const AEDesc* theAEDesc);

/// Copies at most maximumSize bytes of a plain descriptor's data; errAEWrongDataType for a list,
/// record or event.
OSErr AEGetDescData(const AEDesc* theAEDesc, void* dataPtr, long maximumSize);

/// A new empty list, or record when isRecord. Factoring is not supported: factoredSize must be 0.
OSErr AECreateList(const void* factoringPtr, long factoredSize, Boolean isRecord, AEDescList* resultList);

/// Puts a copy of theAEDesc under theAEKeyword into a record or Apple event, replacing an earlier
/// one of that key. errAEWrongDataType for a plain descriptor or a list, which stay unchanged.
OSErr AEPutParamDesc(AppleEvent* theAppleEvent, AEKeyword theAEKeyword, const AEDesc* theAEDesc);
OSErr AEPutParamPtr(AppleEvent* theAppleEvent, AEKeyword theAEKeyword, DescType typeCode, const void* dataPtr,
                    long dataSize);

/// The parameter of that key, coerced to desiredType ('****' for any). errAEDescNotFound when there
/// is none, errAECoercionFail when it cannot be coerced; on failure result is the null descriptor.
OSErr AEGetParamDesc(const AppleEvent* theAppleEvent, AEKeyword theAEKeyword, DescType desiredType, AEDesc* result);

/// As AEGetParamDesc, the coerced data copied into dataPtr (at most maximumSize bytes); actualSize
/// receives the full size and typeCode the type, each when given. errAEWrongDataType for a
/// parameter that is a list or record.
OSErr AEGetParamPtr(const AppleEvent* theAppleEvent, AEKeyword theAEKeyword, DescType desiredType,
                    DescType* typeCode, void* dataPtr, long maximumSize, long* actualSize);

/// A new Apple event with its attributes and no parameters. kAutoGenerateReturnID makes a fresh
/// return id. On failure result is the null descriptor.
OSErr AECreateAppleEvent(AEEventClass theAEEventClass, AEEventID theAEEventID, const AEAddressDesc* target,
                         AEReturnID returnID, AETransactionID transactionID, AppleEvent* result);

/// An attribute of an Apple event, as AEGetParamPtr reads a parameter.
OSErr AEGetAttributePtr(const AppleEvent* theAppleEvent, AEKeyword theAEKeyword, DescType desiredType,
                        DescType* typeCode, void* dataPtr, long maximumSize, long* actualSize);

/// A record of type 'obj ' with 'want' (the class as 'type'), 'from' (a copy of the container),
/// 'form' (the key form as 'enum') and 'seld' (a copy of the key data). With disposeInputs the
/// container and key data are disposed, whatever the result. On failure objSpecifier is null.
OSErr CreateObjSpecifier(DescType desiredClass, AEDesc* theContainer, DescType keyForm, AEDesc* keyData,
                         Boolean disposeInputs, AEDesc* objSpecifier);

/// The descriptor as toType ('****' or its own type: a copy). Integers 'shor' and 'long' convert
/// when the value fits; codes 'type', 'enum' and 'keyw' convert into each other; text 'utxt' (UTF-16,
/// host order), 'utf8' and 'TEXT' (taken as UTF-8) convert when the text is valid. Anything else,
/// or an integer whose data is not of its size, is errAECoercionFail; result is then null.
OSErr AECoerceDesc(const AEDesc* theAEDesc, DescType toType, AEDesc* result);

/// Where and why an event-building format was refused.
enum AEBuildErrorCode : std::uint32_t {
    aeBuildSyntaxNoErr = 0,
    aeBuildSyntaxBadToken = 1,
    aeBuildSyntaxBadEOF = 2,
    aeBuildSyntaxNoEOF = 3,
    aeBuildSyntaxMissingQuote = 5,
    aeBuildSyntaxBadDesc = 11,
    aeBuildSyntaxBadData = 12,
    aeBuildSyntaxNoCloseParen = 13,
    aeBuildSyntaxNoCloseBrace = 15,
    aeBuildSyntaxNoKey = 16,
    aeBuildSyntaxNoColon = 17,
};

/// Why a format was refused, and at which byte.
struct AEBuildError {
    AEBuildErrorCode fError;
    std::uint32_t fErrorPos; ///< byte offset in the format
};

/// AEBuildAppleEvent with its '@' descriptors given as a list; a '@' beyond the list, or a null
/// entry, is a syntax error (aeBuildSyntaxBadDesc).
OSErr AEBuildAppleEventWithDescs(AEEventClass theClass, AEEventID theID, DescType addressType,
                                 const void* addressData, long addressLength, AEReturnID returnID,
                                 AETransactionID transactionID, AppleEvent* result, AEBuildError* error,
                                 const char* paramsFmt, std::span<const AEDesc* const> descs);

/// Makes an Apple event addressed by (addressType, addressData) whose parameters are read from
/// paramsFmt, a comma-separated list of key:value, where key is a code of up to four characters,
/// bare or in single quotes (padded with spaces), and value is one of:
///   abc, 'ab c'      a code as 'enum'
///   @                a copy of the next descriptor argument
///   (value)          the value itself
///   code(value)      the value coerced to code (a failure is a syntax error); a code that
///                    AECoerceDesc has no conversions into just retypes the value
///   {key:v, ...}     a record; code {key:v, ...} a record of type code, such as obj {...}
/// Whitespace may surround every token. A format that breaks these rules gives
/// errAEBuildSyntaxError with error (when given) saying why and where; result is then null.
template <typename... Descs>
OSErr AEBuildAppleEvent(AEEventClass theClass, AEEventID theID, DescType addressType, const void* addressData,
                        long addressLength, AEReturnID returnID, AETransactionID transactionID, AppleEvent* result,
                        AEBuildError* error, const char* paramsFmt, Descs... descs) {
    static_assert((std::is_convertible_v<Descs, const AEDesc*> && ...), "each '@' takes an AEDesc*");
    const AEDesc* const list[] = {static_cast<const AEDesc*>(descs)..., nullptr};
    return AEBuildAppleEventWithDescs(theClass, theID, addressType, addressData, addressLength, returnID,
                                      transactionID, result, error, paramsFmt,
                                      std::span<const AEDesc* const>(list, sizeof...(descs)));
}

/// A null event: the one kind the manager hands to an idle routine.
struct EventRecord {
    std::uint16_t what;
    std::uint32_t message;
    std::uint32_t when;
    std::int16_t whereV;
    std::int16_t whereH;
    std::uint16_t modifiers;
};
constexpr std::uint16_t nullEvent = 0;

struct MacRegion;
using RgnHandle = MacRegion**;

/// Called while a send waits for its reply; returning true gives up the wait.
using AEIdleProcPtr = Boolean (*)(EventRecord* theEvent, long* sleepTime, RgnHandle* mouseRgn);
using AEIdleUPP = AEIdleProcPtr;
/// Would pick other events to handle while waiting; no other events arrive here, so it is never called.
using AEFilterProcPtr = Boolean (*)(EventRecord* theEvent, long returnID, AETransactionID transactionID,
                                    const AEAddressDesc* sender);
using AEFilterUPP = AEFilterProcPtr;

/// The routine reference of an idle routine; it lives as long as the process.
AEIdleUPP NewAEIdleUPP(AEIdleProcPtr userRoutine);

/// An application of this process: fills reply (an empty Apple event of class 'aevt', id 'ansr')
/// and returns its handler status.
using AEApplicationHandler = std::function<OSErr(const AppleEvent* event, AppleEvent* reply)>;

/// Makes handler the application with that signature, in place of any earlier one. The Finder
/// ('MACS') is there from the start.
OSErr AEInstallApplication(OSType signature, AEApplicationHandler handler);

/// Takes the application away; errAEHandlerNotFound when there is none.
OSErr AERemoveApplication(OSType signature);

/// Delivers the event to the application its 'sign' address names (procNotFound when none does)
/// and runs it to completion. With kAEWaitReply the reply receives what the application answered,
/// with 'errn' added when its handler failed and did not put one; the idle routine is then called
/// once, and errAEWaitCanceled comes back when it gives up. With kAENoReply the reply stays the
/// null descriptor and the handler's status is dropped. On failure the reply is null. The handler
/// answers at once, so the priority and time-out change nothing, and no filter is ever called.
OSErr AESend(const AppleEvent* theAppleEvent, AppleEvent* reply, AESendMode sendMode, AESendPriority sendPriority,
             long timeOutInTicks, AEIdleUPP idleProc, AEFilterUPP filterProc);

}  // namespace corvane
