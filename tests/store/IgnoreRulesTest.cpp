#include <gtest/gtest.h>

#include "store/IgnoreRules.h"

using namespace kp;

namespace {

struct Case {
    const char* rules;
    const char* path;
    bool isFolder;
    bool ignored;
};

// Patterns and paths as the familiar ignore-file syntax documents them.
const Case kCases[] = {
    // a bare name matches at any depth, files and folders alike
    {"hello.*", "hello.c", false, true},
    {"hello.*", "src/deep/hello.h", false, true},
    {"hello.*", "hello", false, false},
    {"node_modules/", "node_modules", true, true},
    {"node_modules/", "web/node_modules", true, true},
    {"node_modules/", "node_modules", false, false}, // "dir/" is for folders only
    {"frotz/", "a/frotz", true, true},
    // a "/" at the start or in the middle anchors to the top
    {"doc/frotz/", "doc/frotz", true, true},
    {"doc/frotz/", "a/doc/frotz", true, false},
    {"/build", "build", true, true},
    {"/build", "src/build", true, false},
    {"/*.c", "cat-file.c", false, true},
    {"/*.c", "mozilla-sha1/sha1.c", false, false},
    // "*" and "?" never cross a "/"
    {"doc/*.txt", "doc/a.txt", false, true},
    {"doc/*.txt", "doc/sub/a.txt", false, false},
    {"?.o", "a.o", false, true},
    {"?.o", "ab.o", false, false},
    // brackets
    {"*.[oa]", "x.a", false, true},
    {"*.[oa]", "x.c", false, false},
    {"file[0-9].txt", "file7.txt", false, true},
    {"file[!0-9].txt", "file7.txt", false, false},
    {"file[!0-9].txt", "filex.txt", false, true},
    // "**"
    {"**/foo", "foo", false, true},
    {"**/foo", "a/b/foo", false, true},
    {"**/foo/bar", "x/foo/bar", false, true},
    {"abc/**", "abc/x/y", false, true},
    {"abc/**", "abc", true, false},
    {"a/**/b", "a/b", false, true},
    {"a/**/b", "a/x/b", false, true},
    {"a/**/b", "a/x/y/b", false, true},
    {"a/**/b", "b", false, false},
    // "!" takes back, the last matching line decides
    {"*.log\n!keep.log", "keep.log", false, false},
    {"*.log\n!keep.log", "other.log", false, true},
    {"!keep.log\n*.log", "keep.log", false, true},
    // comments, blanks, escapes, trailing spaces
    {"# build\n\n", "# build", false, false},
    {"\\#notes", "#notes", false, true},
    {"\\!important", "!important", false, true},
    {"trailing   ", "trailing", false, true},
    {"space\\ ", "space ", false, true},
    {"space\\ ", "space", false, false},
    {"crlf\r\n", "crlf", false, true},
    // the file system ignores case, and so do the rules
    {"*.LOG", "Debug.log", false, true},
    {"Build/", "BUILD", true, true},
};

TEST(IgnoreRules, MatchesTheDocumentedPatterns) {
    for (const Case& c : kCases) {
        IgnoreRules rules = IgnoreRules::parse(c.rules);
        EXPECT_EQ(rules.match(c.path, c.isFolder) != nullptr, c.ignored)
            << "rules \"" << c.rules << "\" path \"" << c.path << "\"";
    }
}

TEST(IgnoreRules, NamesTheLineThatMatched) {
    IgnoreRules rules = IgnoreRules::parse("# deps\nnode_modules/\n*.log\n");
    const IgnoreRule* rule = rules.match("web/debug.log", false);
    ASSERT_NE(rule, nullptr);
    EXPECT_EQ(rule->line, 3);
    EXPECT_EQ(rule->text, "*.log");
}

TEST(IgnoreRules, AFileInsideAnIgnoredFolderCannotBeTakenBack) {
    IgnoreRules rules = IgnoreRules::parse("build/\n!build/keep.txt\n");
    EXPECT_EQ(rules.match("build/keep.txt", false), nullptr);
    EXPECT_NE(rules.matchWithParents("build/keep.txt", false), nullptr);
    EXPECT_EQ(rules.matchWithParents("src/keep.txt", false), nullptr);
}

TEST(IgnoreRules, ABadLineIsReportedAndTheRestStillApply) {
    IgnoreRules rules = IgnoreRules::parse("*.o\nfile[0-9.txt\n*.log\n");
    ASSERT_EQ(rules.errors().size(), 1u);
    EXPECT_EQ(rules.errors()[0].line, 2);
    EXPECT_NE(rules.match("a.o", false), nullptr);
    EXPECT_NE(rules.match("a.log", false), nullptr);
    EXPECT_EQ(rules.match("file1.txt", false), nullptr);
}

} // namespace
