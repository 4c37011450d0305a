// Corvane's actions in Thunar's uca.xml: merged beside the user's own, replaced in place, refreshed
// without bringing back what the user took out, taken out exactly.
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include "desktop/ThunarActions.h"

using namespace corvane;

namespace {

// As Thunar itself writes the file: its declaration puts encoding before version.
const std::string kThunarsOwn =
    "<?xml encoding=\"UTF-8\" version=\"1.0\"?>\n<actions>"
    "<action><name>Open Terminal Here</name><unique-id>1-1</unique-id><command>exo-open %f</command>"
    "<startup-notify/></action><!-- kept by the user -->"
    "<action><name>Count</name><unique-id>1-2</unique-id><command>ls %F &amp;&amp; wc</command></action>"
    "</actions>\n";

ThunarAction Ours(const std::string& id, const std::string& command) {
    return {id, "Aggregate Files by Extension", "Corvane", command, "Tidy", "folder"};
}

// "unique-id=command" for each action, in document order.
std::vector<std::string> ActionsOf(const std::string& xml) {
    pugi::xml_document document;
    EXPECT_TRUE(document.load_string(xml.c_str())) << xml;
    std::vector<std::string> actions;
    for (pugi::xml_node action : document.child("actions").children("action")) {
        actions.push_back(std::string(action.child_value("unique-id")) + "=" + action.child_value("command"));
    }
    return actions;
}

}  // namespace

TEST(ThunarActions, MergeKeepsTheUsersActionsReplacesOursInPlaceOrMakesAFileOfOurOwn) {
    std::string once;
    ASSERT_TRUE(MergeThunarActions(kThunarsOwn, {Ours("corvane-a", "old %F")}, once, nullptr));
    EXPECT_EQ(ActionsOf(once), (std::vector<std::string>{"1-1=exo-open %f", "1-2=ls %F && wc", "corvane-a=old %F"}));
    EXPECT_NE(once.find("<!-- kept by the user -->"), std::string::npos);
    EXPECT_NE(once.find("<startup-notify />"), std::string::npos) << "elements we do not know stay";
    EXPECT_NE(once.find("<directories />"), std::string::npos) << "ours are offered on folders";
    EXPECT_EQ(once.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u);

    std::string twice;
    ASSERT_TRUE(MergeThunarActions(once, {Ours("corvane-a", "old %F")}, twice, nullptr));
    EXPECT_EQ(twice, once) << "idempotent";
    const std::string doubled = "<actions><action><unique-id>corvane-a</unique-id><command>1</command></action>"
                                "<action><unique-id>keep</unique-id></action>"
                                "<action><unique-id>corvane-a</unique-id><command>2</command></action></actions>";
    ASSERT_TRUE(MergeThunarActions(doubled, {Ours("corvane-a", "new %F")}, twice, nullptr));
    EXPECT_EQ(ActionsOf(twice), (std::vector<std::string>{"corvane-a=new %F", "keep="})) << "copies collapse into one";

    std::string fromBlank;
    ASSERT_TRUE(MergeThunarActions(std::nullopt, {Ours("corvane-a", "x %F")}, once, nullptr));
    ASSERT_TRUE(MergeThunarActions(std::string("\n"), {Ours("corvane-a", "x %F")}, fromBlank, nullptr));
    EXPECT_EQ(ActionsOf(once), std::vector<std::string>{"corvane-a=x %F"}) << "from nothing, a file of our own";
    EXPECT_EQ(fromBlank, once);
}

// What removing and refreshing do to the file, uninstalling and the provider's start show; here, that a
// file without our actions counts none, so that it is left as the user wrote it.
TEST(ThunarActions, RemoveAndRefreshCountOnlyTheActionsThere) {
    std::string out;
    std::size_t count = 7;
    ASSERT_TRUE(RemoveThunarActions(kThunarsOwn, {"corvane-c"}, out, count, nullptr));
    EXPECT_EQ(count, 0u);
    count = 7;
    ASSERT_TRUE(RefreshThunarActions(kThunarsOwn, {Ours("corvane-a", "new %F")}, out, count, nullptr));
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(ActionsOf(out), (std::vector<std::string>{"1-1=exo-open %f", "1-2=ls %F && wc"}));
}

TEST(ThunarActions, RefusesWhatIsNotAnActionsDocument) {
    for (const std::string& bad : {std::string("<actions><action>"), std::string("<other/>"), std::string("not xml")}) {
        std::string out = "untouched";
        std::string why;
        std::size_t removed = 0;
        EXPECT_FALSE(MergeThunarActions(bad, {Ours("corvane-a", "x %F")}, out, &why)) << bad;
        EXPECT_FALSE(why.empty());
        EXPECT_FALSE(RemoveThunarActions(bad, {"corvane-a"}, out, removed, nullptr)) << bad;
        EXPECT_FALSE(RefreshThunarActions(bad, {Ours("corvane-a", "x %F")}, out, removed, nullptr)) << bad;
        EXPECT_EQ(out, "untouched");
    }
}
