// Reading a file the program did not write: a project file to store or checksum, an archive
// to list. Only regular files are opened: a FIFO, device or folder found where a file was
// listed is refused at once instead of blocking the run.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace kp {

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
    bool isOpen() const;
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
    // Reads on from the current position, up to n bytes: the count read, 0 at the end of the
    // file, -1 on a read error (errno set).
    std::ptrdiff_t read(void* buffer, std::size_t n);

private:
#ifdef _WIN32
    void* m_fd = nullptr; // a HANDLE
#else
    int m_fd = -1;
#endif
    std::uint32_t m_dosAttributes = 0;
    std::uint64_t m_size = 0;
    std::uint32_t m_mode = 0;
    std::int64_t m_mtime = 0;
};

} // namespace kp
