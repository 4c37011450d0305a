#include <cstring>
#include <limits>
#include <string_view>

#include "platform/AEInternal.h"
#include "platform/AppleEvents.h"

namespace {

// Deep enough for any real specifier; stops a hostile format from exhausting the stack.
constexpr int kMaxNesting = 64;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Printable ASCII that has no meaning of its own in the notation.
bool IsCodeCharacter(char c) {
    return c > ' ' && c < 0x7F && std::strchr("(){}[]:,@'\"$-", c) == nullptr;
}

// A later value of a key replaces the earlier one, as AEPutParamDesc does.
void PutKeyed(AEDesc* record, AEKeyword key, AEDesc value) {
    for (AEKeyDesc& item : record->items) {
        if (item.descKey == key) {
            item.descContent = std::move(value);
            return;
        }
    }
    record->items.push_back(AEKeyDesc{key, std::move(value)});
}

int HexValue(char c) {
    if (IsDigit(c)) {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

class Parser {
public:
    Parser(std::string_view format, std::span<const AEDesc* const> descs) : text_(format), descs_(descs) {}

    const AEBuildError& error() const { return error_; }

    /// key:value, key:value ... to the end of the format, each put into event.
    bool ParseParameters(AppleEvent* event) {
        SkipSpace();
        if (AtEnd()) {
            return true;
        }
        for (;;) {
            AEKeyword key;
            AEDesc value;
            if (!ParseKeyValue(&key, &value)) {
                return false;
            }
            PutKeyed(event, key, std::move(value));
            SkipSpace();
            if (AtEnd()) {
                return true;
            }
            if (Peek() != ',') {
                return Fail(aeBuildSyntaxNoEOF);
            }
            ++pos_;
        }
    }

private:
    bool AtEnd() const { return pos_ >= text_.size(); }
    char Peek() const { return text_[pos_]; }

    void SkipSpace() {
        while (!AtEnd() && IsSpace(Peek())) {
            ++pos_;
        }
    }

    bool Fail(AEBuildErrorCode code) {
        error_ = AEBuildError{code, static_cast<std::uint32_t>(pos_)};
        return false;
    }

    bool Expect(char c, AEBuildErrorCode code) {
        SkipSpace();
        if (AtEnd() || Peek() != c) {
            return Fail(code);
        }
        ++pos_;
        return true;
    }

    /// A bare or quoted code of one to four characters, padded with spaces.
    bool ParseCode(FourCharCode* code) {
        SkipSpace();
        if (AtEnd()) {
            return Fail(aeBuildSyntaxBadEOF);
        }
        std::string_view characters;
        if (Peek() == '\'') {
            const std::size_t close = text_.find('\'', pos_ + 1);
            if (close == std::string_view::npos) {
                return Fail(aeBuildSyntaxMissingQuote);
            }
            characters = text_.substr(pos_ + 1, close - pos_ - 1);
            if (characters.empty() || characters.size() > 4) {
                return Fail(aeBuildSyntaxBadToken);
            }
            pos_ = close + 1;
        } else {
            const std::size_t start = pos_;
            while (!AtEnd() && IsCodeCharacter(Peek())) {
                ++pos_;
            }
            characters = text_.substr(start, pos_ - start);
            if (characters.empty() || characters.size() > 4) {
                pos_ = start;
                return Fail(aeBuildSyntaxBadToken);
            }
        }
        FourCharCode value = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            const char c = i < characters.size() ? characters[i] : ' ';
            value = (value << 8) | static_cast<std::uint8_t>(c);
        }
        *code = value;
        return true;
    }

    bool ParseKeyValue(AEKeyword* key, AEDesc* value) {
        SkipSpace();
        if (AtEnd() || !(Peek() == '\'' || IsCodeCharacter(Peek()))) {
            return Fail(AtEnd() ? aeBuildSyntaxBadEOF : aeBuildSyntaxNoKey);
        }
        return ParseCode(key) && Expect(':', aeBuildSyntaxNoColon) && ParseValue(value, 0);
    }

    bool ParseValue(AEDesc* value, int depth) {
        SkipSpace();
        if (depth > kMaxNesting) {
            return Fail(aeBuildSyntaxBadDesc);
        }
        if (AtEnd()) {
            return Fail(aeBuildSyntaxBadEOF);
        }
        const char c = Peek();
        if (c == '@') {
            return ParseArgument(value);
        }
        if (c == '-' || IsDigit(c)) {
            return ParseInteger(value);
        }
        if (c == '"') {
            return ParseString(value);
        }
        if (c == '$') {
            return Fail(aeBuildSyntaxUncoercedHex);
        }
        if (c == '[') {
            return ParseList(value, depth);
        }
        if (c == '{') {
            return ParseRecord(value, typeAERecord, depth);
        }
        if (c == '(') {
            ++pos_;
            return ParseValue(value, depth + 1) && Expect(')', aeBuildSyntaxNoCloseParen);
        }
        if (c == '\'' || IsCodeCharacter(c)) {
            return ParseCodeValue(value, depth);
        }
        return Fail(aeBuildSyntaxBadToken);
    }

    bool ParseArgument(AEDesc* value) {
        if (nextArgument_ >= descs_.size() || descs_[nextArgument_] == nullptr) {
            return Fail(aeBuildSyntaxBadDesc);
        }
        *value = *descs_[nextArgument_++];
        ++pos_;
        return true;
    }

    bool ParseInteger(AEDesc* value) {
        const std::size_t start = pos_;
        const bool negative = Peek() == '-';
        if (negative) {
            ++pos_;
            if (AtEnd() || !IsDigit(Peek())) {
                return Fail(aeBuildSyntaxBadNegative);
            }
        }
        std::int64_t magnitude = 0;
        while (!AtEnd() && IsDigit(Peek())) {
            magnitude = magnitude * 10 + (Peek() - '0');
            if (magnitude > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) {
                pos_ = start;
                return Fail(aeBuildSyntaxBadData);
            }
            ++pos_;
        }
        const std::int64_t number = negative ? -magnitude : magnitude;
        if (number > std::numeric_limits<std::int32_t>::max()) {
            pos_ = start;
            return Fail(aeBuildSyntaxBadData);
        }
        if (number >= std::numeric_limits<std::int16_t>::min() && number <= std::numeric_limits<std::int16_t>::max()) {
            *value = AEDescOfValue(typeSInt16, static_cast<std::int16_t>(number));
        } else {
            *value = AEDescOfValue(typeSInt32, static_cast<std::int32_t>(number));
        }
        return true;
    }

    bool ParseString(AEDesc* value) {
        const std::size_t close = text_.find('"', pos_ + 1);
        if (close == std::string_view::npos) {
            return Fail(aeBuildSyntaxNoCloseString);
        }
        const std::string_view characters = text_.substr(pos_ + 1, close - pos_ - 1);
        *value = AEDesc{};
        value->descriptorType = typeChar;
        value->data.assign(characters.begin(), characters.end());
        pos_ = close + 1;
        return true;
    }

    bool ParseHex(std::vector<std::uint8_t>* bytes) {
        ++pos_;
        int pending = -1;
        for (;;) {
            SkipSpace();
            if (AtEnd()) {
                return Fail(aeBuildSyntaxNoCloseHex);
            }
            const char c = Peek();
            if (c == '$') {
                ++pos_;
                return pending < 0 || Fail(aeBuildSyntaxOddHex);
            }
            const int digit = HexValue(c);
            if (digit < 0) {
                return Fail(aeBuildSyntaxBadHex);
            }
            if (pending < 0) {
                pending = digit;
            } else {
                bytes->push_back(static_cast<std::uint8_t>(pending << 4 | digit));
                pending = -1;
            }
            ++pos_;
        }
    }

    bool ParseList(AEDesc* value, int depth) {
        ++pos_;
        AECreateList(nullptr, 0, false, value);
        SkipSpace();
        if (!AtEnd() && Peek() == ']') {
            ++pos_;
            return true;
        }
        for (;;) {
            AEDesc item;
            if (!ParseValue(&item, depth + 1)) {
                return false;
            }
            value->items.push_back(AEKeyDesc{0, std::move(item)});
            SkipSpace();
            if (AtEnd()) {
                return Fail(aeBuildSyntaxNoCloseBracket);
            }
            const char c = Peek();
            ++pos_;
            if (c == ']') {
                return true;
            }
            if (c != ',') {
                --pos_;
                return Fail(aeBuildSyntaxNoCloseBracket);
            }
        }
    }

    bool ParseRecord(AEDesc* value, DescType type, int depth) {
        ++pos_;
        AECreateList(nullptr, 0, true, value);
        value->descriptorType = type;
        SkipSpace();
        if (!AtEnd() && Peek() == '}') {
            ++pos_;
            return true;
        }
        for (;;) {
            SkipSpace();
            if (AtEnd() || !(Peek() == '\'' || IsCodeCharacter(Peek()))) {
                return Fail(AtEnd() ? aeBuildSyntaxNoCloseBrace : aeBuildSyntaxNoKey);
            }
            AEKeyword key;
            AEDesc item;
            if (!ParseCode(&key) || !Expect(':', aeBuildSyntaxNoColon) || !ParseValue(&item, depth + 1)) {
                return false;
            }
            PutKeyed(value, key, std::move(item));
            SkipSpace();
            if (AtEnd()) {
                return Fail(aeBuildSyntaxNoCloseBrace);
            }
            const char c = Peek();
            ++pos_;
            if (c == '}') {
                return true;
            }
            if (c != ',') {
                --pos_;
                return Fail(aeBuildSyntaxNoCloseBrace);
            }
        }
    }

    /// code, code(value), code($hex$), code() or code {record}.
    bool ParseCodeValue(AEDesc* value, int depth) {
        const std::size_t start = pos_;
        FourCharCode code;
        if (!ParseCode(&code)) {
            return false;
        }
        SkipSpace();
        if (!AtEnd() && Peek() == '{') {
            return ParseRecord(value, code, depth + 1);
        }
        if (AtEnd() || Peek() != '(') {
            *value = AEDescOfValue(typeEnumerated, code);
            return true;
        }
        ++pos_;
        SkipSpace();
        AEDesc inner;
        if (!AtEnd() && Peek() == '$') {
            inner.descriptorType = code;
            if (!ParseHex(&inner.data)) {
                return false;
            }
        } else if (!AtEnd() && Peek() == ')') {
            inner.descriptorType = code;
        } else if (!ParseValue(&inner, depth + 1)) {
            return false;
        }
        if (!Expect(')', aeBuildSyntaxNoCloseParen)) {
            return false;
        }
        if (inner.kind == AEDescKind::list) {
            pos_ = start;
            return Fail(aeBuildSyntaxCoercedList);
        }
        if (AECoerceDesc(&inner, code, value) == noErr) {
            return true;
        }
        if (AEHasConversionsInto(code)) {
            pos_ = start;
            return Fail(aeBuildSyntaxBadData);
        }
        *value = std::move(inner);
        value->descriptorType = code;
        return true;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::span<const AEDesc* const> descs_;
    std::size_t nextArgument_ = 0;
    AEBuildError error_{aeBuildSyntaxNoErr, 0};
};

} // namespace

OSErr AEBuildAppleEventWithDescs(AEEventClass theClass, AEEventID theID, DescType addressType,
                                 const void* addressData, long addressLength, AEReturnID returnID,
                                 AETransactionID transactionID, AppleEvent* result, AEBuildError* error,
                                 const char* paramsFmt, std::span<const AEDesc* const> descs) {
    if (result == nullptr || paramsFmt == nullptr) {
        return paramErr;
    }
    *result = AEDesc{};
    if (error != nullptr) {
        *error = AEBuildError{aeBuildSyntaxNoErr, 0};
    }
    AEAddressDesc target;
    OSErr err = AECreateDesc(addressType, addressData, addressLength, &target);
    if (err == noErr) {
        err = AECreateAppleEvent(theClass, theID, &target, returnID, transactionID, result);
    }
    if (err != noErr) {
        return err;
    }
    err = AEGuardAllocation([&] {
        Parser parser(paramsFmt, descs);
        if (parser.ParseParameters(result)) {
            return noErr;
        }
        if (error != nullptr) {
            *error = parser.error();
        }
        return errAEBuildSyntaxError;
    });
    if (err != noErr) {
        *result = AEDesc{};
    }
    return err;
}
