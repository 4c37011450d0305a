// The home and the XDG base directories from every kind of value a variable can hold: unset, empty,
// relative, absolute, and lists with relative and empty entries.
#include "platform/base/XdgDirectories.h"

#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "support/ScopedEnvironment.h"

using namespace corvane;

namespace {

using Value = std::optional<std::string>;  // none: the variable is unset
const Value kUnset = std::nullopt;

std::string Describe(const Value& value) { return value ? "\"" + *value + "\"" : "unset"; }

// Read here another way than the helper does, so that both have to agree on the same entry.
std::string UserDatabaseHome(const std::string& relative = "") {
    const passwd* user = getpwuid(getuid());
    const std::string home = user != nullptr && user->pw_dir != nullptr && user->pw_dir[0] == '/' ? user->pw_dir : "/";
    return relative.empty() ? home : (std::filesystem::path(home) / relative).string();
}

class XdgDirectories : public testing::Test {
protected:
    // ScopedEnvironment takes an empty value for unset; these cases need the two kept apart.
    void put(const std::string& name, const Value& value) {
        environment_.set(name, "saved");
        value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
    }

private:
    ScopedEnvironment environment_;
};

}  // namespace

TEST_F(XdgDirectories, TheHomeAndTheHomesUnderItTakeOnlyAnAbsoluteValue) {
    for (const auto& [home, expected] : std::initializer_list<std::pair<Value, std::string>>{
             {kUnset, UserDatabaseHome()}, {"srv/alice", UserDatabaseHome()}, {"/srv/alice", "/srv/alice"}}) {
        SCOPED_TRACE("HOME " + Describe(home));
        put("HOME", home);
        EXPECT_EQ(HomeDirectory(), expected);
    }
    const struct {
        const char* variable;
        std::string (*directory)();
        std::string underHome;
    } variables[] = {{"XDG_CONFIG_HOME", XdgConfigHome, ".config"}, {"XDG_DATA_HOME", XdgDataHome, ".local/share"}};
    for (const auto& [variable, directory, underHome] : variables) {
        const std::tuple<Value, Value, std::string> cases[] = {
            {"/srv/alice", kUnset, "/srv/alice/" + underHome}, {"/srv/alice", "/srv/elsewhere", "/srv/elsewhere"},
            {"/", kUnset, "/" + underHome},                     {kUnset, kUnset, UserDatabaseHome(underHome)},
        };
        for (const auto& [home, value, expected] : cases) {
            SCOPED_TRACE(std::string(variable) + " " + Describe(value) + ", HOME " + Describe(home));
            put("HOME", home);
            put(variable, value);
            EXPECT_EQ(directory(), expected);
        }
    }
}

TEST_F(XdgDirectories, ListsKeepTheirAbsoluteEntriesInOrderAndDefaultOnlyWhenUnsetOrEmpty) {
    const struct {
        const char* variable;
        std::vector<std::string> (*directories)();
        std::vector<std::string> fallback;
    } variables[] = {
        {"XDG_DATA_DIRS", XdgDataDirs, {"/usr/local/share", "/usr/share"}},
        {"XDG_CONFIG_DIRS", XdgConfigDirs, {"/etc/xdg"}},
    };
    for (const auto& [variable, directories, fallback] : variables) {
        const std::pair<Value, std::vector<std::string>> cases[] = {
            {kUnset, fallback}, {"", fallback}, {"/srv/a", {"/srv/a"}}, {"/srv/b:/srv/a", {"/srv/b", "/srv/a"}},
            {"/srv/a:relative:/srv/b", {"/srv/a", "/srv/b"}}, {"/srv/a::/srv/b:", {"/srv/a", "/srv/b"}},
            {"relative:", {}},  // set but unusable: no default
        };
        for (const auto& [value, expected] : cases) {
            SCOPED_TRACE(std::string(variable) + " " + Describe(value));
            put(variable, value);
            EXPECT_EQ(directories(), expected);
        }
    }
}
