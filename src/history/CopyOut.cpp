#include "history/CopyOut.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <map>
#include <numeric>
#include <memory>
#include <thread>
#include <unordered_set>

#include "history/ExtractionCheck.h"
#include "history/PathPattern.h"
#include "platform/FileSystem.h"
#include "platform/OutputFile.h"
#include "platform/Text.h"
#include "zip/ItemNames.h"
#include "zip/KitResult.h"
#include "zip/WorkerPool.h"
#include "zip/ZipArchive.h"

namespace kp {

namespace fs = std::filesystem;

namespace {

struct Chosen {
    const StateEntry* entry;
    const ZipItem* item;
    const ZipArchive* zip;
    std::size_t position; // of the item in its archive's directory
    std::string target;
    bool replaces = false; // a file of that name exists: written aside, renamed over it
};

bool isChosen(const StateEntry& e, const CopyRequest& r, const std::string& projectName) {
    if (r.patterns.empty() && r.paths.empty()) return true;
    for (const std::string& p : r.paths)
        if (e.path == p) return true;
    for (const std::string& p : r.patterns)
        if (matchesItemPattern(e.path, p, projectName)) return true;
    return false;
}

// The archives a state reads from, each opened once: the state's own, as reading the state
// left it open, and a relative state's primary.
class Sources {
public:
    void adopt(const std::string& archive, std::unique_ptr<ZipArchive> zip) { m_sources[archive] = std::move(zip); }
    // The item, or nullptr when its archive lacks it; a failure when the archive can't be read.
    Result<const ZipItem*> find(const StateEntry& e, const ZipArchive*& zip, std::size_t& position) {
        Result<const ZipArchive*> opened = open(e.archive);
        if (!opened) return opened.failure();
        zip = opened.value();
        const int found = zip->findFile(e.path);
        if (found < 0 || zip->item(std::size_t(found)).fileName != e.path) return nullptr; // the name exactly
        position = std::size_t(found);
        return &zip->item(position);
    }

private:
    Result<const ZipArchive*> open(const std::string& archive) {
        auto& slot = m_sources[archive];
        if (!slot) {
            auto zip = std::make_unique<ZipArchive>();
            if (Result<void> opened = openStoredArchive(*zip, archive); !opened) return opened.failure();
            slot = std::move(zip);
        }
        return slot.get();
    }
    std::map<std::string, std::unique_ptr<ZipArchive>> m_sources;
};

bool isWithin(const fs::path& path, const fs::path& root) {
    auto p = path.begin(), r = root.begin();
    for (; r != root.end(); ++p, ++r)
        if (p == path.end() || *p != *r) return false;
    return true;
}

// An item path made of names only: joined to a folder, it needs no normalizing.
bool isPlainItemPath(std::string_view path) {
    for (std::string_view rest = path; !rest.empty();) {
        const std::size_t slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        if (part.empty() || part == "." || part == ".." || part.find_first_of("\\:") != std::string_view::npos)
            return false;
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    }
    return !path.empty();
}

// What a copy must never write into: the project's own files and the archive folder. The
// folder copied into is resolved, so a link that leads back into the project counts; below
// it no link is ever followed (linkOnTheWay), so an item's path is added as it is written.
// How the folder copied into lies to each of them is worked out once: every item lands in
// one that holds that folder, and only items under its path land in one below that folder.
class Protected {
public:
    Protected(const Project& project, const std::string& targetFolder) : m_target(resolved(targetFolder)) {
        m_roots.push_back(resolved(project.projectPath + project.projectName()));
        m_roots.push_back(resolved(project.archiveFolder));
        for (const fs::path& root : m_roots) {
            if (isWithin(m_target, root)) m_everything = true;
            else if (isWithin(root, m_target)) m_below.push_back(pathBelow(root, m_target));
        }
    }
    bool covers(const std::string& name) const {
        const std::string_view item = itemPath(name);
        if (!isPlainItemPath(item)) return coversAsNormalized(name);
        if (m_everything) return true;
        for (const std::string& below : m_below)
            if (item.substr(0, below.size()) == below && (item.size() == below.size() || item[below.size()] == '/'))
                return true;
        return false;
    }

private:
    static fs::path resolved(const std::string& path) {
        std::error_code ec;
        fs::path p = fs::weakly_canonical(fs::path(path), ec);
        p = ec ? fs::path(path).lexically_normal() : p.lexically_normal();
        return p.has_filename() || !p.has_relative_path() ? p : p.parent_path(); // no empty last part
    }
    // The parts of root that follow those of folder, joined as an item path joins them.
    static std::string pathBelow(const fs::path& root, const fs::path& folder) {
        std::string below;
        auto r = root.begin();
        for (auto f = folder.begin(); f != folder.end(); ++f) ++r;
        for (; r != root.end(); ++r) below += (below.empty() ? "" : "/") + r->string();
        return below;
    }
    bool coversAsNormalized(const std::string& name) const {
        const fs::path path = (m_target / withoutTrailingSlash(name)).lexically_normal();
        for (const fs::path& root : m_roots)
            if (isWithin(path, root)) return true;
        return false;
    }
    fs::path m_target;
    std::vector<fs::path> m_roots;
    bool m_everything = false;       // the folder copied into is in a root
    std::vector<std::string> m_below; // roots below it, as item paths
};

// What stands on the way to a target below the folder copied into. A symbolic link planted
// there would carry the copy, and with overwrite the replacement of files, to wherever it
// points (the folder given itself may be a link); a file where a folder is needed stops it.
// Folders found to be real folders are remembered, so each is asked about once per copy
// and a file costs one question about its own name; so are folders found missing, below
// which nothing needs asking (a copy into a new folder asks nothing per file).
class PathWalk {
public:
    explicit PathWalk(const std::string& targetFolder) : m_root(withoutTrailingSlash(targetFolder)) {}

