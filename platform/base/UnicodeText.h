// Names are bytes on disk and UTF-16 in the catalog; every conversion between them happens here.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace corvane {

/// Strict UTF-8 to UTF-16; none for bytes that are not valid UTF-8.
std::optional<std::u16string> UTF16FromUTF8(std::string_view utf8);

/// Whether text is strict UTF-8, checked in place.
bool IsValidUTF8(std::string_view text);

/// bytes as valid UTF-8: each byte that does not belong to a valid sequence is replaced by U+FFFD, in
/// one pass.
std::string UTF8WithReplacementCharacters(std::string_view bytes);

/// UTF-16 to UTF-8; none for an unpaired surrogate.
std::optional<std::string> UTF8FromUTF16(std::u16string_view utf16);

/// text with '/' and ':' traded: a POSIX name or path and its catalog or HFS form differ in exactly this.
template <typename Text>
Text WithSeparatorsSwapped(Text text) {
    using Char = typename Text::value_type;
    for (Char& c : text) {
        if (c == Char('/')) {
            c = Char(':');
        } else if (c == Char(':')) {
            c = Char('/');
        }
    }
    return text;
}

/// The catalog name of a POSIX name: UTF-16 with '/' and ':' swapped. None when the name is not
/// valid UTF-8 or is longer than 255 units.
std::optional<std::u16string> CatalogNameFromPosixName(std::string_view posixName);

/// The POSIX name of a catalog name. None when the name holds ':' (a POSIX '/'), an unpaired
/// surrogate, a NUL, or is empty, "." or "..".
std::optional<std::string> PosixNameFromCatalogName(std::u16string_view catalogName);

}  // namespace corvane
