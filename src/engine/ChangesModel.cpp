#include "engine/ChangesModel.h"

#include <utility>

#include "history/PathPattern.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace kp {

namespace {

std::string kindText(ChangeKind kind) {
    switch (kind) {
    case ChangeKind::Added: return "added";
    case ChangeKind::Deleted: return "deleted";
    case ChangeKind::Modified: return "modified";
    }
    return {};
}

std::string sizeText(const StateChange& c) {
    if (c.isFolder) return {};
    switch (c.kind) {
    case ChangeKind::Added: return std::to_string(c.newSize);
    case ChangeKind::Deleted: return std::to_string(c.oldSize);
    case ChangeKind::Modified: return std::to_string(c.oldSize) + " \u2192 " + std::to_string(c.newSize);
    }
    return {};
}

} // namespace

ChangesModel::ChangesModel(const Project& project, std::string archive)
    : m_project(project), m_archive(std::move(archive)) {}

std::string ChangesModel::caption() const { return "Changes since " + fileNamePart(m_archive); }

ChangeRow ChangesModel::rowOf(const StateChange& change) { return {kindText(change.kind), change.path, sizeText(change)}; }

void ChangesModel::load() {
    m_diff = diffWithPresent(m_project, m_archive);
    m_rows.clear();
    if (!m_diff.ok()) return;
    for (const StateChange& c : m_diff.value()) m_rows.push_back(rowOf(c));
}

std::string ChangesModel::summaryText() const {
    if (!m_diff.ok()) return m_diff.failure().text;
    if (m_diff.value().empty()) return "The project is the same as this state.";
    const DiffSummary s = summarize(m_diff.value());
    return std::to_string(s.added) + " added, " + std::to_string(s.deleted) + " deleted, " +
           std::to_string(s.modified) + " modified";
}

bool ChangesModel::rowShown(const ChangeRow& row, const std::string& filter) const {
    if (filter.empty()) return true;
    if (filter.find_first_of("*?") != std::string::npos)
        return matchesItemPattern(row.path, filter, m_project.projectName());
    return findIgnoringCase(row.path, filter) != std::string::npos;
}

} // namespace kp
