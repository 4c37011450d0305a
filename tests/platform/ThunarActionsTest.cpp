// Corvane's actions in Thunar's uca.xml: merged beside the user's own, replaced in place, taken out
// exactly.
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include "platform/ThunarActions.h"

namespace {

// As Thunar itself writes the file: its declaration puts encoding before version.
const std::string kThunarsOwn =
    "<?xml encoding=\"UTF-8\" version=\"1.0\"?>\n<actions>"
    "<action><icon>utilities-terminal</icon><name>Open Terminal Here</name><unique-id>1-1</unique-id>"
    "<command>exo-open --working-directory %f --launch TerminalEmulator</command><description>Example</description>"
    "<patterns>*</patterns><startup-notify/><directories/></action>"
    "<!-- kept by the user -->"
    "<action><icon></icon><name>Count &amp; list</name><unique-id>1-2</unique-id><command>ls %F | wc</command>"
    "<description></description><patterns>*.txt</patterns><text-files/></action>"
    "</actions>\n";

ThunarAction Ours(const std::string& id, const std::string& command) {
    return {id, "Aggregate Files by Extension", "Corvane", command, "Tidy", "folder"};
}

struct Action {
    std::string id;
    std::string name;
    std::string command;
    bool directories;
};

std::vector<Action> ActionsOf(const std::string& xml) {
    pugi::xml_document document;
    EXPECT_TRUE(document.load_string(xml.c_str())) << xml;
    std::vector<Action> actions;
    for (pugi::xml_node action : document.child("actions").children("action")) {
        actions.push_back({action.child_value("unique-id"), action.child_value("name"), action.child_value("command"),
                           bool(action.child("directories"))});
    }
    return actions;
}

}  // namespace

TEST(ThunarActions, MergeKeepsTheUsersActionsAndCommentsAndAppendsOurs) {
    std::string merged;
    ASSERT_TRUE(MergeThunarActions(kThunarsOwn, {Ours("corvane-a", "'/bin/c' request 'A' %F")}, merged, nullptr));
    const std::vector<Action> actions = ActionsOf(merged);
    ASSERT_EQ(actions.size(), 3u);
    EXPECT_EQ(actions[0].command, "exo-open --working-directory %f --launch TerminalEmulator");
    EXPECT_EQ(actions[1].name, "Count & list");
    EXPECT_EQ(actions[1].command, "ls %F | wc");
    EXPECT_EQ(actions[2].id, "corvane-a");
    EXPECT_EQ(actions[2].command, "'/bin/c' request 'A' %F");
    EXPECT_TRUE(actions[2].directories);
    EXPECT_NE(merged.find("<!-- kept by the user -->"), std::string::npos);
    EXPECT_NE(merged.find("<startup-notify />"), std::string::npos) << "elements we do not know stay";
    EXPECT_EQ(merged.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u);
}

TEST(ThunarActions, MergeAgainReplacesOursInPlaceAndChangesNothingElse) {
    std::string once;
    std::string twice;
    std::string moved;
    ASSERT_TRUE(MergeThunarActions(kThunarsOwn, {Ours("corvane-a", "old %F")}, once, nullptr));
    ASSERT_TRUE(MergeThunarActions(once, {Ours("corvane-a", "old %F")}, twice, nullptr));
    EXPECT_EQ(twice, once) << "idempotent";
    ASSERT_TRUE(MergeThunarActions(once, {Ours("corvane-a", "new %F")}, moved, nullptr));
    const std::vector<Action> actions = ActionsOf(moved);
    ASSERT_EQ(actions.size(), 3u);
    EXPECT_EQ(actions[2].command, "new %F");
}

TEST(ThunarActions, MergeIntoNothingMakesAFileOfOurOwn) {
    std::string merged;
    ASSERT_TRUE(MergeThunarActions(std::nullopt, {Ours("corvane-a", "x %F"), Ours("corvane-b", "y %F")}, merged, nullptr));
    ASSERT_EQ(ActionsOf(merged).size(), 2u);
    std::string fromBlank;
    ASSERT_TRUE(MergeThunarActions(std::string("\n"), {Ours("corvane-a", "x %F"), Ours("corvane-b", "y %F")}, fromBlank,
                                   nullptr));
    EXPECT_EQ(fromBlank, merged);
}

TEST(ThunarActions, DuplicatesOfOursCollapseIntoOne) {
    std::string doubled = "<actions><action><unique-id>corvane-a</unique-id><command>1</command></action>"
                          "<action><unique-id>keep</unique-id></action>"
                          "<action><unique-id>corvane-a</unique-id><command>2</command></action></actions>";
    std::string merged;
    ASSERT_TRUE(MergeThunarActions(doubled, {Ours("corvane-a", "3 %F")}, merged, nullptr));
    const std::vector<Action> actions = ActionsOf(merged);
    ASSERT_EQ(actions.size(), 2u);
    EXPECT_EQ(actions[0].command, "3 %F");
    EXPECT_EQ(actions[1].id, "keep");
}

TEST(ThunarActions, RemoveTakesOutExactlyOurs) {
    std::string merged;
    ASSERT_TRUE(MergeThunarActions(kThunarsOwn, {Ours("corvane-a", "x %F"), Ours("corvane-b", "y %F")}, merged, nullptr));
    std::string remaining;
    std::size_t removed = 0;
    ASSERT_TRUE(RemoveThunarActions(merged, {"corvane-a", "corvane-b", "corvane-c"}, remaining, removed, nullptr));
    EXPECT_EQ(removed, 2u);
    const std::vector<Action> actions = ActionsOf(remaining);
    ASSERT_EQ(actions.size(), 2u);
    EXPECT_EQ(actions[0].id, "1-1");
    EXPECT_EQ(actions[1].id, "1-2");
    ASSERT_TRUE(RemoveThunarActions(remaining, {"corvane-a"}, remaining, removed, nullptr));
    EXPECT_EQ(removed, 0u);
}

TEST(ThunarActions, RefusesWhatIsNotAnActionsDocument) {
    for (const std::string& bad : {std::string("<actions><action>"), std::string("<other/>"), std::string("not xml")}) {
        std::string out = "untouched";
        std::string why;
        std::size_t removed = 0;
        EXPECT_FALSE(MergeThunarActions(bad, {Ours("corvane-a", "x %F")}, out, &why)) << bad;
        EXPECT_FALSE(why.empty());
        EXPECT_FALSE(RemoveThunarActions(bad, {"corvane-a"}, out, removed, nullptr)) << bad;
        EXPECT_EQ(out, "untouched");
    }
}
