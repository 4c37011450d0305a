// The strategies on real folders: key folders by extension, file type and MIME type, the date passes,
// the extension mapping and the MIME type database they read, and files that vanish under them.

#include <unistd.h>

#include "grouping/DateGrouping.h"
#include "grouping/ExtensionTypeMap.h"
#include "grouping/KeyGrouping.h"
#include "grouping/MimeTypeForURL.h"
#include "platform/files/AutoreleasePool.h"
#include "platform/prefs/UserDefaults.h"
#include "support/FilesTestSupport.h"
#include "support/LogCapture.h"
#include "support/ScopedEnvironment.h"

using namespace corvane;

namespace {

constexpr std::time_t kMarch5th2007Noon = 1173096000;     // 2007-03-05 12:00 UTC
constexpr std::time_t kJanuary10th2006Noon = 1136894400;  // 2006-01-10 12:00 UTC

// A folder to tidy, and the user's configuration and data in folders of the test's own; dates in UTC
// with the C locale's month names.
class Grouping : public testing::Test {
protected:
    Grouping() {
        environment_.set("TZ", "UTC");
        environment_.set("XDG_CONFIG_HOME", temp_ / "config");
        environment_.set("XDG_DATA_HOME", temp_ / "data");
        environment_.set("XDG_DATA_DIRS", temp_ / "nothing");
        environment_.set("CORVANE_DATA_DIR", "");
        gUserDefaultsDictionary.reset();
    }
    ~Grouping() override { gExtensionTypeMap.clear(); }
    void MakeFile(const std::string& name, std::time_t date) {
        WriteFile(In(name), name);
        SetModified(In(name), date);
    }
    void ByDate(signed char ignoreDays) {
        const FSRef folder = EntryRef(folder_);
        aggregate_files_by_date(&folder, &folder, NSFileModificationDate, ignoreDays, kCopyIntoYears);
    }
    void Map(const std::vector<std::pair<std::string, std::string>>& entries, const std::string& tail = "") {
        std::string plist = "<plist version=\"1.0\"><array>\n";
        for (const auto& [extension, type] : entries) {
            plist += "<dict><key>extension</key><string>" + extension + "</string><key>file type</key><string>" +
                     type + "</string></dict>\n";
        }
        WriteFile(mapping_, plist + tail + "</array></plist>\n");
        InitializeExtensionTypeMap();
    }
    std::string In(const std::string& relative) const { return folder_ + "/" + relative; }

    TempDir temp_;
    const std::string folder_ = temp_ / "folder";
    const std::string mapping_ = temp_ / "config/corvane/extension-mapping.plist";
    ScopedEnvironment environment_;
    AutoreleasePool pool_;
    LogCapture log_;
};

}  // namespace

// The year and day folders of plain files are shown by the date commands on every file system.
TEST_F(Grouping, ALinkIsDatedByItsTargetAndADanglingOneIsNotGrouped) {
    MakeFile("c.txt", kJanuary10th2006Noon);
    std::filesystem::create_symlink(In("c.txt"), In("link.txt"));
    std::filesystem::create_symlink(temp_ / "nowhere", In("dangling.txt"));
    ByDate(kDayFolders);
    EXPECT_EQ(ListNames(folder_), (Names{"2006", "c.txt", "dangling.txt", "link.txt"}));
    EXPECT_EQ(ListNames(In("2006/Jan 10, 2006")), (Names{"c.txt", "link.txt"}));
}

TEST_F(Grouping, ExistingSubfoldersAreRegroupedWithoutAYearLevel) {
    MakeFile("Photos/p.jpg", kJanuary10th2006Noon);
    MakeFile("Photos/q.jpg", kJanuary10th2006Noon + 86400);
    MakeFile("Photos/Inner/r.jpg", kMarch5th2007Noon);
    MakeFile(".Private/s.jpg", kMarch5th2007Noon);
    ByDate(kMonthFolders);
    EXPECT_EQ(ListNames(folder_), (Names{".Private", "Photos"})) << "no files here, so no year folder";
    EXPECT_EQ(ListNames(In("Photos")), (Names{"Inner", "Jan 2006"})) << "moved, not copied, by month";
    EXPECT_EQ(ListNames(In("Photos/Jan 2006")), (Names{"p.jpg", "q.jpg"}));
    EXPECT_EQ(ListNames(In("Photos/Inner")), Names{"r.jpg"}) << "one level only";
    EXPECT_EQ(ListNames(In(".Private")), Names{"s.jpg"}) << "invisible folders are left alone";
}

