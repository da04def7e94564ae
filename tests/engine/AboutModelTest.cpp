#include <gtest/gtest.h>

#include "engine/AboutModel.h"

namespace kp {
namespace {

TEST(AboutModel, HomePageIsTheConfiguredPageElseAGuideThatExists) {
    const HelpLocation both{"/usr/share/kestrelpad/Kestrelpad.chm", "/usr/share/kestrelpad/help/index.html"};
    const HelpLocation chmOnly{"/opt/kp/bin/Kestrelpad.chm", ""};
    const struct {
        const char* what;
        std::string configured;
        HelpLocation help;
        std::string address;
        bool local;
    } cases[] = {
        {"a public page named by the build", "https://example.org/kestrelpad/", both, "https://example.org/kestrelpad/", false},
        {"the guide's pages first", "", both, both.htmlIndex, true},
        {"else the help file", "", chmOnly, chmOnly.chm, true},
        {"no guide at all", "", {}, "", true},
    };
    for (const auto& c : cases) {
        const HomePage page = homePage(c.configured, c.help);
        EXPECT_EQ(page.address, c.address) << c.what;
        EXPECT_EQ(page.local, c.local) << c.what;
        EXPECT_FALSE(page.shown.empty()) << c.what;
    }
}

} // namespace
} // namespace kp
