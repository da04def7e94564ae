// libFuzzer target for the archive reader: any bytes at all must give either a listing whose
// items stream (or fail) cleanly, or an ArchiveError; never a crash, a hang or a huge allocation.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "zip/ArchiveError.h"
#include "zip/ItemNames.h"
#include "zip/ZipReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto source = std::make_shared<kp::MemorySource>(std::string(reinterpret_cast<const char*>(data), size));
    try {
        const kp::ZipReader reader(source, "fuzz.zip");
        for (const auto& entry : reader.entries()) {
            (void)kp::extractionProblem(entry.item);
            (void)kp::matchesMask(entry.item.fileName, "_kpad_/*");
            // The name the reader decided on is the one every caller sees: never a control character.
            if (!kp::nameCharacterProblem(entry.item.fileName).empty()) __builtin_trap();
            std::uint64_t total = 0;
            bool read = false;
            try {
                reader.readItem(entry, [&](const char*, std::size_t n) { total += n; });
                read = true;
            } catch (const kp::ArchiveError&) {
            }
            if (total > entry.item.uncompressedSize) __builtin_trap(); // the size check must hold
            if (read && !entry.localHeaderProblem().empty()) __builtin_trap(); // nor the local header's
        }
    } catch (const kp::ArchiveError&) {
    }
    return 0;
}