TEST_F(Grouping, MimeTypesArePreferredTypesElseApplicationAndTheExtension) {
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
    gExtensionTypeMap = {{"pdf", "PDF "}};
    WriteFile(In("c.PDF"), "c");
    WriteFile(In("e"), "e");
    const FSRef folder = EntryRef(folder_);
    aggregate_files_by_file_type(&folder);
    EXPECT_EQ(ListNames(folder_), (Names{"PDF ", "c.PDF", "e"}));
}

TEST_F(Grouping, FilesThatVanishAfterTheListingAreLoggedAndSkipped) {
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        WriteFile(In(name), name);
    }
    const FSRef folder = EntryRef(folder_);
    std::vector<std::string> failures;
    std::string first;
    // Another process empties the folder as soon as the first file is under way.
    const LogSink previous = SetLogSink([&](const std::string& line, LogPriority priority) {
        if (priority == LogPriority::warning) {
            failures.push_back(line);
        }
        if (first.empty() && line.starts_with("Moving: ")) {
            first = line.substr(line.rfind('/') + 1);
            for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
                if (name != first) {
                    unlink(In(name).c_str());
                }
            }
        }
    });
    aggregate_files_by_extension(&folder);
    SetLogSink(previous);
    EXPECT_EQ(failures, (Names{"Inavlid FSRef", "Inavlid FSRef"}));
    EXPECT_EQ(ListNames(In("txt")), Names{first});
}

TEST(TypeTextOfCode, Rules) {
    // A leading NUL and a lone continuation byte are the file types' rows below.
    const std::pair<OSType, std::optional<std::string>> rows[] = {
        {0x41420044, "AB"}, {0xC3A90000, "\xC3\xA9"}, {0x41C30000, std::nullopt}};
    for (const auto& [code, text] : rows) {
        EXPECT_EQ(TypeTextOfCode(code), text) << std::hex << code;
    }
}

TEST_F(Grouping, TheShippedMappingElseTheUsersInOrderEvenBroken) {
    InitializeExtensionTypeMap();
    EXPECT_EQ(gExtensionTypeMap["pdf"], "PDF ") << "the shipped default";
    Map({{".txt", "TEXT"}, {".txt", "ttro"}, {".JPG", "JPEG"}, {"tiff", "TIFF"}, {".", "DOT "}, {"..gz", "Gzip"},
         {".zero", ""}}, "<string>.x</string>\n");
    EXPECT_EQ(gExtensionTypeMap, (std::unordered_map<std::string, std::string>{
                                     {"txt", "ttro"}, {"JPG", "JPEG"}, {"tiff", "TIFF"}, {".gz", "Gzip"}}));
    EXPECT_EQ(log_.lines(), Names{"Extension mapping \"" + mapping_ + "\": entries 5, 7, 8 left "
                                  "out (no usable \"extension\" or \"file type\")"});
    WriteFile(mapping_, "<plist");
    InitializeExtensionTypeMap();
    EXPECT_TRUE(gExtensionTypeMap.empty()) << "a user mapping that is there, even broken, beats the default";
}

TEST_F(Grouping, FileTypesAreTheFinderTypeFirstThenTheLowerCasedExtension) {
    SKIP_WITHOUT_USER_XATTRS(temp_.path());
    Map({{".jpg", "JPEG"}, {".pdf", "PDF "}, {".JPEG", "JPEG"}, {".\xC3\xA9t\xC3\xA9", "SUMR"}});
    // A capitalised mapping entry is never matched; a Finder type with text, even empty, beats the extension.
    const std::optional<std::string> none;
    const std::tuple<std::string, std::optional<std::string>, std::optional<std::string>> rows[] = {
        {"photo.JPG", none, "JPEG"},     {"picture.JPEG", none, none}, {"summer.\xC3\x89T\xC3\x89", none, "SUMR"},
        {"a.pdf", "TEXT", "TEXT"},       {"c.pdf", std::string("\0ABC", 4), ""},
        {"d.pdf", "\x8E" "ABC", "PDF "}, {"e.jpg", std::string(4, '\0'), "JPEG"},
    };
    for (const auto& [name, finderType, type] : rows) {
        WriteFile(temp_ / name, "x");
        if (finderType) {
            SetXattr(temp_ / name, "user.com.apple.FinderInfo", *finderType + std::string(28, '\0'));
        }
        const FSRef ref = EntryRef(temp_ / name);
        EXPECT_EQ(FSGetType(&ref), type) << name;
    }
}
