// Where a new archive's bytes go. The writer sees only this interface, so a test can put a
// sink in between that fails the k-th write, the flush or the rename, the way a full disk would.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/OutputFile.h"

namespace kp {

// A failed sink operation: what was being done and the errno that stopped it.
class SinkError : public std::runtime_error {
public:
    SinkError(std::string operation, int err);
    const std::string& operation() const { return m_operation; }
    int errorNumber() const { return m_err; }

private:
    std::string m_operation;
    int m_err;
};

class OutputSink {
public:
    virtual ~OutputSink() = default;
    virtual void write(const void* data, std::size_t n) = 0;
    // Rewrites bytes already written (a local header whose sizes were unknown at first).
    virtual void writeAt(std::uint64_t offset, const void* data, std::size_t n) = 0;
    // Drops everything from size on; writing goes on from there.
    virtual void truncate(std::uint64_t size) = 0;
    virtual std::uint64_t position() const = 0;
    // Everything written so far is in the file, for a reader of it to see (no fsync).
    virtual void drain() = 0;
    // Everything written is on the disk (fsync).
    virtual void flush() = 0;
    // Closes the file and renames it to finalPath, then makes the rename durable.
    virtual void commit(const std::string& finalPath) = 0;
    // Gives up: the file is removed. Never throws.
    virtual void discard() noexcept = 0;
};

using SinkFactory = std::function<std::unique_ptr<OutputSink>(const std::string& path)>;

// The real sink: a new file at path (a stale one is removed first), written through a buffer.
// A sink that is never committed leaves nothing behind, however the save ended.
class FileSink final : public OutputSink {
public:
    explicit FileSink(const std::string& path);
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;

    void write(const void* data, std::size_t n) override;
    void writeAt(std::uint64_t offset, const void* data, std::size_t n) override;
    void truncate(std::uint64_t size) override;
    std::uint64_t position() const override { return m_written + m_buffer.size(); }
    void drain() override;
    void flush() override;
    void commit(const std::string& finalPath) override;
    void discard() noexcept override;

private:
    void startWriteback();

    OutputFile m_file;
    std::uint64_t m_written = 0;
    std::uint64_t m_writebackFrom = 0; // bytes before this are on their way to the disk
    std::string m_buffer;
};

std::unique_ptr<OutputSink> makeFileSink(const std::string& path);

} // namespace kp
