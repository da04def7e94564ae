#include "history/FileVersions.h"

#include <algorithm>
#include <map>
#include <optional>
#include <stdexcept>

#include "history/StateRecord.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "store/Layout.h"
#include "zip/ZipArchive.h"

namespace kp {

namespace {

using Copy = std::optional<FileVersion>;

Copy copyIn(const ZipArchive& zip, const std::string& item, const std::string& archive) {
    const int at = zip.findFile(item);
    if (at < 0) return std::nullopt;
    const ZipItem& z = zip.item(std::size_t(at));
    if (z.isFolder()) return std::nullopt;
    return FileVersion{archive, z.dosTime, z.uncompressedSize, z.crc32};
}

// Reads each archive's directory once: the primary of a relative state is usually an
// older state that was read already.
class CopyFinder {
public:
    CopyFinder(const Project& project, const std::string& item) : m_project(project), m_item(item) {}

    Copy inState(const std::string& archive) {
        ZipArchive zip;
        openStateArchive(zip, archive);
        Copy own = copyIn(zip, m_item, archive);
        const std::string text =
            zip.findFile(kProjectSetItem) >= 0 ? zip.extractToString(kProjectSetItem) : "";
        const StateRecord record = StateRecord::parse(text);
        if (!record.isRelative()) return m_fullCopies[archive] = own;
        if (own || record.isMissing(m_item)) return own;
        std::string error;
        const std::string primary = primaryArchiveOf(m_project, archive, record.primaryArchive(), error);
        if (!error.empty()) throw std::runtime_error(error);
        Copy inPrimary = inFull(primary);
        if (inPrimary) inPrimary->archive = archive;
        return inPrimary;
    }

private:
    Copy inFull(const std::string& archive) {
        if (auto known = m_fullCopies.find(archive); known != m_fullCopies.end()) return known->second;
        ZipArchive zip;
        openStateArchive(zip, archive);
        return m_fullCopies[archive] = copyIn(zip, m_item, archive);
    }

    const Project& m_project;
    const std::string& m_item;
    std::map<std::string, Copy> m_fullCopies;
};

bool sameContent(const FileVersion& a, const FileVersion& b) {
    return a.crc32 == b.crc32 && a.size == b.size;
}

} // namespace

std::string itemNameOf(const Project& project, const std::string& file) {
    std::string name = file;
    if (startsWith(name, project.projectPath)) name = name.substr(project.projectPath.size());
    while (startsWith(name, "./"))
        name = name.substr(2);
    const std::string own = project.projectName();
    if (name == own || startsWith(name, own + "/")) return name;
    return own + "/" + name;
}

FileVersions fileVersions(const Project& project, const std::string& file) {
    FileVersions result;
    result.item = itemNameOf(project, file);
    CopyFinder finder(project, result.item);
    Copy previous;
    for (const std::string& state : projectStates(project)) {
        try {
            const Copy copy = finder.inState(state);
            if (copy && (!previous || !sameContent(*copy, *previous))) result.versions.push_back(*copy);
            previous = copy;
        } catch (const std::exception& e) {
            result.unreadable.push_back(fileNamePart(state) + ": " + e.what());
        }
    }
    std::reverse(result.versions.begin(), result.versions.end());
    return result;
}

} // namespace kp
