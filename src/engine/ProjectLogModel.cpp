#include "engine/ProjectLogModel.h"


#include "platform/DosTime.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "store/Layout.h"
#include "zip/KitResult.h"

namespace kp {

namespace {

std::string withLf(const std::string& text) { return replaceAll(replaceAll(text, "\r\n", "\n"), "\r", "\n"); }

} // namespace

std::string ProjectLogModel::shownText() const { return withLf(m_s.latestLogText); }

std::string ProjectLogModel::exportFileName(const std::string& chosen) {
    const std::string name = fileNamePart(chosen);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && lowerUtf8(name.substr(dot)) == ".txt") return chosen;
    return chosen + ".txt";
}

std::string ProjectLogModel::exportText(const std::string& windowText) {
    std::vector<std::string> lines = split(windowText, '\n');
    // A final line break ends the last line; it does not begin another.
    if (lines.size() > 1 && lines.back().empty()) lines.pop_back();
    if (lines.size() == 1 && lines[0].empty()) return {};
    std::string out;
    for (const auto& line : lines) out += line + "\r\n";
    return out;
}

bool ProjectLogModel::exportTo(const std::string& chosen, const std::string& windowText, std::string& error) {
    const std::string path = exportFileName(chosen);
    const Result<void> written = saveFileAtomically(path, exportText(windowText));
    if (written) return true;
    error = "Can't write \"" + path + "\":\r\n" + written.failure().text;
    return false;
}

bool ProjectLogModel::save(const std::string& windowText, std::string& error) {
    const std::string text = replaceAll(windowText, "\n", "\r\n");
    m_edits.setLatestLog(text);
    if (m_s.latestArchiveName.empty()) return true;
    // The kit would begin a new archive where none is; one holding only the log would pass
    // for the project's newest state.
    if (!existsAsFile(m_s.latestArchiveName)) {
        error = "The project log was not saved: the archive \"" + fileNamePart(m_s.latestArchiveName) +
                "\" is missing.";
        return false;
    }
    ZipArchive zip;
    Result<void> saved = openArchive(zip, m_s.latestArchiveName);
    if (saved) {
        zip.deleteFiles(kProjectLogItem);
        saved = addMemoryItem(zip, kProjectLogItem, text, toDosDateTime(m_clock.now()));
    }
    if (saved) saved = saveArchive(zip);
    if (!saved) {
        error = "The project log was not saved in \"" + fileNamePart(m_s.latestArchiveName) + "\":\r\n" +
                saved.failure().text;
        return false;
    }
    zip.closeArchive();
    return true;
}

} // namespace kp
