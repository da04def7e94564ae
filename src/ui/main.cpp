// The desktop program: kestrelpad PATH. Checks the parameter (warnings as message boxes
// titled "Warning", or on stderr without a display), then runs one run of the project with
// its card, options window and project log window. kestrelpad --choose (the menu entry)
// first lets the user choose the project. The exit code is always 0.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "engine/EntryChecks.h"
#include "engine/ProjectChoice.h"
#include "engine/Startup.h"
#include "hosts/ConsoleHost.h"
#include "platform/FileSystem.h"
#include "platform/RunLock.h"
#include "platform/RunMemory.h"
#include "store/Messages.h"
#include "ui/Desktop.h"
#include "ui/DesktopRun.h"
#include "ui/MessageBox.h"
#include "ui/ProjectChooser.h"

namespace {

bool haveDisplay() {
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (wayland && *wayland);
}

// Without a display the same run goes on without windows, printing what the card shows.
int runHeadless(const std::string& param) {
    kp::OptionsChoice ok;
    ok.ok = true;
    ok.versionPart1 = ok.versionPart2 = "0";
    kp::ConsoleHost host(ok);
    host.setShowCard(true);
    kp::runProject(param, host, false);
    return 0;
}

int runDesktop(QApplication& app, const std::string& param) {
    kp::RunState probe;
    kp::resolveProjectItem(probe, param);
    kp::RunLock lock;
    if (!lock.tryLock(kp::projectLockFolder(probe))) {
        QApplication::beep();
        kp::ui::MessageBox::show(nullptr, kp::ui::MessageBox::Kind::Plain, QString::fromUtf8(kp::msg::kProjectBusy));
        return 0;
    }
    const bool ctrlHeld = QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier;
    kp::ui::DesktopRun run(kp::systemClock());
    run.start(param, ctrlHeld);
    QObject::connect(&run.card(), &kp::ui::ProgressCard::finished, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    app.exec();
    return 0;
}

// Checks the parameter and runs on it, or shows why it is refused.
int checkAndRun(QApplication& app, const std::string& param) {
    const kp::EntryCheck check = kp::checkEntry(param);
    if (!check.ok()) {
        for (const auto& w : check.warnings)
            kp::ui::MessageBox::show(nullptr, kp::ui::MessageBox::Kind::Warning, QString::fromStdString(w));
        return 0; // a refused parameter ends the program normally
    }
    return runDesktop(app, check.param);
}

// The menu entry's start: the user chooses the project, then it is an ordinary run on it.
// Cancelling the chooser ends the program without a word.
int chooseAndRun(QApplication& app) {
    const std::string appData = kp::appDataFolder();
    const QString chosen = kp::ui::ProjectChooser::choose(QString::fromStdString(kp::readLastProject(appData)));
    if (chosen.isEmpty()) return 0;
    const std::string param = chosen.toStdString();
    kp::rememberProject(appData, param); // a start that cannot remember still runs
    return checkAndRun(app, param);
}

} // namespace

int main(int argc, char** argv) {
    kp::prepareMemoryForRun();
    const std::string param = argc > 1 ? argv[1] : "";
    const bool choose = param == kp::kChooseOption;
    try {
        if (!haveDisplay()) {
            if (choose) {
                std::fprintf(stderr, "kestrelpad: choosing the project needs a display; give its path instead\n");
                return 0;
            }
            const kp::EntryCheck check = kp::checkEntry(param);
            if (!check.ok()) {
                for (const auto& w : check.warnings)
                    std::fprintf(stderr, "Warning: %s\n", kp::forTerminal(w).c_str());
                return 0;
            }
            return runHeadless(check.param);
        }
        kp::ui::desktop::preferXOnWayland();
        QApplication app(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Kestrelpad"));
        QApplication::setQuitOnLastWindowClosed(false);
        return choose ? chooseAndRun(app) : checkAndRun(app, param);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kestrelpad: %s\n", e.what());
        return 0;
    }
}
