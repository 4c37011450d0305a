// Reading configuration files and parsing property lists within their limits: nothing in a file can
// block, crash or exhaust the reader.
#include "platform/base/ConfigurationFile.h"

#include <random>

#include "platform/base/PropertyLists.h"
#include "support/HostileFiles.h"
#include "support/TempDir.h"
#include "support/Watchdog.h"

using namespace corvane;

namespace {

using namespace std::chrono_literals;

TEST(ConfigurationFile, OnlyRegularFilesWithinTheSizeLimitAreRead) {
    const Watchdog watchdog(10s);
    TempDir temp;
    WriteFile(temp / "real", "bytes");
    std::filesystem::create_symlink(temp / "real", temp / "link");
    WriteFile(temp / "at-limit", std::string(kConfigurationFileSizeLimit, 'x'));
    for (const HostileKind kind : {HostileKind::fifo, HostileKind::device, HostileKind::huge}) {
        MakeHostileFile(kind, temp / HostileKindName(kind));
    }
    std::filesystem::create_directory(temp / "folder");
    const std::pair<std::string, std::string> refused[] = {
        {HostileKindName(HostileKind::fifo), "not a regular file but a FIFO"},
        {HostileKindName(HostileKind::device), "not a regular file but a character device"},
        {HostileKindName(HostileKind::huge), "larger than the 4 MiB a configuration file may hold"},
        {"folder", "not a regular file but a folder"},
    };
    std::string content, why;
    for (const auto& [name, expected] : refused) {
        content = "stale";
        EXPECT_EQ(ReadConfigurationFile(temp / name, content, &why), ioErr) << name;
        EXPECT_EQ(why + content, expected) << name << ": nothing read";
    }
    EXPECT_EQ(ReadConfigurationFile(temp / "absent", content, &why), fnfErr);
    EXPECT_EQ(why, "no such file");
    ASSERT_EQ(ReadConfigurationFile(temp / "link", content, nullptr), noErr) << "a link to a file is the file";
    EXPECT_EQ(content, "bytes");
    ASSERT_EQ(ReadConfigurationFile(temp / "at-limit", content, nullptr), noErr);
    EXPECT_EQ(content.size(), static_cast<std::size_t>(kConfigurationFileSizeLimit));
}

// XML nesting is counted over elements only, and no shape beyond the limits reaches the parser.
TEST(PropertyLists, ShapesBeyondTheLimitsNeverReachTheParser) {
    const Watchdog watchdog(10s);
    const std::size_t limit = kConfigurationNestingLimit;
    const std::string inside = "<?xml version=\"1.0\"?><!DOCTYPE a [<!ELEMENT a ANY>]><!-- <b><b> -->"
                               "<a x=\"<b>\" y='>'><![CDATA[<b><b>]]><b/><c></c><c><d>text</d></c></a>";
    EXPECT_TRUE(XMLNestingWithin(inside, 3) && !XMLNestingWithin(inside, 2));
    EXPECT_TRUE(XMLNestingWithin(DeepXmlPlist(limit - 1), limit));
    EXPECT_FALSE(XMLNestingWithin(DeepXmlPlist(limit), limit)) << "with <plist> around it";
    // The top holds two chains of 40 arrays, the second ending in the first: 81 deep through sharing.
    std::vector<BinaryObject> shared{std::vector<std::uint32_t>{1, 41}};
    for (std::uint32_t i = 1; i <= 80; ++i) {
        shared.emplace_back(std::vector<std::uint32_t>{i == 40 ? 81 : i == 80 ? 1 : i + 1});
    }
    shared.emplace_back(std::nullopt);
    // Each array holds the next one twice: 2^40 values once copied out.
    std::vector<BinaryObject> doubling;
    for (std::uint32_t i = 0; i < 40; ++i) {
        doubling.emplace_back(std::vector<std::uint32_t>{i + 1, i + 1});
    }
    doubling.emplace_back(std::nullopt);
    const std::string deep = "nested deeper than 64 levels";
    const std::string cyclic = "not a property list (a value in it contains itself)";
    const std::pair<std::string, std::string> refused[] = {
        {DeepXmlPlist(100000), deep}, {DeepBinaryPlist(100000), deep}, {DeepBinaryPlist(limit + 1), deep},
        {BinaryPlist(shared), deep}, {BinaryPlist({std::vector<std::uint32_t>{0}}), cyclic},
        {BinaryPlist({std::vector<std::uint32_t>{1}, std::vector<std::uint32_t>{0}}), cyclic},
        {BinaryPlist(doubling), "a property list of more than 1048576 values"},
        {BinaryPlist({std::vector<std::uint32_t>{7}, std::nullopt}), "not a property list"},
        {"", "not a property list"}, {"bplist00", "not a property list"}, {"junk", "not a property list"},
    };
    std::string why;
    for (const auto& [bytes, expected] : refused) {
        EXPECT_EQ(PropertyListFromBytes(bytes, &why), nullptr) << expected;
        EXPECT_EQ(why, expected) << bytes.substr(0, 40);
    }
    for (const std::string& fits : {DeepBinaryPlist(limit), DeepXmlPlist(limit - 1)}) {
        const PlistPtr root = PropertyListFromBytes(fits, nullptr);
        ASSERT_NE(root, nullptr);
        EXPECT_EQ(plist_get_node_type(root.get()), PLIST_ARRAY);
    }
    const PlistPtr dictionary = PropertyListFromBytes(
        "<plist version=\"1.0\"><dict><key>RecurseFolders</key><true/></dict></plist>", nullptr);
    ASSERT_NE(dictionary, nullptr);
    EXPECT_EQ(plist_get_node_type(plist_dict_get_item(dictionary.get(), "RecurseFolders")), PLIST_BOOLEAN);
}

TEST(PropertyLists, DamagedBinaryListsAreRefusedOrReadNeverOverrun) {
    const Watchdog watchdog(30s);
    std::vector<BinaryObject> objects{std::vector<std::uint32_t>{1, 2, 3}, std::vector<std::uint32_t>{2, 3}};
    objects.insert(objects.end(), {std::nullopt, std::nullopt});
    const std::string whole = BinaryPlist(objects);
    std::mt19937 random(11);
    for (int round = 0; round < 20000; ++round) {
        std::string damaged = whole;
        for (int change = 0; change < 1 + round % 4; ++change) {
            damaged[random() % damaged.size()] = static_cast<char>(random());
        }
        if (round % 5 == 0) {
            damaged.resize(random() % damaged.size());
        }
        PropertyListFromBytes(damaged, nullptr);
    }
}

}  // namespace
