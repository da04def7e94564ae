// The desktop program: kestrelpad PATH. Checks the parameter (warnings as message boxes
// titled "Warning", or on stderr without a display) and runs one run of the project.
#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>

#include "hosts/ConsoleHost.h"
#include "engine/EntryChecks.h"

namespace {

bool haveDisplay() {
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (wayland && *wayland);
}

} // namespace

int main(int argc, char** argv) {
    const std::string param = argc > 1 ? argv[1] : "";
    const kp::EntryCheck check = kp::checkEntry(param);
    if (!check.ok()) {
        if (haveDisplay()) {
            QApplication app(argc, argv);
            QApplication::setApplicationName("Kestrelpad");
            for (const auto& w : check.warnings)
                QMessageBox::warning(nullptr, "Warning", QString::fromStdString(w));
        } else {
            for (const auto& w : check.warnings) std::fprintf(stderr, "Warning: %s\n", kp::forTerminal(w).c_str());
        }
        return 0; // a refused parameter ends the program normally
    }

    // Until the desktop windows exist the run goes on without them, as it does on a
    // machine without a display: what the card would show is printed.
    kp::OptionsChoice ok;
    ok.ok = true;
    ok.versionPart1 = ok.versionPart2 = "0";
    kp::ConsoleHost host(ok);
    host.setShowCard(true);
    kp::runProject(check.param, host, false);
    return 0;
}
