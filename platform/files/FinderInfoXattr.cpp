#include "platform/files/internal/FinderInfoXattr.h"

#include <array>
#include <span>

#include "platform/files/EntryAttributes.h"

namespace corvane {

namespace {

constexpr std::size_t kFinderInfoSize = 32;

class BigEndianReader {
public:
    explicit BigEndianReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::uint16_t U16() {
        const auto value = static_cast<std::uint16_t>((bytes_[at_] << 8) | bytes_[at_ + 1]);
        at_ += 2;
        return value;
    }
    std::int16_t S16() { return static_cast<std::int16_t>(U16()); }
    std::uint32_t U32() {
        const std::uint32_t high = U16();
        return (high << 16) | U16();
    }
    std::int32_t S32() { return static_cast<std::int32_t>(U32()); }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
};

// The two halves in host order from the attribute's bytes; all zero unless there are exactly 32.
void DecodeFinderInfo(std::span<const std::uint8_t> bytes, FinderInfo& finderInfo, ExtendedFinderInfo& extended) {
    finderInfo = FinderInfo{};
    extended = ExtendedFinderInfo{};
    if (bytes.size() != kFinderInfoSize) {
        return;
    }
    BigEndianReader reader(bytes);
    finderInfo.fileType = reader.U32();
    finderInfo.fileCreator = reader.U32();
    finderInfo.finderFlags = reader.U16();
    finderInfo.location[0] = reader.S16();
    finderInfo.location[1] = reader.S16();
    finderInfo.reservedField = reader.U16();
    for (std::int16_t& reserved : extended.reserved1) {
        reserved = reader.S16();
    }
    extended.extendedFinderFlags = reader.U16();
    extended.reserved2 = reader.S16();
    extended.putAwayFolderID = reader.S32();
}

}  // namespace

void ReadFinderInfo(int folder, const char* name, FinderInfo& finderInfo, ExtendedFinderInfo& extended) {
    std::array<std::uint8_t, kFinderInfoSize> bytes{};
    // A longer value fails with ERANGE and reads as malformed, as does a shorter one.
    const ssize_t size = GetEntryAttribute(folder, name, kFinderInfoXattrName, bytes.data(), bytes.size());
    DecodeFinderInfo(std::span<const std::uint8_t>(bytes.data(), size < 0 ? 0 : static_cast<std::size_t>(size)),
                     finderInfo, extended);
}

}  // namespace corvane
