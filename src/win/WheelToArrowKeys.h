// The mouse wheel as the arrow keys, in every window of the program: a hook on the
// messages the program takes from its queue turns each notch of the vertical wheel into an
// Up (away from the user) or Down key press and release for the control that has the
// keyboard focus. So a notch steps the focused value of the Settings page by one, moves
// through a list or moves the caret of a text, exactly as the arrow key would.
#pragma once

namespace kp::win {

// For the rest of the run, on the calling (user-interface) thread.
void installWheelToArrowKeys();

} // namespace kp::win
