#include "zip/ZipItem.h"

#include "zip/ZipFormat.h"

namespace kp {

bool ZipItem::isFolder() const {
    return (!fileName.empty() && fileName.back() == '/') || (externalAttributes & zipformat::kDosFolder);
}

bool ZipItem::hasUnixMode() const {
    return host == kHostUnix && (externalAttributes >> 16) != 0;
}

std::uint32_t ZipItem::unixMode() const {
    return host == kHostUnix ? (externalAttributes >> 16) & 07777u : 0;
}

bool ZipItem::isSymbolicLink() const {
    return host == kHostUnix && ((externalAttributes >> 16) & zipformat::kUnixTypeMask) == zipformat::kUnixLink;
}

} // namespace kp
