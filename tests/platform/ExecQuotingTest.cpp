// Quoting for the shell, the Desktop Entry Exec key and key files: each quoted word must come back
// whole from the parser that reads it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/ExecQuoting.h"

namespace {

struct Quoting {
    std::string word;
    std::string shell;
    std::string desktop;
    const char* proves;
};

const Quoting kCases[] = {
    {"/usr/bin/corvane", "/usr/bin/corvane", "/usr/bin/corvane", "a plain path stays readable"},
    {"Aggregate Files by Extension", "'Aggregate Files by Extension'", "\"Aggregate Files by Extension\"",
     "blanks make one word"},
    {"it's", "'it'\\''s'", "\"it's\"", "a single quote closes and reopens the shell quotes"},
    {"a\"b$c`d\\e", "'a\"b$c`d\\e'", "\"a\\\"b\\$c\\`d\\\\e\"", "the desktop escapes \" $ ` and \\"},
    {"", "''", "\"\"", "an empty word is still a word"},
    {"~user", "'~user'", "\"~user\"", "a tilde is never expanded"},
};

// What /bin/sh makes of the quoted word: the word itself when the quoting is right.
std::string ThroughShell(const std::string& quoted) {
    const std::string command = "printf '%s' " + quoted;
    FILE* shell = popen(command.c_str(), "r");
    std::string out;
    char buffer[256];
    for (std::size_t got; (got = fread(buffer, 1, sizeof buffer, shell)) > 0;) {
        out.append(buffer, got);
    }
    pclose(shell);
    return out;
}

}  // namespace

TEST(ExecQuoting, QuotesEachWordForItsParser) {
    for (const Quoting& row : kCases) {
        EXPECT_EQ(ShellQuote(row.word), row.shell) << row.proves;
        EXPECT_EQ(DesktopExecQuote(row.word), row.desktop) << row.proves;
    }
}

TEST(ExecQuoting, ShellReadsBackEveryWordWhole) {
    for (const Quoting& row : kCases) {
        EXPECT_EQ(ThroughShell(ShellQuote(row.word)), row.word) << row.proves;
        // The desktop quoting is the shell's double-quote syntax, which KIO and GLib read the same way.
        EXPECT_EQ(ThroughShell(DesktopExecQuote(row.word)), row.word) << row.proves;
    }
}

TEST(ExecQuoting, KeyFileEscapesWhatItsReaderWouldTakeAsSyntax) {
    EXPECT_EQ(KeyFileEscape("\"a\\\\b\""), "\"a\\\\\\\\b\"") << "a backslash in a quoted argument becomes four";
    EXPECT_EQ(KeyFileEscape(" lead and\ttab\nline"), "\\slead and\\ttab\\nline");
    EXPECT_EQ(KeyFileEscape("plain text"), "plain text");
}
