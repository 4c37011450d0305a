// Every include of a module is of its own folder or a public header of a module below it, named here
// where the compiler would only say that a file is missing.

#include <algorithm>
#include <fstream>
#include <regex>

#include "support/TempDir.h"

using namespace corvane;

namespace fs = std::filesystem;

namespace {

const fs::path kViews = fs::path(CORVANE_BUILD_DIR) / "include-views";

/// One line for each include of source that the module's view does not hold.
std::string IncludesOutsideView(const fs::path& source, const std::string& module) {
    static const std::regex include(R"re(#include "([^"]+)")re");
    const std::string content = ReadFile(source);
    std::string outside;
    for (auto match = std::sregex_iterator(content.begin(), content.end(), include); match != std::sregex_iterator();
         ++match) {
        if (!fs::exists(kViews / module / (*match)[1].str())) {
            outside += source.lexically_relative(CORVANE_SOURCE_DIR).string() + " includes \"" + (*match)[1].str() +
                       "\", which " + module + " may not use\n";
        }
    }
    return outside;
}

}  // namespace

TEST(Layering, EveryIncludeIsOfTheModuleItselfOrOfAModuleBelowIt) {
    std::ifstream list(kViews / "modules.txt");
    std::size_t modules = 0, sources = 0;
    std::string outside;
    for (std::string name, dir; list >> name >> dir; ++modules) {
        for (const auto& entry : fs::recursive_directory_iterator(fs::path(CORVANE_SOURCE_DIR) / dir)) {
            if (entry.is_regular_file() && (entry.path().extension() == ".h" || entry.path().extension() == ".cpp")) {
                ++sources;
                outside += IncludesOutsideView(entry.path(), name);
            }
        }
    }
    ASSERT_GE(modules, 10u) << "the build lists its modules in " << (kViews / "modules.txt");
    EXPECT_GT(sources, 100u);
    EXPECT_EQ(outside, "");
    // The check itself: a reach upwards, and into another module's internal headers, is named.
    TempDir dir;
    WriteFile(dir / "Reach.cpp", "#include \"platform/base/Log.h\"\n#include \"app/CommandTable.h\"\n");
    WriteFile(dir / "Inside.cpp", "#include \"platform/files/internal/FSRefTable.h\"\n");
    EXPECT_EQ(std::ranges::count(IncludesOutsideView(dir / "Reach.cpp", "corvane_base"), '\n'), 1);
    EXPECT_EQ(IncludesOutsideView(dir / "Reach.cpp", "corvane_app"), "");
    EXPECT_EQ(std::ranges::count(IncludesOutsideView(dir / "Inside.cpp", "corvane_fileops"), '\n'), 1);
    EXPECT_EQ(IncludesOutsideView(dir / "Inside.cpp", "corvane_files"), "");
}
