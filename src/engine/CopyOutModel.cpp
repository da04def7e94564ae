#include "engine/CopyOutModel.h"

#include <utility>

#include "history/ProjectState.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace kp {

CopyOutModel::CopyOutModel(const Project& project, std::string archive)
    : m_project(project), m_archive(std::move(archive)) {}

std::string CopyOutModel::caption() const { return "Copy files out of " + fileNamePart(m_archive); }

bool CopyOutModel::load() {
    m_rows.clear();
    const Result<ProjectState> load = readStoredState(m_project, m_archive);
    m_loadError = load ? std::string() : load.failure().text;
    if (!load) return false;
    for (const StateEntry& e : load.value().entries)
        if (!e.isFolder) m_rows.push_back({e.path, std::to_string(e.size)});
    return true;
}

bool CopyOutModel::rowShown(const CopyRow& row, const std::string& filter) {
    return filter.empty() || findIgnoringCase(row.path, filter) != std::string::npos;
}

bool CopyOutModel::copyEnabled(const std::string& folder, std::size_t chosen) { return !trim(folder).empty() && chosen > 0; }

int CopyOutModel::percent(const CopyProgress& p) { return p.bytes ? int(p.bytesDone * 100 / p.bytes) : 100; }

CopyResult CopyOutModel::copy(const std::vector<std::string>& paths, const std::string& folder, bool overwrite,
                              const CopyProgressCallback& progress) const {
    CopyRequest request;
    request.archive = m_archive;
    request.paths = paths;
    request.targetFolder = portablePath(trim(folder)); // as typed: "D:\out" on Windows
    request.overwrite = overwrite;
    // With no paths the history layer would copy the whole state.
    if (request.paths.empty() || request.targetFolder.empty()) {
        CopyResult nothing;
        nothing.failure = Failure{FailureKind::BadInput, "Choose the files and the folder to copy them to.", {}};
        return nothing;
    }
    return copyFilesOut(m_project, request, progress);
}

std::string CopyOutModel::existingText(const std::vector<std::string>& existing) {
    std::string text = "These files exist already and were not replaced:\n\n";
    for (const auto& path : existing) text += path + "\n";
    return text + "\nTick \"Replace files that exist\" to replace them.";
}

std::string CopyOutModel::copiedText(const CopyResult& result, const std::string& folder) {
    return std::to_string(result.written.size()) + " files copied to " + folder;
}

} // namespace kp
