// The original platform's basic scalar types, kept so that every layer above speaks its vocabulary.
#pragma once

#include <cstdint>

namespace corvane {

using OSErr = std::int16_t;
using OSStatus = std::int32_t;
using OSType = std::uint32_t;
using FourCharCode = std::uint32_t;
using UniChar = char16_t;
using UniCharCount = std::uint32_t;
using ItemCount = std::uint32_t;
using Boolean = std::uint8_t;
using TextEncoding = std::uint32_t;

/// A four-character code from its text: FOUR_CHAR_CODE("MACS"), first character most significant.
constexpr FourCharCode FOUR_CHAR_CODE(const char (&text)[5]) {
    return (FourCharCode(std::uint8_t(text[0])) << 24) | (FourCharCode(std::uint8_t(text[1])) << 16) |
           (FourCharCode(std::uint8_t(text[2])) << 8) | FourCharCode(std::uint8_t(text[3]));
}

}  // namespace corvane
