// The keyboard layouts loaded for the user, as comment languages, and switching the
// program's input language to the comment language.
#pragma once
#include <string>
#include <vector>

#include "engine/CommentLanguages.h"

namespace kp::win {

// The loaded layouts in the system's order (GetKeyboardLayoutList), each as its language's
// identifier ("00000407") and the system's name of that language.
std::vector<CommentLanguage> loadedKeyboardLayouts();

// Loads the layout of an identifier and makes it the program's input language; false when
// the system refuses it.
bool activateKeyboardLayout(const std::string& layout);

// The program's input language now, as an identifier ("00000409").
std::string activeKeyboardLayout();

} // namespace kp::win
