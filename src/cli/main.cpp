// kpad: the Kestrelpad engine without windows, for scripts and headless machines.
#include <cstdio>
#include <cstring>
#include <string>

#include <exception>
#include <unistd.h>

#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "hosts/ConsoleHost.h"
#include "engine/EntryChecks.h"
#include "platform/ProgramArguments.h"
#include "platform/RunMemory.h"
#include "platform/Text.h"
#include "store/SettingsFile.h"

namespace {

const char* const kUsage =
    "Usage: kpad COMMAND [ARGUMENTS]\n"
    "\n"
    "Keeps the successive states of a project (a folder or one file) as ZIP archives in\n"
    "the folder #tarnel beside it.\n"
    "\n"
    "Commands:\n"
    "  store PATH [--comment TEXT] [--status default|standard|important|valuable]\n"
    "             [--new-version A.B[.C]]\n"
    "        Store the present state of the project (a full or a relative archive),\n"
    "        check it, and thin out old archives. Prints the new archive's path,\n"
    "        or \"The project is the same\".\n"
    "  list PATH [--parents] [--all]\n"
    "        The stored states, newest first: full path, TAB, first line of the comment.\n"
    "        --parents adds the states of enclosing folders; --all lists every archive.\n"
    "  log PATH\n"
    "        The project log of the newest archive.\n"
    "  restore PATH ARCHIVE [--comment TEXT]\n"
    "        Put the project back into a stored state (ARCHIVE: its full path or file\n"
    "        name as 'kpad list' prints it; put -- before a name that begins with '-').\n"
    "        The present state is stored first, with a\n"
    "        note in its comment, and checked before any file is replaced.\n"
    "  settings [ITEMS]\n"
    "        Without items, print the user's settings; with items such as\n"
    "        hv:5\\10\\15,mnp:3,ws:0 check them and save setting.ini.\n"
    "  verify ARCHIVE...\n"
    "        Decompress every item and compare it with its stored CRC.\n"
    "  diff PATH [ARCHIVE] [--stat]\n"
    "  diff PATH --from ARCHIVE --to ARCHIVE [--stat]\n"
    "        What changed since a stored state (default: the newest) in the project, or\n"
    "        between two states: lines \"A path\", \"D path\", \"M path\" (added, deleted,\n"
    "        modified), sorted by path, then a summary. --stat adds the sizes.\n"
    "  versions PATH FILE\n"
    "        Every stored state holding a different version of FILE (its path in the\n"
    "        project), newest first: state, TAB, time, TAB, size.\n"
    "  extract PATH ARCHIVE [PATTERN...] --to DIR [--overwrite]\n"
    "        Copy the files of a state that match a pattern (* also crosses folders,\n"
    "        ? is one character; all files without patterns) into DIR under their\n"
    "        stored paths. Existing files are replaced only with --overwrite; the\n"
    "        project and its archives are not touched. Patterns that choose only\n"
    "        folders are refused (use docs/* for a folder's files).\n"
    "\n"
    "ARCHIVE is a full path or a file name as 'kpad list --all' prints it. \"--\" ends\n"
    "the options, so a name beginning with \"-\" can follow it.\n"
    "\n"
    "Exit status: 0 done, 1 refused or failed, 2 bad arguments, 3 stored (or the same),\n"
    "but incomplete: some files or folders could not be read (they are named on stderr).\n"
    "\n"
    "The desktop program: 'kestrelpad PATH' stores PATH with its card and options window;\n"
    "'kestrelpad --choose', the menu entry, first asks for the folder or file to store.\n"
    "Kestrelpad is never a default opener of folders or files: its desktop entry declares\n"
    "no MIME types. File managers start it through their action \"Back up with Kestrelpad\".\n";

} // namespace

namespace kp::cli {

// Terminal or not: a comment or name holding ESC or BEL must not reach a terminal through a
// pipe or a file shown later either.
std::string forOutput(const std::string& text, std::FILE*) {
    const std::vector<std::string> lines = kp::split(text, '\n');
    std::string shown;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) shown += '\n';
        shown += kp::displayText(lines[i]);
    }
    return shown;
}

int badArguments(const std::string& message) {
    std::fprintf(stderr, "kpad: %s\nTry 'kpad --help'.\n", printable(message, true).c_str());
    return exitCode(FailureKind::BadInput);
}

} // namespace kp::cli

namespace {

int runCommand(const std::vector<std::string>& argv) {
    using namespace kp::cli;
    if (argv.size() < 2) return badArguments("a command is missing");
    const std::string command = argv[1];
    const Args args(argv.begin() + 2, argv.end());
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command == "--version") {
        std::puts(kp::kProductTitle);
        return 0;
    }
    if (command == "store") return cmdStore(args);
    if (command == "list") return cmdList(args);
    if (command == "log") return cmdLog(args);
    if (command == "verify") return cmdVerify(args);
    if (command == "restore") return cmdRestore(args);
    if (command == "settings") return cmdSettings(args);
    if (command == "diff") return cmdDiff(args);
    if (command == "versions") return cmdVersions(args);
    if (command == "extract") return cmdExtract(args);
    return badArguments("unknown command '" + command + "'");
}

} // namespace

// An error nothing below expected ends kpad with one line and status 1, never an abort.
int main(int argc, char** argv) {
    kp::prepareMemoryForRun();
    try {
        return runCommand(kp::programArguments(argc, argv));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kpad: %s\n", kp::cli::printable(kp::forTerminal(e.what()), true).c_str());
    } catch (...) {
        std::fprintf(stderr, "kpad: an unexpected error ended the command\n");
    }
    return kp::exitCode(kp::FailureKind::Internal);
}
