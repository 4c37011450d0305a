#include "platform/base/PropertyLists.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "platform/base/ConfigurationFile.h"

namespace corvane {

namespace {

constexpr std::string_view kBinaryMagic = "bplist00";
constexpr std::size_t kTrailerSize = 32;

enum class Shape { fits, malformed, tooDeep, cyclic, tooLarge };

std::uint64_t BigEndian(std::string_view bytes, std::size_t at, std::size_t size) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < size; ++i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    }
    return value;
}

// The parts of a binary list that locate its objects.
struct BinaryLayout {
    std::string_view bytes;
    std::size_t offsetSize;
    std::size_t referenceSize;
    std::uint64_t objectCount;
    std::uint64_t topObject;
    std::size_t offsetTable;
};

std::optional<BinaryLayout> LayoutOf(std::string_view bytes) {
    if (bytes.size() < kBinaryMagic.size() + kTrailerSize) {
        return std::nullopt;
    }
    const std::size_t trailer = bytes.size() - kTrailerSize;
    BinaryLayout layout{bytes,
                        static_cast<unsigned char>(bytes[trailer + 6]),
                        static_cast<unsigned char>(bytes[trailer + 7]),
                        BigEndian(bytes, trailer + 8, 8),
                        BigEndian(bytes, trailer + 16, 8),
                        0};
    const std::uint64_t offsetTable = BigEndian(bytes, trailer + 24, 8);
    if (layout.offsetSize < 1 || layout.offsetSize > 8 || layout.referenceSize < 1 || layout.referenceSize > 8 ||
        layout.objectCount == 0 || layout.topObject >= layout.objectCount || offsetTable < kBinaryMagic.size() ||
        offsetTable > trailer || layout.objectCount > (trailer - offsetTable) / layout.offsetSize) {
        return std::nullopt;
    }
    layout.offsetTable = static_cast<std::size_t>(offsetTable);
    return layout;
}

// A container's references: where they start and how many there are (a dictionary's keys, then its
// values). None for a value that holds no other.
struct References {
    std::size_t start;
    std::uint64_t count;
};

std::optional<std::optional<References>> ReferencesOf(const BinaryLayout& layout, std::uint64_t object) {
    const std::uint64_t offset =
        BigEndian(layout.bytes, layout.offsetTable + static_cast<std::size_t>(object) * layout.offsetSize,
                  layout.offsetSize);
    if (offset < kBinaryMagic.size() || offset >= layout.offsetTable) {
        return std::nullopt;
    }
    std::size_t at = static_cast<std::size_t>(offset);
    const auto marker = static_cast<unsigned char>(layout.bytes[at++]);
    const unsigned kind = marker >> 4;
    // Arrays (0xA), sets (0xC) and dictionaries (0xD) are the only values that refer to others.
    if (kind != 0xA && kind != 0xC && kind != 0xD) {
        return std::optional<References>{};
    }
    std::uint64_t count = marker & 0x0F;
    if (count == 0x0F) {
        // A longer count follows as an integer value: a marker 0x1n, then 2^n bytes.
        if (at >= layout.offsetTable || (static_cast<unsigned char>(layout.bytes[at]) & 0xF0) != 0x10) {
            return std::nullopt;
        }
        const std::size_t size = std::size_t{1} << (static_cast<unsigned char>(layout.bytes[at]) & 0x0F);
        if (size > 8 || layout.offsetTable - at - 1 < size) {
            return std::nullopt;
        }
        count = BigEndian(layout.bytes, at + 1, size);
        at += 1 + size;
    }
    const std::uint64_t room = (layout.offsetTable - at) / layout.referenceSize;
    const std::uint64_t perEntry = kind == 0xD ? 2 : 1;
    if (count > room / perEntry) {
        return std::nullopt;
    }
    return std::optional<References>{References{at, count * perEntry}};
}

