// The options window, shown modally when the run asks for it; returns what the user chose.
#pragma once
#include <windows.h>

#include <functional>

#include "engine/CardModel.h"
#include "engine/Engine.h"

namespace kp::win {

// setCardVisibility: the card's visibility routine, for the Settings page's Save.
OptionsChoice runOptionsDialog(HINSTANCE instance, HWND owner, Engine& engine,
                               std::function<void(CardVisibility)> setCardVisibility);

} // namespace kp::win
