#include <cstring>
#include <limits>
#include <optional>
#include <string>

#include "platform/base/UnicodeText.h"
#include "platform/events/AppleEvents.h"
#include "platform/events/internal/AEInternal.h"

namespace corvane {

namespace {

bool IsInteger(DescType type) { return type == typeSInt16 || type == typeSInt32; }

bool IsCode(DescType type) { return type == typeType || type == typeEnumerated || type == typeKeyword; }

bool IsText(DescType type) { return type == typeUnicodeText || type == typeUTF8Text || type == typeChar; }

std::optional<std::int32_t> IntegerOf(const AEDesc& desc) {
    if (desc.descriptorType == typeSInt16 && desc.data.size() == sizeof(std::int16_t)) {
        std::int16_t value;
        std::memcpy(&value, desc.data.data(), sizeof value);
        return value;
    }
    if (desc.descriptorType == typeSInt32 && desc.data.size() == sizeof(std::int32_t)) {
        std::int32_t value;
        std::memcpy(&value, desc.data.data(), sizeof value);
        return value;
    }
    return std::nullopt;
}

std::optional<AEDesc> CoerceInteger(const AEDesc& desc, DescType toType) {
    const std::optional<std::int32_t> value = IntegerOf(desc);
    if (!value) {
        return std::nullopt;
    }
    if (toType == typeSInt32) {
        return AEDescOfValue(typeSInt32, *value);
    }
    if (*value < std::numeric_limits<std::int16_t>::min() || *value > std::numeric_limits<std::int16_t>::max()) {
        return std::nullopt;
    }
    return AEDescOfValue(typeSInt16, static_cast<std::int16_t>(*value));
}

// 'utxt' is UTF-16 in host order; an odd last byte is not part of any unit and is dropped.
std::u16string UnitsOf(const AEDesc& desc) {
    std::u16string units(desc.data.size() / 2, u'\0');
    if (!units.empty()) {
        std::memcpy(units.data(), desc.data.data(), units.size() * 2);
    }
    return units;
}

std::optional<AEDesc> CoerceText(const AEDesc& desc, DescType toType) {
    AEDesc result;
    result.descriptorType = toType;
    if (desc.descriptorType == typeUnicodeText) {
        const std::optional<std::string> utf8 = UTF8FromUTF16(UnitsOf(desc));
        if (!utf8) {
            return std::nullopt;
        }
        result.data.assign(utf8->begin(), utf8->end());
        return result;
    }
    const std::string_view utf8(reinterpret_cast<const char*>(desc.data.data()), desc.data.size());
    const std::optional<std::u16string> utf16 = UTF16FromUTF8(utf8);
    if (!utf16) {
        return std::nullopt;
    }
    if (toType == typeUnicodeText) {
        result.data.resize(utf16->size() * 2);
        if (!utf16->empty()) {
            std::memcpy(result.data.data(), utf16->data(), result.data.size());
        }
    } else {
        result.data.assign(utf8.begin(), utf8.end());
    }
    return result;
}

std::optional<AEDesc> Coerce(const AEDesc& desc, DescType toType) {
    const DescType fromType = desc.descriptorType;
    if (desc.kind == AEDescKind::plain && IsInteger(fromType) && IsInteger(toType)) {
        return CoerceInteger(desc, toType);
    }
    if (toType == typeWildCard || toType == fromType) {
        return desc;
    }
    if (desc.kind != AEDescKind::plain) {
        return std::nullopt;
    }
    if (IsCode(fromType) && IsCode(toType) && desc.data.size() == sizeof(FourCharCode)) {
        AEDesc result = desc;
        result.descriptorType = toType;
        return result;
    }
    if (IsText(fromType) && IsText(toType)) {
        return CoerceText(desc, toType);
    }
    return std::nullopt;
}

} // namespace

bool AEHasConversionsInto(DescType type) { return IsInteger(type) || IsCode(type) || IsText(type); }

OSErr AECoerceDesc(const AEDesc* theAEDesc, DescType toType, AEDesc* result) {
    if (theAEDesc == nullptr || result == nullptr) {
        return paramErr;
    }
    return AEGuardAllocation([&] {
        std::optional<AEDesc> coerced = Coerce(*theAEDesc, toType);
        if (!coerced) {
            *result = AEDesc{};
            return errAECoercionFail;
        }
        *result = std::move(*coerced);
        return noErr;
    });
}

}  // namespace corvane
