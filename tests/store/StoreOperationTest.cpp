#include <gtest/gtest.h>

#include "store/Messages.h"
#include "store/StoreOperation.h"

using namespace kp;

TEST(SizeRefusals, DiskSpaceRefusesOnlyWhenKnownAndShort) {
    Project p;
    p.projectPath = "/x/";
    ListingEntry file;
    file.path = "/x/Site/a.bin";
    file.size = 1000;
    p.projectFiles = {file};
    const struct {
        std::int64_t free;
        bool canWrite;
        bool refused;
    } cases[] = {{-1, true, false}, {1999, true, true}, {2000, true, false}, {10, false, false}};
    for (const auto& c : cases) {
        const auto refusals = sizeRefusals(p, {0}, c.canWrite, c.free);
        EXPECT_EQ(refusals == std::vector<std::string>{msg::kDiskSpaceLow}, c.refused) << c.free;
        EXPECT_EQ(refusals.empty(), !c.refused) << c.free;
    }
}
