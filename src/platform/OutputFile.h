// A file written aside and renamed into place only when it is complete, so that its final
// name never shows a partial file: a new archive under its ".tmp" twin, an extracted file
// under a unique hidden name beside its target. A file that is never committed is removed.
#pragma once
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

namespace kp {

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile(); // discards an uncommitted file
    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&& other) noexcept;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Each returns false, with errno set, on failure.

    // Creates asidePath as a new file. A stale file of that name (left by an interrupted run)
    // is removed first rather than written through: it could be a link pointing anywhere.
    bool create(const std::string& asidePath);
    // Creates a new file with a unique name, beginning with prefix, in folder.
    bool createUnique(const std::string& folder, const std::string& prefix);
    // Creates the file under its final name where nothing has that name yet (errno EEXIST
    // otherwise, a link included): there is no earlier file to keep whole, so the file is
    // not renamed into place, and discard() removes it. commit() takes that same name.
    bool createInPlace(const std::string& path);
    const std::string& path() const { return m_path; }

    bool write(const void* data, std::size_t n);
    // Rewrites bytes already written; the write position stays where it was.
    bool writeAt(std::uint64_t offset, const void* data, std::size_t n);
    // Drops everything from size on; writing goes on from there.
    bool truncate(std::uint64_t size);
    bool setMode(std::uint32_t mode); // permission bits
    bool setModificationTime(std::time_t t);
    // Asks the system to start writing the given range to the disk now, without waiting, so
    // that the final flush has less left to wait for. Only a hint: never fails.
    void startWriteback(std::uint64_t offset, std::uint64_t length);
    // Everything written so far is on the disk (fsync).
    bool flush();
    // Closes the file; writing is over.
    bool close();
    // Closes the file if still open and renames it to finalPath. With durable, the folder is synced
    // afterwards, so that the rename survives a power cut too. On failure the aside file
    // is left for discard() (or the destructor) to remove.
    bool commit(const std::string& finalPath, bool durable);
    // Gives up: the aside file is closed and removed. Never fails.
    void discard() noexcept;

private:
#ifdef _WIN32
    using NativeFile = void*; // a HANDLE
    static constexpr NativeFile kNoFile = nullptr;
#else
    using NativeFile = int;
    static constexpr NativeFile kNoFile = -1;
#endif
    bool adopt(NativeFile fd, std::string path);

    NativeFile m_fd = kNoFile;
    std::string m_path;
    bool m_pending = false; // an aside file exists that is not committed
};

} // namespace kp
