#include "grouping/MimeTypeForURL.h"

#include <gtest/gtest.h>

#include "grouping/ExtensionTypeMap.h"
#include "grouping/KeyGrouping.h"
#include "platform/AutoreleasePool.h"
#include "support/LogCapture.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

namespace {

using Names = std::vector<std::string>;

// A MIME database of its own, and a folder to tidy.
class MimeTypeTest : public testing::Test {
protected:
    MimeTypeTest() {
        environment_.set("XDG_DATA_HOME", temp_ / "data");
        environment_.set("XDG_DATA_DIRS", temp_ / "nothing");
    }
    ~MimeTypeTest() override { gExtensionTypeMap.clear(); }
    void Tidy(const Names& names, void (*command)(const FSRef*)) {
        std::filesystem::remove_all(folder_);
        for (const std::string& name : names) {
            WriteFile(folder_ + "/" + name, name);
        }
        FSRef ref{};
        ASSERT_EQ(FSPathMakeRef(folder_.c_str(), &ref, nullptr), noErr);
        command(&ref);
    }
    TempDir temp_;
    const std::string folder_ = temp_ / "folder";
    ScopedEnvironment environment_;
    const AutoreleasePool pool_;
    const LogCapture log_;
};

TEST_F(MimeTypeTest, PreferredTypeElseApplicationAndTheExtension) {
    const CFURL jpeg{"/f/photo.jpg", false};
    InitializeMimeTypeDatabase();
    EXPECT_EQ(MimeTypeForURL(&jpeg), "application/jpg");
    EXPECT_EQ(log_.lines(), Names{"The MIME type database could not be read (error -43); MIME types fall back to "
                                  "application/<extension>"});

    WriteFile(temp_ / "data/mime/globs2", "60:image/jpeg:*.jpg\n40:image/x-other:*.jpg\n");
    InitializeMimeTypeDatabase();
    const std::pair<const char*, std::optional<std::string>> rows[] = {
        {"/f/a.JPG", "image/jpeg"}, {"/f/data.XYZ", "application/XYZ"},  // the fallback keeps the letter case
        {"/f/notes", std::nullopt}, {"/f/.profile", "application/profile"},
    };
    for (const auto& [path, type] : rows) {
        const CFURL url{path, false};
        EXPECT_EQ(MimeTypeForURL(&url), type) << path;
    }
    EXPECT_EQ(MimeTypeForURL(nullptr), std::nullopt);
    EXPECT_EQ(log_.lines().size(), 1U);
}

TEST_F(MimeTypeTest, CommandsCopyIntoOneFolderPerKey) {
    WriteFile(temp_ / "data/mime/globs2", "50:image/jpeg:*.jpg\n");
    InitializeMimeTypeDatabase();
    Tidy({"a.jpg", "b.JPG", "c.qqq", "notes", ".hidden.jpg"}, aggregate_files_by_mime_type);
    EXPECT_EQ(ListNames(folder_), (Names{".hidden.jpg", "a.jpg", "application:qqq", "b.JPG", "c.qqq", "image:jpeg",
                                         "notes"}));
    EXPECT_EQ(ListNames(folder_ + "/image:jpeg"), (Names{"a.jpg", "b.JPG"}));

    gExtensionTypeMap = {{"txt", "TEXT"}, {"pdf", "PDF "}};
    Tidy({"a.txt", "b.TXT", "c.pdf", "e"}, aggregate_files_by_file_type);
    EXPECT_EQ(ListNames(folder_), (Names{"PDF ", "TEXT", "a.txt", "b.TXT", "c.pdf", "e"}));
    EXPECT_EQ(ListNames(folder_ + "/TEXT"), (Names{"a.txt", "b.TXT"}));
    for (const std::string& line : log_.lines()) {
        EXPECT_TRUE(line.starts_with("Moving: ") || line.starts_with("Moved ")) << line;
    }
}

}  // namespace
