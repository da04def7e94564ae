#include "engine/AboutModel.h"

#include "platform/FileSystem.h"
#include "store/SettingsFile.h"

namespace kp {

std::string AboutModel::productLine() { return std::string(kProductName) + " v." + kProductVersion; }

std::string AboutModel::notice() {
    return "Copyright (C) Tarnel Software.\r\nKestrelpad is free to use and comes with no warranty.";
}

std::optional<std::string> AboutModel::fixedNumber(const RunState& s) {
    if (!s.showOptions) return std::nullopt;
    return std::to_string(20091218);
}

HelpLocation findHelp(const std::string& programFolder, const std::string& installedChm,
                      const std::string& installedHtmlDir) {
    const std::string prefix = joinPath(programFolder, "..");
    HelpLocation h;
    for (const std::string& chm : {joinPath(programFolder, kHelpFileName), joinPath(prefix, installedChm)}) {
        if (existsAsFile(chm)) {
            h.chm = chm;
            break;
        }
    }
    for (const std::string& dir : {joinPath(programFolder, "help"), joinPath(prefix, installedHtmlDir)}) {
        if (existsAsFile(joinPath(dir, "index.html"))) {
            h.htmlIndex = joinPath(dir, "index.html");
            break;
        }
    }
    return h;
}

HomePage homePage(const std::string& configured, const HelpLocation& help) {
    if (!configured.empty()) return {configured, configured, false};
    for (const std::string& guide : {help.htmlIndex, help.chm})
        if (!guide.empty()) return {guide, guide, true};
    return {"help/index.html", "", true};
}

} // namespace kp
