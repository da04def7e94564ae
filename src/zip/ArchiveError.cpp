#include "zip/ArchiveError.h"

namespace kp {

void throwArchiveError(const std::string& archive, const std::string& what) {
    throw ArchiveError("Archive " + archive + ": " + what);
}

void throwItemError(const std::string& archive, const std::string& item, const std::string& what) {
    // Control characters in a hostile name must not garble (or cut short) the message.
    std::string shown = item;
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    throw ArchiveError("Archive " + archive + ", item \"" + shown + "\": " + what);
}

} // namespace kp
