#include "platform/base/UnicodeText.h"

#include <cstdint>

namespace corvane {

namespace {

constexpr std::size_t kMaxCatalogNameUnits = 255;

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void AppendCodePoint(std::u16string& out, char32_t codePoint) {
    if (codePoint < 0x10000) {
        out.push_back(static_cast<char16_t>(codePoint));
        return;
    }
    codePoint -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
}

void AppendUTF8(std::string& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

// The length of the UTF-8 sequence at i with its code point in codePoint; 0 when the bytes at i do
// not start one (a stray or missing continuation byte, an overlong form, an encoded surrogate, a
// value past Unicode, a sequence cut short).
std::size_t DecodeUTF8(std::string_view utf8, std::size_t i, char32_t& codePoint) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (utf8.size() - i < length) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(utf8[i + k]);
        if (!IsContinuation(next)) {
            return 0;
        }
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    if (codePoint < minimum || (codePoint >= 0xD800 && codePoint <= 0xDFFF) || codePoint > 0x10FFFF) {
        return 0;
    }
    return length;
}

}  // namespace

std::optional<std::u16string> UTF16FromUTF8(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t codePoint = 0;
        const std::size_t length = DecodeUTF8(utf8, i, codePoint);
        if (length == 0) {
            return std::nullopt;
        }
        AppendCodePoint(out, codePoint);
        i += length;
    }
    return out;
}

bool IsValidUTF8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        char32_t codePoint = 0;
        const std::size_t length = DecodeUTF8(text, i, codePoint);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

std::string UTF8WithReplacementCharacters(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t codePoint = 0;
        const std::size_t length = DecodeUTF8(bytes, i, codePoint);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(bytes.substr(i, length));
            i += length;
        }
    }
    return out;
}

std::optional<std::string> UTF8FromUTF16(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size() * 3);
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        const char16_t unit = utf16[i];
        if (IsLowSurrogate(unit)) {
            return std::nullopt;
        }
        if (IsHighSurrogate(unit)) {
            if (i + 1 == utf16.size() || !IsLowSurrogate(utf16[i + 1])) {
                return std::nullopt;
            }
            const char32_t codePoint = 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (char32_t(utf16[i + 1]) - 0xDC00);
            AppendUTF8(out, codePoint);
            ++i;
        } else {
            AppendUTF8(out, unit);
        }
    }
    return out;
}

std::optional<std::u16string> CatalogNameFromPosixName(std::string_view posixName) {
    const std::optional<std::u16string> name = UTF16FromUTF8(posixName);
    if (!name || name->size() > kMaxCatalogNameUnits) {
        return std::nullopt;
    }
    return WithSeparatorsSwapped(*name);
}

std::optional<std::string> PosixNameFromCatalogName(std::u16string_view catalogName) {
    if (catalogName.empty() || catalogName == u"." || catalogName == u"..") {
        return std::nullopt;
    }
    // A ':' in a catalog name would be a '/' on disk, which no POSIX name may hold.
    if (catalogName.find_first_of(u":\0", 0, 2) != std::u16string_view::npos) {
        return std::nullopt;
    }
    return UTF8FromUTF16(WithSeparatorsSwapped(std::u16string(catalogName)));
}

}  // namespace corvane
