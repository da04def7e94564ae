// Random access to the bytes of an archive: a file for the program, memory for the fuzzer.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/InputFile.h"

namespace kp {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t size() const = 0;
    // Reads exactly n bytes at offset; false when they are not all there (or on a read error,
    // with errno set). Safe to call from several threads at once.
    virtual bool readAt(std::uint64_t offset, void* buffer, std::size_t n) const = 0;
};

class FileSource final : public ByteSource {
public:
    // Throws std::system_error when the file cannot be opened.
    explicit FileSource(const std::string& path);

    std::uint64_t size() const override { return m_file.size(); }
    bool readAt(std::uint64_t offset, void* buffer, std::size_t n) const override;

private:
    InputFile m_file;
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::string bytes) : m_bytes(std::move(bytes)) {}
    std::uint64_t size() const override { return m_bytes.size(); }
    bool readAt(std::uint64_t offset, void* buffer, std::size_t n) const override;

private:
    std::string m_bytes;
};

} // namespace kp
