#include "support/TempDir.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#ifdef _WIN32
#include <atomic>
#include <process.h>

#include "platform/FileSystem.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#endif

namespace kp::test {

#ifdef _WIN32
// On Windows the folders are made and removed through the program's own calls, which reach
// paths of any length ("\\?\"): std::filesystem stops at MAX_PATH under MinGW.
namespace {

void removeTree(const std::string& path) {
    if (entryKind(path) == EntryKind::Folder)
        for (const std::string& name : entryNames(path)) removeTree(joinPath(path, name));
    setPermissions(path, 0644);
    if (!removeFile(path)) removeEmptyFolder(path);
}

} // namespace

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    const std::string base = withoutTrailingSlash(portablePath(std::filesystem::temp_directory_path().string()));
    m_path = base + "/kptest-" + std::to_string(_getpid()) + "-" + std::to_string(counter++);
    removeTree(m_path);
    if (!makeFolders(m_path)) throw std::runtime_error("cannot make " + m_path);
}

TempDir::~TempDir() { removeTree(m_path); }

std::string TempDir::write(const std::string& rel, const std::string& content) const {
    const std::string p = *this / rel;
    makeFolders(withoutTrailingSlash(folderPart(p)));
    if (!writeFileAtomically(p, content)) throw std::runtime_error("cannot write " + p);
    return p;
}

std::string TempDir::mkdir(const std::string& rel) const {
    const std::string p = *this / rel;
    makeFolders(p);
    return p;
}

std::string readFile(const std::string& path) {
    std::string text;
    kp::readWholeFile(path, text);
    return text;
}

int run(const std::string& command, std::string* out) {
    FILE* pipe = _popen(command.c_str(), "r");
    if (!pipe) return -1;
    std::string text;
    char buf[4096];
    while (std::size_t n = fread(buf, 1, sizeof buf, pipe)) text.append(buf, n);
    const int status = _pclose(pipe);
    if (out) *out = text;
    return status;
}

void touch(const std::string& path, long long epochSeconds) { kp::setModificationTime(path, std::time_t(epochSeconds)); }

#else
TempDir::TempDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "kptest-XXXXXX").string();
    if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
    m_path = templ;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Restore write permission first, so tests that made folders read-only clean up too.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec)) ::chmod(it->path().c_str(), 0755);
    }
    std::filesystem::remove_all(m_path, ec);
}

std::string TempDir::write(const std::string& rel, const std::string& content) const {
    const std::filesystem::path p = std::filesystem::path(m_path) / rel;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
    return p.string();
}

std::string TempDir::mkdir(const std::string& rel) const {
    const std::filesystem::path p = std::filesystem::path(m_path) / rel;
    std::filesystem::create_directories(p);
    return p.string();
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string clockAt(const std::string& when) {
    return "LD_PRELOAD=/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1 FAKETIME='@" + when + "'";
}

int run(const std::string& command, std::string* out) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    std::string text;
    char buf[4096];
    while (std::size_t n = fread(buf, 1, sizeof buf, pipe)) text.append(buf, n);
    const int status = pclose(pipe);
    if (out) *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void touch(const std::string& path, long long epochSeconds) {
    const timespec times[2] = {{epochSeconds, 0}, {epochSeconds, 0}};
    utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

#endif

} // namespace kp::test
