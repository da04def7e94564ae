// What the About tab shows and where it finds the help.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "engine/RunState.h"

namespace kp {

inline constexpr const char* kHelpFileName = "Kestrelpad.chm";
inline constexpr const char* kHelpFileMissing = "Can't find help file!";

struct AboutModel {
    static std::string productLine(); // "Kestrelpad v.1.1.1"
    static std::string notice();
    // The blank label's number, shown only while the options were asked for.
    static std::optional<std::string> fixedNumber(const RunState& s);
};

// Where the help is: Kestrelpad.chm beside the program, else where it is installed
// (installedChm relative to the program's folder's parent, the installation prefix).
// The HTML pages of the same help are the fallback for desktops that cannot open .chm
// files: help/index.html beside the program, else installedHtmlDir under the prefix.
struct HelpLocation {
    std::string chm;       // empty: the help file is missing
    std::string htmlIndex; // empty: no HTML pages found
};
HelpLocation findHelp(const std::string& programFolder, const std::string& installedChm,
                      const std::string& installedHtmlDir);

// The "Home page" link: the project's public page when the build names one (configured),
// else the user guide found beside the program or installed (its index.html, else the help
// file). An empty address: no guide was found.
struct HomePage {
    std::string shown;   // the link's text
    std::string address; // an address (configured) or a local file's path (local)
    bool local = false;
};
HomePage homePage(const std::string& configured, const HelpLocation& help);

} // namespace kp
