// The options window, shown modally when the run asks for it; returns what the user chose.
#pragma once
#include <windows.h>

#include <functional>

#include "engine/Engine.h"

namespace kp::win {

// setCardVisibility: the card's visibility routine, for the Settings page's Save.
OptionsChoice runOptionsDialog(HINSTANCE instance, HWND owner, Engine& engine, RunState& state,
                               std::function<void(int mode)> setCardVisibility);

} // namespace kp::win
