// Starting from the menu: there is no parameter, so the user chooses the project (a folder
// or a file) first. The chooser opens where the last chosen project lies, with that project
// selected; a choice is remembered beside setting.ini for the next start from the menu.
#pragma once
#include <string>

namespace kp {

inline constexpr const char* kChooseOption = "--choose";
inline constexpr const char* kChooseTitle = "Choose the project - Kestrelpad";

// Where the chooser opens: the folder shown and the item selected in it (empty: none).
struct ChooserStart {
    std::string folder;
    std::string selected;
};

// appDataFolder() + "/Kestrelpad/last-project": one line, the absolute path last chosen.
std::string lastProjectFilePath(const std::string& appDataFolder);

// The remembered project; empty when none was remembered or the file cannot be read.
std::string readLastProject(const std::string& appDataFolder);

// Remembers path (absolute) for the next start; false when it cannot be written.
bool rememberProject(const std::string& appDataFolder, const std::string& path);

// The folder holding the last project with that project selected while it still exists;
// else the nearest folder above it that exists; else home.
ChooserStart chooserStart(const std::string& lastProject, const std::string& home);

} // namespace kp
