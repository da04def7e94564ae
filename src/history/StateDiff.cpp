#include "history/StateDiff.h"

#include "zip/KitResult.h"

namespace kp {

namespace {

// The CRC of an entry: stored items carry it, a present file is read for it. Nothing when
// the file cannot be read.
bool crcOf(const StateEntry& e, const std::string& folder, std::uint32_t& crc) {
    if (e.hasCrc) {
        crc = e.crc32;
        return true;
    }
    if (folder.empty()) return false;
    const Result<std::uint32_t> computed = fileCrc32(folder + e.path);
    if (computed) crc = computed.value();
    return computed.ok();
}

bool isModified(const StateEntry& a, const ProjectState& from, const StateEntry& b, const ProjectState& to) {
    if (a.isFolder) return false; // a folder's time follows its contents, which are compared one by one
    if (a.size != b.size) return true;
    if (a.hasCrc && b.hasCrc) return a.crc32 != b.crc32;
    if (a.dosTime == b.dosTime) return false; // unchanged as a run takes it
    // A present file touched since: only its content can tell.
    std::uint32_t crcA = 0, crcB = 0;
    if (!crcOf(a, from.folder, crcA) || !crcOf(b, to.folder, crcB)) return true;
    return crcA != crcB;
}

StateChange changeOf(ChangeKind kind, const StateEntry* older, const StateEntry* newer) {
    StateChange c;
    c.kind = kind;
    c.path = (newer ? newer : older)->path;
    c.isFolder = (newer ? newer : older)->isFolder;
    c.oldSize = older ? older->size : 0;
    c.newSize = newer ? newer->size : 0;
    return c;
}

} // namespace

std::vector<StateChange> compareStates(const ProjectState& from, const ProjectState& to) {
    std::vector<StateChange> changes;
    auto a = from.entries.begin(), b = to.entries.begin();
    while (a != from.entries.end() || b != to.entries.end()) {
        if (b == to.entries.end() || (a != from.entries.end() && a->path < b->path)) {
            changes.push_back(changeOf(ChangeKind::Deleted, &*a++, nullptr));
        } else if (a == from.entries.end() || b->path < a->path) {
            changes.push_back(changeOf(ChangeKind::Added, nullptr, &*b++));
        } else {
            if (isModified(*a, from, *b, to)) changes.push_back(changeOf(ChangeKind::Modified, &*a, &*b));
            ++a;
            ++b;
        }
    }
    return changes;
}

StateDiff diffWithPresent(const Project& project, const std::string& archive) {
    const Result<ProjectState> stored = readStoredState(project, archive);
    if (!stored) return stored.failure();
    return compareStates(stored.value(), presentState(project));
}

StateDiff diffBetween(const Project& project, const std::string& fromArchive, const std::string& toArchive) {
    const Result<ProjectState> from = readStoredState(project, fromArchive);
    if (!from) return from.failure();
    const Result<ProjectState> to = readStoredState(project, toArchive);
    if (!to) return to.failure();
    return compareStates(from.value(), to.value());
}

DiffSummary summarize(const std::vector<StateChange>& changes) {
    DiffSummary s;
    for (const StateChange& c : changes) {
        switch (c.kind) {
        case ChangeKind::Added:
            ++s.added;
            s.addedBytes += c.newSize;
            break;
        case ChangeKind::Deleted:
            ++s.deleted;
            s.deletedBytes += c.oldSize;
            break;
        case ChangeKind::Modified:
            ++s.modified;
            s.modifiedDelta += std::int64_t(c.newSize) - std::int64_t(c.oldSize);
            break;
        }
    }
    return s;
}

} // namespace kp