    struct Finding {
        std::string link;       // the first link among the parts, the target included
        std::string notFolder;  // the first part above the target that is not a folder
        EntryKind target = EntryKind::None;
    };
    Finding inspect(const std::string& target) {
        Finding f;
        std::size_t from = m_root.size();
        while (from < target.size()) {
            std::size_t to = target.find('/', from + 1);
            if (to == std::string::npos) to = target.size();
            const std::string part = target.substr(0, to);
            from = to;
            const bool last = to == target.size();
            if (!last && m_folders.count(part)) continue;
            if (!last && m_missing.count(part)) return f;
            const EntryKind kind = entryKind(part);
            if (kind == EntryKind::Link) {
                f.link = part;
                return f;
            }
            if (last) {
                f.target = kind;
            } else if (kind == EntryKind::Folder) {
                m_folders.insert(part);
            } else {
                if (kind != EntryKind::None) f.notFolder = part;
                else m_missing.insert(part);
                return f; // nothing below a missing part exists yet
            }
        }
        return f;
    }
    void knowFolder(const std::string& folder) { m_folders.insert(folder); }
    bool isKnownFolder(const std::string& folder) const { return m_folders.count(folder) != 0; }

private:
    std::string m_root;
    std::unordered_set<std::string> m_folders, m_missing;
};

std::string linkRefusal(const std::string& link) {
    return link + " is a symbolic link; files are never copied through links. Remove it or choose "
                  "another folder.";
}

std::uint32_t permissionsOf(const ZipItem& item) {
    const std::uint32_t mode = item.unixMode() & 0777;
    return mode ? mode : 0644;
}

std::time_t timeOf(const ZipItem& item) {
    return item.modificationTime >= 0 ? std::time_t(item.modificationTime) : fromDosDateTime(item.dosTime);
}

// The folder that exists of path or, if it does not, of its parents: where the space and the
// name length of the file system are asked for.
std::string nearestFolder(std::string path) {
    while (!existsAsFolder(path)) {
        const std::string parent = withoutTrailingSlash(folderPart(withoutTrailingSlash(path)));
        if (parent.empty() || parent == path) break;
        path = parent;
    }
    return path;
}

std::string megabytes(std::uint64_t bytes) { return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MB"; }

// The checks of the folder copied into, item by item: nothing lands in the project or its
// archive folder or passes a link, and what exists there already is known.
std::string checkTargets(const Project& project, const CopyRequest& r, std::vector<Chosen>& chosen,
                         CopyResult& result) {
    const Protected guarded(project, r.targetFolder);
    PathWalk walk(r.targetFolder);
    for (Chosen& c : chosen) {
        if (guarded.covers(c.entry->path))
            return "The folder " + r.targetFolder + " would put " + c.entry->path +
                   " into the project or its archive folder; copy into a folder outside them.";
        const PathWalk::Finding found = walk.inspect(c.target);
        if (!found.link.empty()) return linkRefusal(found.link);
        if (!found.notFolder.empty()) return found.notFolder + " exists and is not a folder.";
        const EntryKind kind = found.target;
        if (kind == EntryKind::None) continue;
        if (c.entry->isFolder) {
            if (kind != EntryKind::Folder) return c.target + " exists and is not a folder.";
        } else if (kind == EntryKind::Folder) {
            return c.target + " is a folder.";
        } else {
            result.existing.push_back(c.target);
            c.replaces = true;
        }
    }
    if (!result.existing.empty() && !r.overwrite)
        return std::to_string(result.existing.size()) + " of the files exist already in " + r.targetFolder +
               ".";
    result.existing.clear();
    return {};
}

// Everything known before the first file is written: what the archives alone tell (shared
// with the restore), the folder copied into, and the space the files need there.
std::string checkBeforeWriting(const Project& project, const CopyRequest& r, std::vector<Chosen>& chosen,
                               std::uint64_t bytes, CopyResult& result) {
    std::vector<ItemToWrite> items;
    items.reserve(chosen.size());
    for (const Chosen& c : chosen) items.push_back({c.zip, c.item});
    const std::string existing = nearestFolder(withoutTrailingSlash(r.targetFolder));
    if (const std::string problem = extractionCheck(items, maxNameLength(existing)); !problem.empty())
        return "The state " + fileNamePart(r.archive) + " holds an item that can't be copied out safely: " + problem;
    if (std::string problem = checkTargets(project, r, chosen, result); !problem.empty()) return problem;
    const std::int64_t free = freeDiskSpace(existing);
    if (free >= 0 && bytes > std::uint64_t(free))
        return "The files need " + megabytes(bytes) + " of disk space; " + r.targetFolder + " has " +
               megabytes(std::uint64_t(free)) + " free.";
    return {};
}

// The folders an item needs, made as they are found missing, and remembered so that a copy
// that fails before any file is in place leaves no empty folders behind. A folder that exists
// is asked about once, just before the first file goes into it: a link there is refused. A
// folder this copy made was empty, so nothing in it needs asking.
class Folders {
public:
    explicit Folders(std::string targetFolder) : m_root(withoutTrailingSlash(targetFolder)), m_walk(m_root) {}
    std::string make(const std::string& folder) {
        if (folder.empty() || m_walk.isKnownFolder(folder)) return {};
        const std::string parent = withoutTrailingSlash(folderPart(folder));
        if (parent != folder)
            if (std::string problem = make(parent); !problem.empty()) return problem;
        const EntryKind kind = kindOf(folder, parent);
        if (kind == EntryKind::Link) return linkRefusal(folder);
        if (kind != EntryKind::Folder && kind != EntryKind::None) return folder + " exists and is not a folder.";
        if (kind == EntryKind::None) {
            if (!makeFolder(folder)) return "Can't create the folder " + folder + ": " + errorText(errno);
            m_made.push_back(folder);
            m_madeNames.insert(folder);
        }
        m_walk.knowFolder(folder);
        return {};
    }
    void removeMade() {
        for (auto it = m_made.rbegin(); it != m_made.rend(); ++it) removeEmptyFolder(*it);
        m_made.clear();
    }

private:
    EntryKind kindOf(const std::string& folder, const std::string& parent) const {
        if (m_madeNames.count(parent)) return EntryKind::None;
        if (folder.size() > m_root.size()) return entryKind(folder);
        return existsAsFolder(folder) ? EntryKind::Folder : EntryKind::None; // the folder given may itself be a link
    }
    std::string m_root;
    PathWalk m_walk;
    std::vector<std::string> m_made;
    std::unordered_set<std::string> m_madeNames;
};

// One file's data written and checked against its size and CRC as the kit reads it. Its
// folder was just made or found a real folder (Folders). A new file is created under its own
// name, exclusively, so a link or a file that appeared since the checks stops it rather than
// being written through; removing it undoes it. A file that replaces another is written
// aside and renamed over it only when every file has been written.
std::string writeAside(const Chosen& c, OutputFile& out) {
    const auto cant = [&c] { return "Can't write " + c.target + ": "; };
    const bool created = c.replaces ? out.createUnique(withoutTrailingSlash(folderPart(c.target)), ".kpad-copy-")
                                    : out.createInPlace(c.target);
    if (!created) return cant() + errorText(errno);
    std::string problem;
    const Result<void> read = readItemData(*c.zip, c.item->fileName, [&](const char* data, std::size_t n) {
        if (problem.empty() && !out.write(data, n)) problem = cant() + errorText(errno);
    });
    if (problem.empty() && !read) problem = read.failure().text;
    if (problem.empty() && !(out.setMode(permissionsOf(*c.item)) && out.setModificationTime(timeOf(*c.item)) && out.close()))
        problem = cant() + errorText(errno);
    return problem;
}

// The data of a run of files, read from their archive at once where it can be.
ZipReader::ReadAhead readAheadOf(const std::vector<const Chosen*>& files, const std::vector<std::size_t>& order,
                                 std::size_t first, std::size_t end) {
    std::array<std::string_view, 64> names;
    std::size_t n = 0;
    const ZipArchive* zip = files[order[first]]->zip;
    for (std::size_t k = first; k < end && n < names.size() && files[order[k]]->zip == zip; ++k)
        names[n++] = files[order[k]]->item->fileName;
    return zip->readAhead(names.data(), n);
}

// The order in which the files are written: as their items lie in their archives, so that
// a thread's run of files is read from its archive at once and mostly fills one folder. The
// archives go in the order the state first names them, the same in every run.
std::vector<std::size_t> writingOrder(const std::vector<const Chosen*>& files) {
    std::vector<const ZipArchive*> archives;
    std::vector<std::size_t> archiveRank(files.size());
    for (std::size_t k = 0; k < files.size(); ++k) {
        const auto known = std::find(archives.begin(), archives.end(), files[k]->zip);
        archiveRank[k] = std::size_t(known - archives.begin());
        if (known == archives.end()) archives.push_back(files[k]->zip);
    }
    std::vector<std::size_t> order(files.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return archiveRank[a] != archiveRank[b] ? archiveRank[a] < archiveRank[b]
                                                : files[a]->position < files[b]->position;
    });
    return order;
}

// The files are independent of one another, so both cores inflate and write them. Progress
// is told from the calling thread only (a window may be listening), as its own files finish.
// The first failure stops the others at their next file; of the files that failed, the first
// in the state's order is the one reported.
std::string writeAllAside(const std::vector<const Chosen*>& files, std::vector<OutputFile>& asides, CopyProgress figures,
                          const CopyProgressCallback& progress) {
    std::vector<std::string> problems(files.size());
    std::atomic<bool> failed{false};
    std::atomic<std::size_t> filesDone{0};
    std::atomic<std::uint64_t> bytesDone{0};
    const std::thread::id caller = std::this_thread::get_id();
    std::size_t reported = 0; // by the calling thread
    const unsigned threads = files.size() > 16 ? defaultWorkerCount() : 1; // a few files: not worth a thread
    constexpr std::size_t kFilesPerTurn = 32;
    const std::vector<std::size_t> order = writingOrder(files);
    runInTurns(files.size(), threads, kFilesPerTurn, [&](std::size_t first, std::size_t end) {
        const ZipReader::ReadAhead ahead = readAheadOf(files, order, first, end);
        for (std::size_t turn = first; turn < end && !failed; ++turn) {
            const std::size_t k = order[turn];
            problems[k] = writeAside(*files[k], asides[k]);
            if (!problems[k].empty()) {
                failed = true;
                return;
            }
            ++filesDone;
            bytesDone += files[k]->entry->size;
            if (progress && std::this_thread::get_id() == caller) {
                figures.filesDone = reported = filesDone;
                figures.bytesDone = bytesDone;
                progress(figures);
            }
        }
    });
    for (const std::string& problem : problems)
        if (!problem.empty()) return problem;
    if (progress && reported != filesDone) {
        figures.filesDone = filesDone;
        figures.bytesDone = bytesDone;
        progress(figures);
    }
    return {};
}

// What a copy that stopped after files were put in place adds to its reason: which they are.
std::string writtenSoFar(const std::vector<std::string>& written) {
    if (written.empty()) return " No file was written.";
    constexpr std::size_t kShown = 10;
    std::string text = " " + std::to_string(written.size()) + (written.size() == 1 ? " file was" : " files were") +
                       " written before it stopped:";
    for (std::size_t i = 0; i < written.size() && i < kShown; ++i) text += "\n  " + displayText(written[i]);
    if (written.size() > kShown) text += "\n  ..";
    return text;
}

std::string onlyFolders(const std::string& archive, const std::vector<Chosen>& chosen) {
    return "Only folders of the state " + fileNamePart(archive) + " match, no file (such as " +
           displayText(chosen.front().entry->path) + "); a folder's files are chosen with a pattern such as " +
           "docs/*.";
}

} // namespace

CopyResult copyFilesOut(const Project& project, const CopyRequest& r, const CopyProgressCallback& progress) {
    CopyResult result;
    const auto refuse = [&](FailureKind kind, std::string text) {
        result.failure = Failure{kind, std::move(text), r.archive};
        return result;
    };
    if (!isAbsolutePath(r.targetFolder))
        return refuse(FailureKind::Refused, "The folder to copy into must be given as a full path.");
    if (findState(project, r.archive) != r.archive)
        return refuse(FailureKind::Refused, "The archive " + r.archive + " is not a stored state of the project " +
                                                 project.projectName() + ".");
    auto stateArchive = std::make_unique<ZipArchive>();
    const Result<ProjectState> load = readStoredState(project, r.archive, *stateArchive);
    if (!load) {
        result.failure = load.failure();
        return result;
    }
    Sources sources;
    sources.adopt(r.archive, std::move(stateArchive));
    std::vector<Chosen> chosen;
    CopyProgress figures;
    for (const StateEntry& e : load.value().entries) {
        if (!isChosen(e, r, project.projectName())) continue;
        Chosen c{&e, nullptr, nullptr, 0, joinPath(withoutTrailingSlash(r.targetFolder), withoutTrailingSlash(e.path))};
        const Result<const ZipItem*> found = sources.find(e, c.zip, c.position);
        if (!found) {
            result.failure = found.failure();
            return result;
        }
        c.item = found.value();
        if (!c.item) continue;
        chosen.push_back(c);
        if (!e.isFolder) {
            ++figures.files;
            figures.bytes += e.size;
        }
    }
    if (chosen.empty()) return refuse(FailureKind::Refused, "No file of the state " + fileNamePart(r.archive) + " matches.");
    if (figures.files == 0) return refuse(FailureKind::Refused, onlyFolders(r.archive, chosen));
    if (std::string problem = checkBeforeWriting(project, r, chosen, figures.bytes, result); !problem.empty())
        return refuse(FailureKind::Refused, std::move(problem));

    // Every file is written aside first, so that damaged data or a full disk found on the
    // way leaves the folder as it was; only then are they put in place.
    Folders folders(r.targetFolder);
    std::vector<const Chosen*> files;
    files.reserve(figures.files);
    for (const Chosen& c : chosen) {
        if (std::string problem = folders.make(c.entry->isFolder ? c.target : withoutTrailingSlash(folderPart(c.target)));
            !problem.empty()) {
            folders.removeMade();
            return refuse(FailureKind::WriteFailed, problem + writtenSoFar(result.written));
        }
        if (!c.entry->isFolder) files.push_back(&c);
    }
    std::vector<OutputFile> asides(files.size());
    if (std::string problem = writeAllAside(files, asides, figures, progress); !problem.empty()) {
        asides.clear();
        folders.removeMade();
        return refuse(FailureKind::WriteFailed, problem + writtenSoFar(result.written));
    }
    auto aside = asides.begin();
    for (const Chosen* file : files) {
        const Chosen& c = *file;
        OutputFile& out = *aside++;
        if (!out.commit(c.target, false))
            return refuse(FailureKind::WriteFailed,
                          "Can't write " + c.target + ": " + errorText(errno) + writtenSoFar(result.written));
        result.written.push_back(c.target);
    }
    // Folder times last, deepest first, since writing into a folder changes its time.
    for (auto it = chosen.rbegin(); it != chosen.rend(); ++it)
        if (it->entry->isFolder) setModificationTime(it->target, fromDosDateTime(it->item->dosTime));
    return result;
}

} // namespace kp
