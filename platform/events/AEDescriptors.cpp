#include <algorithm>
#include <cstring>

#include "platform/events/AppleEvents.h"
#include "platform/events/internal/AEInternal.h"

namespace corvane {

namespace {

bool IsKeyed(const AEDesc& desc) {
    return desc.kind == AEDescKind::record || desc.kind == AEDescKind::appleEvent;
}

bool IsComposite(const AEDesc& desc) { return desc.kind != AEDescKind::plain; }

const AEDesc* FindKey(const std::vector<AEKeyDesc>& items, AEKeyword key) {
    const auto found =
        std::find_if(items.begin(), items.end(), [key](const AEKeyDesc& item) { return item.descKey == key; });
    return found == items.end() ? nullptr : &found->descContent;
}

void PutKey(std::vector<AEKeyDesc>& items, AEKeyword key, AEDesc value) {
    for (AEKeyDesc& item : items) {
        if (item.descKey == key) {
            item.descContent = std::move(value);
            return;
        }
    }
    items.push_back(AEKeyDesc{key, std::move(value)});
}

OSErr CoerceFound(const AEDesc* found, DescType desiredType, AEDesc* result) {
    if (result == nullptr) {
        return paramErr;
    }
    *result = AEDesc{};
    if (found == nullptr) {
        return errAEDescNotFound;
    }
    return AECoerceDesc(found, desiredType, result);
}

OSErr CopyOutFound(const AEDesc* found, DescType desiredType, DescType* typeCode, void* dataPtr, long maximumSize,
                   long* actualSize) {
    if (found == nullptr) {
        return errAEDescNotFound;
    }
    if (maximumSize < 0 || (dataPtr == nullptr && maximumSize > 0)) {
        return paramErr;
    }
    AEDesc coerced;
    const OSErr err = AECoerceDesc(found, desiredType, &coerced);
    if (err != noErr) {
        return err;
    }
    if (IsComposite(coerced)) {
        return errAEWrongDataType;
    }
    const long size = static_cast<long>(coerced.data.size());
    if (size > 0 && maximumSize > 0) {
        std::memcpy(dataPtr, coerced.data.data(), static_cast<std::size_t>(std::min(size, maximumSize)));
    }
    if (typeCode != nullptr) {
        *typeCode = coerced.descriptorType;
    }
    if (actualSize != nullptr) {
        *actualSize = size;
    }
    return noErr;
}

AEReturnID NextReturnID() {
    static AEReturnID next = 1;
    const AEReturnID id = next;
    next = (next == INT16_MAX) ? 1 : static_cast<AEReturnID>(next + 1);
    return id;
}

} // namespace

OSErr AECreateDesc(DescType typeCode, const void* dataPtr, long dataSize, AEDesc* result) {
    if (result == nullptr) {
        return paramErr;
    }
    *result = AEDesc{};
    if (dataSize < 0 || (dataPtr == nullptr && dataSize > 0)) {
        return paramErr;
    }
    return AEGuardAllocation([&] {
        AEDesc desc;
        desc.descriptorType = typeCode;
        const auto* bytes = static_cast<const std::uint8_t*>(dataPtr);
        desc.data.assign(bytes, bytes + dataSize);
        *result = std::move(desc);
        return noErr;
    });
}

OSErr AEDisposeDesc(AEDesc* theAEDesc) {
    if (theAEDesc == nullptr) {
        return paramErr;
    }
    *theAEDesc = AEDesc{};
    return noErr;
}

long AEGetDescDataSize(const AEDesc* theAEDesc) {
    if (theAEDesc == nullptr || IsComposite(*theAEDesc)) {
        return 0;
    }
    return static_cast<long>(theAEDesc->data.size());
}

OSErr AEGetDescData(const AEDesc* theAEDesc, void* dataPtr, long maximumSize) {
    if (theAEDesc == nullptr || maximumSize < 0 || (dataPtr == nullptr && maximumSize > 0)) {
        return paramErr;
    }
    if (IsComposite(*theAEDesc)) {
        return errAEWrongDataType;
    }
    const auto count = std::min(theAEDesc->data.size(), static_cast<std::size_t>(maximumSize));
    if (count > 0) {
        std::memcpy(dataPtr, theAEDesc->data.data(), count);
    }
    return noErr;
}

OSErr AECreateList(const void* /*factoringPtr*/, long factoredSize, Boolean isRecord, AEDescList* resultList) {
    if (resultList == nullptr || factoredSize != 0) {
        return paramErr;
    }
    *resultList = AEDesc{};
    resultList->descriptorType = isRecord ? typeAERecord : typeAEList;
    resultList->kind = isRecord ? AEDescKind::record : AEDescKind::list;
    return noErr;
}

OSErr AEPutParamDesc(AppleEvent* theAppleEvent, AEKeyword theAEKeyword, const AEDesc* theAEDesc) {
    if (theAppleEvent == nullptr || theAEDesc == nullptr) {
        return paramErr;
    }
    if (!IsKeyed(*theAppleEvent)) {
        return errAEWrongDataType;
    }
    return AEGuardAllocation([&] {
        PutKey(theAppleEvent->items, theAEKeyword, *theAEDesc);
        return noErr;
    });
}

OSErr AEPutParamPtr(AppleEvent* theAppleEvent, AEKeyword theAEKeyword, DescType typeCode, const void* dataPtr,
                    long dataSize) {
    AEDesc value;
    const OSErr err = AECreateDesc(typeCode, dataPtr, dataSize, &value);
    return err != noErr ? err : AEPutParamDesc(theAppleEvent, theAEKeyword, &value);
}

OSErr AEGetParamDesc(const AppleEvent* theAppleEvent, AEKeyword theAEKeyword, DescType desiredType, AEDesc* result) {
    if (theAppleEvent == nullptr) {
        return paramErr;
    }
    if (!IsKeyed(*theAppleEvent)) {
        return errAEWrongDataType;
    }
    return AEGuardAllocation(
        [&] { return CoerceFound(FindKey(theAppleEvent->items, theAEKeyword), desiredType, result); });
}

OSErr AEGetParamPtr(const AppleEvent* theAppleEvent, AEKeyword theAEKeyword, DescType desiredType,
                    DescType* typeCode, void* dataPtr, long maximumSize, long* actualSize) {
    if (theAppleEvent == nullptr) {
        return paramErr;
    }
    if (!IsKeyed(*theAppleEvent)) {
        return errAEWrongDataType;
    }
    return AEGuardAllocation([&] {
        return CopyOutFound(FindKey(theAppleEvent->items, theAEKeyword), desiredType, typeCode, dataPtr,
                            maximumSize, actualSize);
    });
}

OSErr AECreateAppleEvent(AEEventClass theAEEventClass, AEEventID theAEEventID, const AEAddressDesc* target,
                         AEReturnID returnID, AETransactionID transactionID, AppleEvent* result) {
    if (target == nullptr || result == nullptr) {
        return paramErr;
    }
    *result = AEDesc{};
    return AEGuardAllocation([&] {
        AppleEvent event;
        event.descriptorType = typeAppleEvent;
        event.kind = AEDescKind::appleEvent;
        const AEReturnID id = returnID == kAutoGenerateReturnID ? NextReturnID() : returnID;
        event.attributes.push_back(AEKeyDesc{keyEventClassAttr, AEDescOfValue(typeType, theAEEventClass)});
        event.attributes.push_back(AEKeyDesc{keyEventIDAttr, AEDescOfValue(typeType, theAEEventID)});
        event.attributes.push_back(AEKeyDesc{keyAddressAttr, *target});
        event.attributes.push_back(AEKeyDesc{keyReturnIDAttr, AEDescOfValue(typeSInt16, id)});
        event.attributes.push_back(AEKeyDesc{keyTransactionIDAttr, AEDescOfValue(typeSInt32, transactionID)});
        *result = std::move(event);
        return noErr;
    });
}

OSErr AEGetAttributePtr(const AppleEvent* theAppleEvent, AEKeyword theAEKeyword, DescType desiredType,
                        DescType* typeCode, void* dataPtr, long maximumSize, long* actualSize) {
    if (theAppleEvent == nullptr) {
        return paramErr;
    }
    if (theAppleEvent->kind != AEDescKind::appleEvent) {
        return errAEWrongDataType;
    }
    return AEGuardAllocation([&] {
        return CopyOutFound(FindKey(theAppleEvent->attributes, theAEKeyword), desiredType, typeCode, dataPtr,
                            maximumSize, actualSize);
    });
}

OSErr CreateObjSpecifier(DescType desiredClass, AEDesc* theContainer, DescType keyForm, AEDesc* keyData,
                         Boolean disposeInputs, AEDesc* objSpecifier) {
    if (theContainer == nullptr || keyData == nullptr || objSpecifier == nullptr) {
        return paramErr;
    }
    *objSpecifier = AEDesc{};
    const OSErr err = AEGuardAllocation([&] {
        AERecord specifier;
        specifier.descriptorType = typeObjectSpecifier;
        specifier.kind = AEDescKind::record;
        specifier.items.push_back(AEKeyDesc{keyAEDesiredClass, AEDescOfValue(typeType, desiredClass)});
        specifier.items.push_back(AEKeyDesc{keyAEContainer, *theContainer});
        specifier.items.push_back(AEKeyDesc{keyAEKeyForm, AEDescOfValue(typeEnumerated, keyForm)});
        specifier.items.push_back(AEKeyDesc{keyAEKeyData, *keyData});
        *objSpecifier = std::move(specifier);
        return noErr;
    });
    if (disposeInputs) {
        AEDisposeDesc(theContainer);
        AEDisposeDesc(keyData);
    }
    return err;
}

}  // namespace corvane
