#include <gtest/gtest.h>

#include "store/ArchiveNaming.h"

using namespace kp;

TEST(ArchiveNaming, BuildsNameMaskAndStampPositions) {
    const FixedClock clock(fromLocalTime({2010, 12, 3, 15, 30, 59}));
    const ArchiveName plain = BuildArchiveName("/work/Site/#tarnel", "Site", "", clock);
    EXPECT_EQ(plain.path, "/work/Site/#tarnel/Site-101203.1530.zip");
    EXPECT_EQ(plain.mask, "/work/Site/#tarnel/Site-??????.*.zip");
    EXPECT_EQ(plain.datePos, 6);
    EXPECT_EQ(plain.timePos, 13);
    EXPECT_EQ(BuildArchiveName("/w/#tarnel", "Site", "c", clock).path, "/w/#tarnel/Site-101203.1530c.zip");

    // A base name that itself looks like a stamp: positions come from its length, not a search.
    const ArchiveName tricky = BuildArchiveName("/w/#tarnel", "Site-101203.1530", "c", clock);
    EXPECT_EQ(stampAt("Site-101203.1530-101203.1530c.zip", tricky.datePos), "101203.1530");
    EXPECT_EQ(tricky.datePos, 18);
    EXPECT_EQ(stampNumber("101203.1530"), 1012031530LL);
    EXPECT_EQ(stampNumber("10120x.1530"), -1);
}

TEST(ArchiveNaming, ShortenCaption) {
    const std::string s61(61, 'x'), s60(60, 'x');
    EXPECT_EQ(ShortenCaption(s61, 60), std::string(57, 'x') + "...");
    EXPECT_EQ(ShortenCaption(s60, 60), s60);
    EXPECT_EQ(ShortenCaption("abcdef", 3), "");
    EXPECT_EQ(ShortenCaption("Проектные файлы", 8), "Проек...") << "counts characters, not bytes";
}

TEST(ArchiveNaming, SuffixChosenWhenTheOptionsWindowCloses) {
    EXPECT_EQ(chooseSuffix(true, "1", "4", "beta", "", true), "c-v.1.4.beta");
    EXPECT_EQ(chooseSuffix(true, "2", "0", "", "", true), "c-v.2.0");
    EXPECT_EQ(chooseSuffix(true, "2", "0", ".rc", "", true), "c-v.2.0.rc");
    EXPECT_EQ(chooseSuffix(false, "0", "0", "", " \r\n ", true), "");
    EXPECT_EQ(chooseSuffix(false, "0", "0", "", "a comment", true), "c");
    EXPECT_EQ(chooseSuffix(false, "0", "0", "", "", false), "c");
}
