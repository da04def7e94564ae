#include "history/FileVersions.h"

#include <algorithm>
#include <map>
#include <optional>

#include "history/StateRecord.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "store/Layout.h"
#include "zip/KitResult.h"

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

    Result<Copy> inState(const std::string& archive) {
        ZipArchive zip;
        if (Result<void> opened = openStoredArchive(zip, archive); !opened) return opened.failure();
        Copy own = copyIn(zip, m_item, archive);
        std::string text;
        if (zip.findFile(kProjectSetItem) >= 0) {
            Result<std::string> read = readItemText(zip, kProjectSetItem);
            if (!read) return read.failure();
            text = std::move(read.value());
        }
        const StateRecord record = StateRecord::parse(text);
        if (!record.isRelative()) return m_fullCopies[archive] = own;
        if (own || record.isMissing(m_item)) return own;
        const Result<std::string> primary = primaryArchiveOf(m_project, archive, record.primaryArchive());
        if (!primary) return primary.failure();
        Result<Copy> inPrimary = inFull(primary.value());
        if (inPrimary && inPrimary.value()) inPrimary.value()->archive = archive;
        return inPrimary;
    }

private:
    Result<Copy> inFull(const std::string& archive) {
        if (auto known = m_fullCopies.find(archive); known != m_fullCopies.end()) return known->second;
        ZipArchive zip;
        if (Result<void> opened = openStoredArchive(zip, archive); !opened) return opened.failure();
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
        const Result<Copy> copy = finder.inState(state);
        if (!copy) {
            result.unreadable.push_back(fileNamePart(state) + ": " + copy.failure().text);
            continue;
        }
        if (copy.value() && (!previous || !sameContent(*copy.value(), *previous))) result.versions.push_back(*copy.value());
        previous = copy.value();
    }
    std::reverse(result.versions.begin(), result.versions.end());
    return result;
}

} // namespace kp
