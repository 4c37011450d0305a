// The notation that builds an Apple event from a format: key:value parameters whose values are codes,
// typed codes, records and the descriptors passed in, as the comment events write them.
#include <cstring>
#include <string_view>

#include "platform/events/AppleEvents.h"
#include "platform/events/internal/AEInternal.h"

namespace corvane {

namespace {

// Deep enough for any real specifier; stops a hostile format from exhausting the stack.
constexpr int kMaxNesting = 64;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

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

    /// code, code(value) or code {record}.
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
        AEDesc inner;
        if (!ParseValue(&inner, depth + 1) || !Expect(')', aeBuildSyntaxNoCloseParen)) {
            return false;
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

}  // namespace corvane
