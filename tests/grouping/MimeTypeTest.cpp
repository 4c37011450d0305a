#include "grouping/MimeTypeForURL.h"

#include <gtest/gtest.h>

#include "grouping/ExtensionTypeMap.h"
#include "grouping/KeyGrouping.h"
#include "platform/files/AutoreleasePool.h"
#include "support/LogCapture.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

using namespace corvane;

namespace {

using Names = std::vector<std::string>;

TEST(MimeTypeTest, PreferredTypeElseApplicationAndTheExtension) {
    const TempDir temp;
    ScopedEnvironment environment;
    environment.set("XDG_DATA_HOME", temp / "data");
    environment.set("XDG_DATA_DIRS", temp / "nothing");
    const LogCapture log;
    const CFURL jpeg{"/f/photo.jpg", false};
    InitializeMimeTypeDatabase();
    EXPECT_EQ(MimeTypeForURL(&jpeg), "application/jpg");
    EXPECT_EQ(log.lines(), Names{"The MIME type database could not be read (error -43); MIME types fall back to "
                                 "application/<extension>"});

    WriteFile(temp / "data/mime/globs2", "60:image/jpeg:*.jpg\n40:image/x-other:*.jpg\n");
    InitializeMimeTypeDatabase();
    const std::pair<const char*, std::optional<std::string>> rows[] = {
        {"/f/a.JPG", "image/jpeg"}, {"/f/data.XYZ", "application/XYZ"},  // the fallback keeps the letter case
        {"/f/notes", std::nullopt}, {"/f/.profile", "application/profile"},
    };
    for (const auto& [path, type] : rows) {
        const CFURL url{path, false};
        EXPECT_EQ(MimeTypeForURL(&url), type) << path;
    }

    const AutoreleasePool pool;
    const std::string folder = temp / "folder";
    const auto tidy = [&folder](std::initializer_list<const char*> names, void (*command)(const FSRef*)) {
        std::filesystem::remove_all(folder);
        for (const char* name : names) {
            WriteFile(folder + "/" + name, name);
        }
        FSRef ref{};
        ASSERT_EQ(FSPathMakeRef(folder.c_str(), &ref, nullptr), noErr);
        command(&ref);
    };
    tidy({"a.jpg", "b.JPG", "c.qqq", ".hidden.jpg"}, aggregate_files_by_mime_type);
    EXPECT_EQ(ListNames(folder), (Names{".hidden.jpg", "a.jpg", "application:qqq", "b.JPG", "c.qqq", "image:jpeg"}));
    EXPECT_EQ(ListNames(folder + "/image:jpeg"), (Names{"a.jpg", "b.JPG"}));
    gExtensionTypeMap = {{"pdf", "PDF "}};
    tidy({"c.PDF", "e"}, aggregate_files_by_file_type);
    gExtensionTypeMap.clear();
    EXPECT_EQ(ListNames(folder), (Names{"PDF ", "c.PDF", "e"}));
}

}  // namespace
