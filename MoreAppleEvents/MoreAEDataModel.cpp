#include "MoreAppleEvents/MoreAEDataModel.h"

#include <cstddef>
#include <new>

#include "platform/base/Assertions.h"

namespace corvane {

OSErr MoreAECreateAEDescFromCFString(const std::u16string* string, AEDesc* result) {
    if (string == nullptr || result == nullptr) {
        return paramErr;
    }
    *result = AEDesc{};
    try {
        const std::u16string units(*string);
        return AECreateDesc(typeUnicodeText, units.data(), static_cast<long>(units.size() * 2), result);
    } catch (const std::bad_alloc&) {
        return memFullErr;
    }
}

OSErr MoreAEGetCFStringFromDescriptor(const AEDesc* desc, std::optional<std::u16string>* string) {
    if (string == nullptr) {
        return paramErr;
    }
    AEDesc text;
    OSErr err = AECoerceDesc(desc, typeUnicodeText, &text);
    if (err != noErr) {
        return err;
    }
    // No bytes would make a buffer of no bytes, which is no buffer: no string, and no failure either.
    const long size = AEGetDescDataSize(&text);
    if (size > 0) {
        try {
            std::u16string units(static_cast<std::size_t>(size) / 2, u'\0');
            err = AEGetDescData(&text, units.data(), static_cast<long>(units.size() * 2));
            if (err == noErr) {
                *string = std::move(units);
            }
        } catch (const std::bad_alloc&) {
            err = memFullErr;
        }
    }
    MoreAEDisposeDesc(&text);
    return err;
}

OSErr MoreAEDisposeDesc(AEDesc* desc) {
    CORVANE_ASSERT(desc != NULL);
    const OSErr junk = AEDisposeDesc(desc);
    CORVANE_ASSERT(junk == noErr);
    return noErr;
}

}  // namespace corvane
