// The desktop's input languages, as XKB layout names ("us", "de(nodeadkeys)", or lists of
// them joined by ","): the X server's layouts, the desktop's own list where it keeps one
// in a file, and XKB_DEFAULT_LAYOUT (Wayland compositors). Best effort: an empty list only
// leaves US English as the one comment language.
#pragma once
#include <string>
#include <vector>

namespace kp::ui {

std::vector<std::string> desktopInputLanguages();

} // namespace kp::ui
