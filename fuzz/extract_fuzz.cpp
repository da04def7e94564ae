// libFuzzer target for writing a state's files out of an archive: the input is the archive of
// a project's only state. It is copied out (kpad extract) and extracted whole (as a restore
// extracts) into fresh folders; whatever it holds, nothing may appear anywhere else, no link
// may be made, and nothing may crash or take unbounded memory (libFuzzer's -rss_limit_mb).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "history/CopyOut.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "store/Layout.h"
#include "store/Trains.h"
#include "zip/ZipArchive.h"

namespace {

constexpr const char* kArchive = "Site-101203.1530c.zip";

void check(bool ok) {
    if (!ok) __builtin_trap();
}

void removeBelow(int folder);

const std::string& parent() {
    static const std::string path = [] {
        // In memory where there is such a file system: every save is flushed to the disk.
        char inMemory[] = "/dev/shm/kp-extract-fuzz-XXXXXX";
        char onDisk[] = "/tmp/kp-extract-fuzz-XXXXXX";
        char* folder = ::mkdtemp(inMemory);
        if (!folder) folder = ::mkdtemp(onDisk);
        if (!folder) std::abort();
        // Removed at exit through a copy of its name that outlives the static strings.
        static char made[sizeof onDisk + 8];
        std::snprintf(made, sizeof made, "%s", folder);
        std::atexit([] {
            removeBelow(::open(made, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            ::rmdir(made);
        });
        return std::string(folder);
    }();
    return path;
}

// Calls visit(path relative to the parent, is a link) for everything below folder, through
// descriptors, so that paths of any length are reached; links are never followed.
template <typename Visit>
void walk(int folder, const std::string& relative, Visit& visit) {
    DIR* dir = ::fdopendir(folder);
    check(dir != nullptr);
    while (dirent* e = ::readdir(dir)) {
        if (!std::strcmp(e->d_name, ".") || !std::strcmp(e->d_name, "..")) continue;
        const std::string path = relative + e->d_name;
        struct stat st;
        check(::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0);
        visit(path, S_ISLNK(st.st_mode));
        if (S_ISDIR(st.st_mode)) {
            const int sub = ::openat(::dirfd(dir), e->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            check(sub >= 0);
            walk(sub, path + "/", visit);
        }
    }
    ::closedir(dir);
}

void removeBelow(int folder) {
    DIR* dir = ::fdopendir(folder);
    check(dir != nullptr);
    while (dirent* e = ::readdir(dir)) {
        if (!std::strcmp(e->d_name, ".") || !std::strcmp(e->d_name, "..")) continue;
        struct stat st;
        check(::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0);
        if (S_ISDIR(st.st_mode)) {
            ::fchmodat(::dirfd(dir), e->d_name, 0700, 0); // a folder stored read-only
            const int sub = ::openat(::dirfd(dir), e->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            check(sub >= 0);
            removeBelow(sub);
        }
        check(::unlinkat(::dirfd(dir), e->d_name, S_ISDIR(st.st_mode) ? AT_REMOVEDIR : 0) == 0);
    }
    ::closedir(dir);
}

int openParent() {
    const int fd = ::open(parent().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    check(fd >= 0);
    return fd;
}

kp::Project projectHolding(const std::string& bytes) {
    kp::Project project;
    project.projectKind = kp::ProjectKind::Folder;
    project.projectPath = parent() + "/project/";
    project.projectBaseName = "Site";
    project.archiveFolder = project.projectPath + "Site/" + kp::kArchiveFolderName;
    check(kp::makeFolders(project.archiveFolder) &&
          kp::writeFileAtomically(project.archiveFolder + "/" + kArchive, bytes));
    project.archives = kp::FindArchives(project.archiveFolder, kp::kRepositoryName, "Site", kp::FixedClock(1294000000));
    return project;
}

bool allowed(const std::string& path) {
    static const std::string archiveFolder = std::string("project/Site/") + kp::kArchiveFolderName;
    if (path.starts_with("out/") || path.starts_with("raw/") || path == "out" || path == "raw") return true;
    return path == "project" || path == "project/Site" || path == archiveFolder ||
           path == archiveFolder + "/" + kArchive;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const kp::Project project = projectHolding(std::string(reinterpret_cast<const char*>(data), size));
    const std::string archive = project.archiveFolder + "/" + kArchive;

    (void)kp::copyFilesOut(project, kp::CopyRequest{archive, {}, {}, parent() + "/out", false});
    try {
        kp::ZipArchive zip;
        zip.open(archive);
        check(kp::makeFolder(parent() + "/raw"));
        zip.setBaseDirectory(parent() + "/raw");
        zip.extractFilesEx("*", "");
    } catch (const std::exception&) {
    }

    auto visit = [](const std::string& path, bool isLink) {
        if (isLink || !allowed(path)) {
            std::fprintf(stderr, "written outside the target folders, or a link: %s\n", path.c_str());
            __builtin_trap();
        }
    };
    walk(openParent(), "", visit);
    removeBelow(openParent());
    return 0;
}
