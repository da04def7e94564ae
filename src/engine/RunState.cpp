#include "engine/RunState.h"

#include "store/ArchiveNaming.h"

namespace kp {

bool stillTheSameFile(const std::optional<FileInfo>& before, const std::string& path) {
    const std::optional<FileInfo> now = statPath(path);
    return before && now && !now->isFolder && now->device == before->device && now->inode == before->inode &&
           now->size == before->size && now->modificationTime == before->modificationTime;
}

std::string cardDateLabel(const RunState& s) {
    if (s.storeRequested) return stampAndSuffix(s.newArchiveName, s.datePos);
    if (s.projectUnchanged) return msg::kSameProject;
    return msg::kCanceled;
}

std::string cardStatusLabel(const RunState& s) {
    const int status = s.values.projectStatus;
    return std::string("[ ") + kStatusNames[status >= 0 && status <= 3 ? status : 0] + " ]";
}

} // namespace kp