// Walks the object graph from the top object depth first with a stack of its own, visiting each
// object once: the height and the number of values of each object's tree are kept, so that sharing
// costs nothing to check, and an object met again while it is still open contains itself.
Shape BinaryShape(std::string_view bytes) {
    const std::optional<BinaryLayout> layout = LayoutOf(bytes);
    if (!layout) {
        return Shape::malformed;
    }
    enum : std::uint8_t { unvisited, open, done };
    const auto objects = static_cast<std::size_t>(layout->objectCount);
    std::vector<std::uint8_t> state(objects, unvisited);
    std::vector<std::uint8_t> height(objects, 0);
    std::vector<std::uint32_t> values(objects, 0);
    struct Frame {
        std::uint64_t object;
        References references;
        std::uint64_t next;
        std::size_t height;
        std::size_t values;
    };
    std::vector<Frame> stack;
    // Enters object, or records it at once when it holds no other; the refusal when it cannot be.
    auto enter = [&](std::uint64_t object) -> std::optional<Shape> {
        const auto references = ReferencesOf(*layout, object);
        if (!references) {
            return Shape::malformed;
        }
        if (!*references) {
            state[object] = done;
            height[object] = 1;
            values[object] = 1;
            return std::nullopt;
        }
        if (stack.size() >= kConfigurationNestingLimit) {
            return Shape::tooDeep;
        }
        state[object] = open;
        stack.push_back({object, **references, 0, 1, 1});
        return std::nullopt;
    };
    if (const std::optional<Shape> refused = enter(layout->topObject)) {
        return *refused;
    }
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next == frame.references.count) {
            state[frame.object] = done;
            height[frame.object] = static_cast<std::uint8_t>(frame.height);
            values[frame.object] = static_cast<std::uint32_t>(frame.values);
            stack.pop_back();
            continue;
        }
        const std::uint64_t child = BigEndian(
            bytes, frame.references.start + static_cast<std::size_t>(frame.next++) * layout->referenceSize,
            layout->referenceSize);
        if (child >= layout->objectCount) {
            return Shape::malformed;
        }
        if (state[child] == open) {
            return Shape::cyclic;
        }
        if (state[child] == unvisited) {
            --frame.next;  // counted once the child is done
            if (const std::optional<Shape> refused = enter(child)) {
                return *refused;
            }
            continue;
        }
        // A tree already walked counts below every container that refers to it.
        if (stack.size() + height[child] - 1 > kConfigurationNestingLimit) {
            return Shape::tooDeep;
        }
        frame.height = std::max<std::size_t>(frame.height, height[child] + std::size_t{1});
        frame.values += values[child];
        if (frame.values > kPropertyListValueLimit) {
            return Shape::tooLarge;
        }
    }
    return Shape::fits;
}

std::string DescribeShape(Shape shape) {
    switch (shape) {
    case Shape::tooDeep: return "nested deeper than " + std::to_string(kConfigurationNestingLimit) + " levels";
    case Shape::cyclic: return "not a property list (a value in it contains itself)";
    case Shape::tooLarge: return "a property list of more than " + std::to_string(kPropertyListValueLimit) + " values";
    case Shape::malformed:
    case Shape::fits: break;
    }
    return "not a property list";
}

}  // namespace

PlistPtr PropertyListFromBytes(std::string_view bytes, std::string* why) {
    const bool binary = bytes.starts_with(kBinaryMagic);
    Shape shape = Shape::fits;
    if (bytes.empty() || bytes.size() > std::numeric_limits<std::uint32_t>::max()) {
        shape = Shape::malformed;
    } else if (binary) {
        shape = BinaryShape(bytes);
    } else if (!XMLNestingWithin(bytes, kConfigurationNestingLimit)) {
        shape = Shape::tooDeep;
    }
    plist_t root = nullptr;
    if (shape == Shape::fits) {
        // Chosen here rather than guessed by the parser, which would try other formats too.
        const auto length = static_cast<std::uint32_t>(bytes.size());
        binary ? plist_from_bin(bytes.data(), length, &root) : plist_from_xml(bytes.data(), length, &root);
    }
    if (root == nullptr && why != nullptr) {
        *why = DescribeShape(shape);
    }
    return PlistPtr(root);
}

}  // namespace corvane
