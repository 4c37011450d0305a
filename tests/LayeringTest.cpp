// The modules' includes stay within what each module may use: its own folder and the public headers of
// the modules below it. The build lets a module see only those (its include view); this test names an
// include that reaches up or sideways, where a compiler error would only say that a file is missing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/TempDir.h"

using namespace corvane;

namespace fs = std::filesystem;

namespace {

struct Module {
    std::string name;
    std::string dir;
};

const fs::path kViews = fs::path(CORVANE_BUILD_DIR) / "include-views";

std::vector<Module> Modules() {
    std::vector<Module> modules;
    std::ifstream list(kViews / "modules.txt");
    for (Module module; list >> module.name >> module.dir;) {
        modules.push_back(module);
    }
    return modules;
}

/// One line for each include of source that the module's view does not hold.
std::vector<std::string> IncludesOutsideView(const fs::path& source, const std::string& moduleName) {
    std::ifstream in(source);
    std::stringstream text;
    text << in.rdbuf();
    const std::string content = text.str();
    static const std::regex include(R"re(#include "([^"]+)")re");
    std::vector<std::string> outside;
    for (auto match = std::sregex_iterator(content.begin(), content.end(), include); match != std::sregex_iterator();
         ++match) {
        const std::string header = (*match)[1];
        if (!fs::exists(kViews / moduleName / header)) {
            outside.push_back(source.lexically_relative(CORVANE_SOURCE_DIR).string() + " includes \"" + header +
                              "\", which " + moduleName + " may not use");
        }
    }
    return outside;
}

}  // namespace

TEST(Layering, EveryIncludeIsOfTheModuleItselfOrOfAModuleBelowIt) {
    const std::vector<Module> modules = Modules();
    ASSERT_GE(modules.size(), 10u) << "the build lists its modules in " << (kViews / "modules.txt");
    std::vector<std::string> outside;
    std::size_t sources = 0;
    for (const Module& module : modules) {
        for (const auto& entry : fs::recursive_directory_iterator(fs::path(CORVANE_SOURCE_DIR) / module.dir)) {
            const std::string extension = entry.path().extension();
            if (entry.is_regular_file() && (extension == ".h" || extension == ".cpp")) {
                ++sources;
                const std::vector<std::string> found = IncludesOutsideView(entry.path(), module.name);
                outside.insert(outside.end(), found.begin(), found.end());
            }
        }
    }
    EXPECT_GT(sources, 100u);
    std::string report;
    for (const std::string& line : outside) {
        report += line + "\n";
    }
    EXPECT_TRUE(outside.empty()) << report;
}

TEST(Layering, AReachUpwardsIsNamed) {
    TempDir dir;
    WriteFile(dir / "Reach.cpp", "#include \"platform/base/Log.h\"\n#include \"app/CommandTable.h\"\n");
    EXPECT_EQ(IncludesOutsideView(dir / "Reach.cpp", "corvane_base").size(), 1u);
    EXPECT_EQ(IncludesOutsideView(dir / "Reach.cpp", "corvane_app").size(), 0u);
    WriteFile(dir / "Inside.cpp", "#include \"platform/files/internal/FSRefTable.h\"\n");
    EXPECT_EQ(IncludesOutsideView(dir / "Inside.cpp", "corvane_fileops").size(), 1u) << "internal headers stay inside";
    EXPECT_EQ(IncludesOutsideView(dir / "Inside.cpp", "corvane_files").size(), 0u);
}
