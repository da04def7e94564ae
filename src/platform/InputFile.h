// Reading a file the program did not write: a project file to store or checksum, an archive
// to list. Only regular files are opened: a FIFO, device or folder found where a file was
// listed is refused at once instead of blocking the run.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace kp {

// The folder of the last file opened through it, kept open, so that files read one after the
// other in the same folder (as a listing orders them) are opened by their own name instead of
// the system walking down the whole path for each. One per thread; on Windows it keeps nothing.
class FolderCursor {
public:
    FolderCursor() = default;
    ~FolderCursor();
    FolderCursor(const FolderCursor&) = delete;
    FolderCursor& operator=(const FolderCursor&) = delete;

private:
    friend class InputFile;
    void close();
    std::string m_folder;
    int m_fd = -1;
};

class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(InputFile&& other) noexcept;
    InputFile& operator=(InputFile&& other) noexcept;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Opens path read-only. False, with errno set, when it cannot be opened or is not a
    // regular file (EISDIR for a folder, EINVAL for anything else).
    bool open(const std::string& path);
    // Opens path read-only for a caller that knows the file's size, mode and time from a
    // listing made moments ago, so they are not asked for again (on Linux one system call less
    // per file, which is much of the cost of a small file; Windows learns them with the handle).
    // Nothing but a regular file is expected: a FIFO reads as empty (never blocks), a folder
    // fails to read, anything else shows by a size unlike the one the caller knows.
    bool openListed(const std::string& path);
    bool openListed(const std::string& path, FolderCursor& folder);
    bool isOpen() const;
    // Whether size(), mode(), the time and the attributes are the file's: false after
    // openListed where it did not ask for them.
    bool knowsFacts() const { return m_knowsFacts; }
    // Whether what is open is a regular file, asking the system where openListed did not: an
    // empty read from a FIFO looks like an empty file.
    bool isRegularFile() const;
    void close();

    // As found when the file was opened.
    std::uint64_t size() const { return m_size; }
    std::uint32_t mode() const { return m_mode; }             // permission and special bits
    std::int64_t modificationTime() const { return m_mtime; } // UTC seconds
    // The Windows attributes read-only, hidden, system and archive (the low byte of a ZIP
    // item's external attributes); 0 on POSIX, which has none of them.
    std::uint32_t dosAttributes() const { return m_dosAttributes; }

    // Reads exactly n bytes at offset. False when they are not all there (errno 0: the file
    // ends early) or on a read error (errno set). Safe to call from several threads at once.
    bool readAt(std::uint64_t offset, void* buffer, std::size_t n) const;
    // Reads up to n bytes at offset in one call: the count read, 0 at the end of the file, -1
    // on a read error (errno set). Safe to call from several threads at once.
    std::ptrdiff_t readUpTo(std::uint64_t offset, void* buffer, std::size_t n) const;
    // Reads on from the current position, up to n bytes: the count read, 0 at the end of the
    // file, -1 on a read error (errno set).
    std::ptrdiff_t read(void* buffer, std::size_t n);

private:
    bool takeListed(int fd); // POSIX: fd from a listed open, or -1
#ifdef _WIN32
    void* m_fd = nullptr; // a HANDLE
#else
    int m_fd = -1;
#endif
    std::uint32_t m_dosAttributes = 0;
    std::uint64_t m_size = 0;
    std::uint32_t m_mode = 0;
    std::int64_t m_mtime = 0;
    bool m_knowsFacts = false;
};

} // namespace kp
