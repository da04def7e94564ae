// The checks of the command-line parameter, before anything is created or shown.
// The desktop program, kpad and the tests share them.
#pragma once
#include <string>
#include <vector>

#include "store/Layout.h"

namespace kp {


struct EntryCheck {
    std::string param;              // the parameter, without a trailing "/"
    bool paramIsFile = false;
    bool paramIsFolder = false;
    std::string paramName;          // its file-name part, lower-cased
    std::vector<std::string> warnings; // to show in this order, each titled "Warning"
    bool ok() const { return warnings.empty(); }
};

EntryCheck checkEntry(const std::string& parameter);

// CR LF line breaks as a terminal wants them.
std::string forTerminal(const std::string& message);

} // namespace kp
