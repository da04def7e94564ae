#include "history/CopyOut.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <map>
#include <memory>
#include <ostream>
#include <streambuf>
#include <unordered_map>

#include "history/PathPattern.h"
#include "platform/FileSystem.h"
#include "platform/OutputFile.h"
#include "platform/Text.h"
#include "zip/ItemNames.h"
#include "zip/ZipArchive.h"

namespace kp {

namespace fs = std::filesystem;

namespace {

struct Chosen {
    const StateEntry* entry;
    const ZipItem* item;
    const ZipArchive* zip;
    std::string target;
};

bool isChosen(const StateEntry& e, const CopyRequest& r, const std::string& projectName) {
    if (r.patterns.empty() && r.paths.empty()) return true;
    for (const std::string& p : r.paths)
        if (e.path == p) return true;
    for (const std::string& p : r.patterns)
        if (matchesItemPattern(e.path, p, projectName)) return true;
    return false;
}

// The archives a state reads from, each opened once, with its items by exact name.
class Sources {
public:
    const ZipItem* find(const StateEntry& e, const ZipArchive*& zip) {
        Source& s = open(e.archive);
        zip = &s.zip;
        const auto it = s.byName.find(e.path);
        return it == s.byName.end() ? nullptr : it->second;
    }

private:
    struct Source {
        ZipArchive zip;
        std::unordered_map<std::string, const ZipItem*> byName;
    };
    Source& open(const std::string& archive) {
        auto& slot = m_sources[archive];
        if (!slot) {
            slot = std::make_unique<Source>();
            openStateArchive(slot->zip, archive);
            for (std::size_t i = 0; i < slot->zip.count(); ++i)
                slot->byName.emplace(slot->zip.item(i).fileName, &slot->zip.item(i));
        }
        return *slot;
    }
    std::map<std::string, std::unique_ptr<Source>> m_sources;
};

bool isWithin(const fs::path& path, const fs::path& root) {
    auto p = path.begin(), r = root.begin();
    for (; r != root.end(); ++p, ++r)
        if (p == path.end() || *p != *r) return false;
    return true;
}

// What a copy must never write into: the project's own files and the archive folder. The
// target's existing folders are resolved, so a link that leads back into the project counts.
class Protected {
public:
    explicit Protected(const Project& project) {
        m_roots.push_back(resolved(project.projectPath + project.projectName()));
        m_roots.push_back(resolved(project.archiveFolder));
    }
    bool covers(const std::string& target) {
        const std::string folder = folderPart(target);
        auto known = m_folders.find(folder);
        if (known == m_folders.end()) known = m_folders.emplace(folder, resolved(folder)).first;
        const fs::path path = known->second / fileNamePart(target);
        for (const fs::path& root : m_roots)
            if (isWithin(path, root)) return true;
        return false;
    }

private:
    static fs::path resolved(const std::string& path) {
        std::error_code ec;
        fs::path p = fs::weakly_canonical(fs::path(path), ec);
        return ec ? fs::path(path).lexically_normal() : p;
    }
    std::vector<fs::path> m_roots;
    std::map<std::string, fs::path> m_folders;
};

// The first symbolic link among the parts of target below the folder copied into (the target
// itself included), or "". A link planted there would carry the copy, and with overwrite the
// replacement of files, to wherever it points; the folder given itself may be a link.
std::string linkOnTheWay(const std::string& targetFolder, const std::string& target) {
    const std::string root = withoutTrailingSlash(targetFolder);
    std::string path = root;
    std::string rest = target.substr(std::min(target.size(), root.size()));
    std::size_t from = 0;
    while (from < rest.size()) {
        std::size_t to = rest.find('/', from + 1);
        if (to == std::string::npos) to = rest.size();
        path += rest.substr(from, to - from);
        from = to;
        std::error_code ec;
        const fs::file_status st = fs::symlink_status(path, ec);
        if (fs::is_symlink(st)) return path;
        if (!fs::exists(st)) return {};
    }
    return {};
}

std::string linkRefusal(const std::string& link) {
    return link + " is a symbolic link; files are never copied through links. Remove it or choose "
                  "another folder.";
}

std::uint32_t permissionsOf(const ZipItem& item) {
    const std::uint32_t mode = item.unixMode() & 0777;
    return mode ? mode : 0644;
}

// Writes one file aside and renames it into place (over the old file when asked to); the kit
// checks size and CRC as it reads. The platform's output file does the renaming as each
// system needs it: Windows replaces no file by a plain rename.
std::string copyOne(const Chosen& c, const std::string& targetFolder) {
    const std::string folder = withoutTrailingSlash(folderPart(c.target));
    if (const std::string link = linkOnTheWay(targetFolder, c.target); !link.empty())
        return linkRefusal(link);
    if (!makeFolders(folder)) return "Can't create the folder " + folder + ": " + errorText(errno);
    OutputFile out;
    if (!out.createUnique(folder, ".kpad-copy-")) return "Can't write " + c.target + ": " + errorText(errno);
    std::string problem;
    try {
        c.zip->readItem(c.item->fileName, [&](const char* data, std::size_t n) {
            if (problem.empty() && !out.write(data, n)) problem = "Can't write " + c.target + ": " + errorText(errno);
        });
    } catch (const std::exception& e) {
        problem = e.what();
    }
    if (problem.empty()) out.setMode(permissionsOf(*c.item)); // the bits are a courtesy: not checked
    if (problem.empty() && !out.commit(c.target, false)) problem = "Can't write " + c.target + ": " + errorText(errno);
    if (!problem.empty()) {
        out.discard();
        return problem;
    }
    const std::time_t t = c.item->modificationTime >= 0 ? std::time_t(c.item->modificationTime)
                                                        : fromDosDateTime(c.item->dosTime);
    setModificationTime(c.target, t);
    return {};
}

std::string checkTargets(const Project& project, const CopyRequest& r, const std::vector<Chosen>& chosen,
                         CopyResult& result) {
    Protected guarded(project);
    for (const Chosen& c : chosen) {
        if (const std::string problem = extractionProblem(*c.item); !problem.empty())
            return "The state " + fileNamePart(r.archive) +
                   " holds an item that can't be copied out safely: " + problem;
        if (guarded.covers(c.target))
            return "The folder " + r.targetFolder + " would put " + c.entry->path +
                   " into the project or its archive folder; copy into a folder outside them.";
        if (const std::string link = linkOnTheWay(r.targetFolder, c.target); !link.empty())
            return linkRefusal(link);
        std::error_code ec;
        const fs::file_status st = fs::symlink_status(c.target, ec);
        if (!fs::exists(st)) continue;
        if (c.entry->isFolder) {
            if (!fs::is_directory(fs::status(c.target, ec))) return c.target + " exists and is not a folder.";
        } else if (fs::is_directory(st)) {
            return c.target + " is a folder.";
        } else {
            result.existing.push_back(c.target);
        }
    }
    if (!result.existing.empty() && !r.overwrite)
        return std::to_string(result.existing.size()) + " of the files exist already in " + r.targetFolder +
               ".";
    result.existing.clear();
    return {};
}

} // namespace

CopyResult copyFilesOut(const Project& project, const CopyRequest& r, const CopyProgressCallback& progress) {
    CopyResult result;
    if (!isAbsolutePath(r.targetFolder)) {
        result.error = "The folder to copy into must be given as a full path.";
        return result;
    }
    if (findState(project, r.archive) != r.archive) {
        result.error = "The archive " + r.archive + " is not a stored state of the project " +
                       project.projectName() + ".";
        return result;
    }
    const StateLoad load = loadStoredState(project, r.archive);
    if (!load.ok()) {
        result.error = load.error;
        return result;
    }
    Sources sources;
    std::vector<Chosen> chosen;
    CopyProgress figures;
    try {
        for (const StateEntry& e : load.state.entries) {
            if (!isChosen(e, r, project.projectName())) continue;
            Chosen c{&e, nullptr, nullptr,
                     joinPath(withoutTrailingSlash(r.targetFolder), withoutTrailingSlash(e.path))};
            c.item = sources.find(e, c.zip);
            if (!c.item) continue;
            chosen.push_back(c);
            if (!e.isFolder) {
                ++figures.files;
                figures.bytes += e.size;
            }
        }
    } catch (const std::exception& e) {
        result.error = e.what();
        return result;
    }
    if (chosen.empty()) {
        result.error = "No file of the state " + fileNamePart(r.archive) + " matches.";
        return result;
    }
    result.error = checkTargets(project, r, chosen, result);
    if (!result.ok()) return result;

    for (const Chosen& c : chosen) {
        if (c.entry->isFolder) {
            if (const std::string link = linkOnTheWay(r.targetFolder, c.target); !link.empty()) {
                result.error = linkRefusal(link);
                return result;
            }
            if (!makeFolders(c.target)) {
                result.error = "Can't create the folder " + c.target + ": " + errorText(errno);
                return result;
            }
            continue;
        }
        result.error = copyOne(c, r.targetFolder);
        if (!result.ok()) return result;
        result.written.push_back(c.target);
        ++figures.filesDone;
        figures.bytesDone += c.entry->size;
        if (progress) progress(figures);
    }
    // Folder times last, deepest first, since writing into a folder changes its time.
    for (auto it = chosen.rbegin(); it != chosen.rend(); ++it)
        if (it->entry->isFolder) setModificationTime(it->target, fromDosDateTime(it->item->dosTime));
    return result;
}

} // namespace kp
