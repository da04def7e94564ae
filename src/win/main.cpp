// The desktop program on Windows: kestrelpad PATH. Checks the parameter (warnings as message
// boxes titled "Warning"), then runs one run of the project with its card and options window.
// kestrelpad --choose (the Start menu's entry) first lets the user choose the project. The
// exit code is always 0.
#include <windows.h>

#include <objbase.h>

#include <exception>
#include <string>

#include "engine/CardModel.h"
#include "engine/EntryChecks.h"
#include "engine/ProjectChoice.h"
#include "engine/Startup.h"
#include "platform/FileSystem.h"
#include "platform/ProgramArguments.h"
#include "platform/RunLock.h"
#include "platform/RunMemory.h"
#include "store/Messages.h"
#include "win/Card.h"
#include "win/KeyboardLayouts.h"
#include "win/MessageBoxes.h"
#include "win/ProjectChooser.h"
#include "win/WheelToArrowKeys.h"
#include "win/ProjectLogWindow.h"
#include "win/WinHost.h"

namespace {

void runDesktop(HINSTANCE instance, const std::string& param) {
    kp::RunState probe;
    kp::resolveProjectItem(probe, param);
    kp::RunLock lock;
    if (!lock.tryLock(kp::projectLockFolder(probe))) {
        MessageBeep(MB_OK);
        kp::win::showMessageBox(nullptr, kp::MessageKind::Plain, kp::msg::kProjectBusy);
        return;
    }
    // Ctrl held while the program starts opens the options window at the first tick. The
    // keyboard's state, not the thread's: a program just started has seen no key messages.
    const bool ctrlHeld = (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
    kp::win::installWheelToArrowKeys();
    kp::win::WinHost host(instance);
    kp::Engine engine(host, kp::systemClock());
    host.attach(engine);
    kp::StartupInput input;
    input.param = param;
    input.ctrlHeld = ctrlHeld;
    engine.start(input);
    // The comment language is the program's input language for the whole run.
    kp::win::activateKeyboardLayout(engine.state().values.commentLayout);
    kp::win::Card card(instance, host.ownerWindow(), engine);
    host.setCard(card);
    kp::win::ProjectLogWindow logWindow(instance, host.ownerWindow(), engine, kp::systemClock());
    card.show(kp::startVisibility(engine.state().values.showWindow) == kp::CardVisibility::Shown);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void checkAndRun(HINSTANCE instance, const std::string& param) {
    const kp::EntryCheck check = kp::checkEntry(param);
    if (!check.ok()) {
        for (const auto& w : check.warnings) kp::win::showMessageBox(nullptr, kp::MessageKind::Warning, w);
        return; // a refused parameter ends the program normally
    }
    runDesktop(instance, check.param);
}

// The Start menu's start: the user chooses the project, then it is an ordinary run on it.
// Cancelling the chooser ends the program without a word.
void chooseAndRun(HINSTANCE instance) {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) return;
    const std::string appData = kp::appDataFolder();
    const std::string chosen = kp::win::chooseProject(kp::readLastProject(appData));
    CoUninitialize();
    if (chosen.empty()) return;
    kp::rememberProject(appData, chosen); // a start that cannot remember still runs
    checkAndRun(instance, chosen);
}

} // namespace

int main(int argc, char** argv) {
    kp::prepareMemoryForRun();
    const auto args = kp::programArguments(argc, argv);
    const std::string param = args.size() > 1 ? args[1] : "";
    HINSTANCE instance = GetModuleHandleW(nullptr);
    try {
        if (param == kp::kChooseOption) chooseAndRun(instance);
        else checkAndRun(instance, param);
    } catch (const std::exception& e) {
        kp::win::showMessageBox(nullptr, kp::MessageKind::Error, std::string("kestrelpad: ") + e.what());
    }
    return 0;
}
