#include "store/ProjectListing.h"


#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "store/IgnoreRules.h"
#include "store/Layout.h"

namespace kp {

namespace {

std::function<int(const std::string&)>& folderFault() {
    static std::function<int(const std::string&)> fault;
    return fault;
}

struct FolderId {
    std::uint64_t device;
    std::uint64_t inode;
};

struct Scanner {
    ProjectListing& list;
    const ScanOptions& options;
    std::vector<std::string> excludedLower;
    std::vector<FolderId> ancestors; // the folders being listed, to enter a link loop only once
    std::size_t topLength = 0;       // length of the listed folder's path, for relative paths

    // The ignore file's rules speak of paths relative to the project's folder.
    bool isIgnored(const std::string& path, bool isFolder) const {
        if (!options.ignore || options.ignore->empty()) return false;
        const IgnoreRule* rule = options.ignore->match(std::string_view(path).substr(topLength), isFolder);
        if (!rule) return false;
        if (options.ignored) options.ignored->push_back({path, rule});
        return true;
    }

    bool isExcluded(const std::string& name) const {
        const std::string lower = lowerUtf8(name);
        for (const auto& e : excludedLower)
            if (e == lower) return true;
        return false;
    }

    bool isAncestor(const FileInfo& fi) const {
        for (const auto& a : ancestors)
            if (a.device == fi.device && a.inode == fi.inode) return true;
        return false;
    }

    bool matches(const std::string& name) const {
        if (options.literalMask) return name == options.mask;
        return options.mask.empty() || options.mask == "*" || wildcardMatch(options.mask, name);
    }

    static ListingEntry entryFor(const std::string& path, const FileInfo& fi) {
        ListingEntry e;
        e.path = path;
        e.isFolder = fi.isFolder;
        e.dosTime = fi.dosTime;
        e.size = fi.size;
        e.attributes = fi.attributes;
        e.mode = fi.mode;
        e.mtime = fi.modificationTime;
        return e;
    }

    void unreadable(const std::string& path, int error) const {
        if (options.unreadable) options.unreadable->push_back({path, error});
    }

    static int openError(const FolderHandle& handle, const std::string& path) {
        if (folderFault())
            if (const int err = folderFault()(path)) return err;
        return handle.error();
    }

    // Extraction writes each file aside under this name and renames it into place; one left
    // by a killed restore is no file of the project.
    static bool isExtractionTemporary(const FileInfo& fi) {
        return !fi.isFolder && fi.name.starts_with(kExtractionTemporaryPrefix);
    }

    // Subfolders are opened relative to their parent, so paths of any length are listed.
    void scan(const FolderHandle& handle, const std::string& folder) {
        std::vector<ReadFailure> failures;
        const std::vector<FileInfo> entries = handle.list(failures);
        for (const ReadFailure& f : failures)
            if (f.name.empty() || matches(f.name)) unreadable(f.name.empty() ? folder : folder + f.name, f.error);
        for (const FileInfo& fi : entries) {
            if (options.onEntry) options.onEntry();
            if (isExtractionTemporary(fi)) {
                if (options.extractionTemporaries) options.extractionTemporaries->push_back(folder + fi.name);
                continue;
            }
            if (!matches(fi.name)) continue;
            if (fi.isFolder) {
                if (isExcluded(fi.name)) continue;
                const std::string path = folder + fi.name + "/";
                if (isIgnored(path, true)) continue;
                list.push_back(entryFor(path, fi));
                if (isAncestor(fi)) continue; // a link back up: listed, not entered again
                const FolderHandle child(handle, fi.name);
                if (const int err = openError(child, path)) {
                    unreadable(path, err);
                    continue;
                }
                ancestors.push_back({fi.device, fi.inode});
                scan(child, path);
                ancestors.pop_back();
            } else {
                if (isIgnored(folder + fi.name, false)) continue;
                list.push_back(entryFor(folder + fi.name, fi));
            }
        }
    }
};

} // namespace

std::string listingValue(const ListingEntry& e) {
    if (e.isDriveRoot) return "a:drive";
    if (!e.hasValue) return {};
    return "t:" + std::to_string(e.dosTime) + ",s:" + std::to_string(e.size) + ",a:" + std::to_string(e.attributes);
}

std::string listingLine(const ListingEntry& e) { return e.path + "\t" + listingValue(e); }

void ScanProject(ProjectListing& list, const std::string& folderIn, const ScanOptions& options) {
    const std::string folder = folderIn.empty() || folderIn.back() != '/' ? folderIn + "/" : folderIn;
    Scanner scanner{list, options, {}, {}, folder.size()};
    for (const auto& e : options.excluded) scanner.excludedLower.push_back(lowerUtf8(e));

    const auto self = statPath(folder);
    if (list.empty()) {
        ListingEntry first;
        first.path = folder;
        first.isFolder = true;
        if (isDriveRoot(folder)) {
            first.isDriveRoot = true;
        } else if (self) {
            first = Scanner::entryFor(folder, *self);
        } else {
            first.hasValue = false;
        }
        list.push_back(first);
    }
    if (self) scanner.ancestors.push_back({self->device, self->inode});
    const FolderHandle handle(folder);
    if (const int err = Scanner::openError(handle, folder)) {
        scanner.unreadable(folder, err);
        return;
    }
    scanner.scan(handle, folder);
}

void setFolderFaultForTesting(std::function<int(const std::string& folder)> fault) {
    folderFault() = std::move(fault);
}

} // namespace kp
