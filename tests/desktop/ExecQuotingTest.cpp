// Quoting for the shell, the Desktop Entry Exec key and key files: each quoted word must come back
// whole from the parser that reads it.
#include <gtest/gtest.h>

#include <string>

#include "desktop/ExecQuoting.h"
#include "support/RunProgram.h"

using namespace corvane;

TEST(ExecQuoting, QuotesEachWordSoThatItsParserReadsItBackWhole) {
    const struct { std::string word, shell, desktop; const char* proves; } rows[] = {
        {"/usr/bin/corvane", "/usr/bin/corvane", "/usr/bin/corvane", "a plain path stays readable"},
        {"it's here", "'it'\\''s here'", "\"it's here\"", "a single quote closes and reopens the shell quotes"},
        {"a\"b$c`d\\e", "'a\"b$c`d\\e'", "\"a\\\"b\\$c\\`d\\\\e\"", "the desktop escapes \" $ ` and \\"},
        {"", "''", "\"\"", "an empty word is still a word"},
        {"~user", "'~user'", "\"~user\"", "a tilde is never expanded"},
    };
    // What /bin/sh makes of the quoted word: the word itself when the quoting is right.
    const auto throughShell = [](const std::string& quoted) {
        return RunCorvane({"-c", "printf %s " + quoted}, {}, {}, "sh").out;
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ShellQuote(row.word), row.shell) << row.proves;
        EXPECT_EQ(DesktopExecQuote(row.word), row.desktop) << row.proves;
        EXPECT_EQ(throughShell(ShellQuote(row.word)), row.word) << row.proves;
        // KIO and GLib read the desktop quoting as the shell reads double quotes.
        EXPECT_EQ(throughShell(DesktopExecQuote(row.word)), row.word) << row.proves;
    }
    EXPECT_EQ(KeyFileEscape("\"a\\\\b\""), "\"a\\\\\\\\b\"") << "a backslash in a quoted argument becomes four";
    EXPECT_EQ(KeyFileEscape(" lead and\ttab\nline"), "\\slead and\\ttab\\nline");
}
