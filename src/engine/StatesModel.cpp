#include "engine/StatesModel.h"

#include <algorithm>

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "store/ArchiveNaming.h"
#include "store/Messages.h"
#include "zip/KitResult.h"

namespace kp {

std::vector<std::string> StatesModel::items() const {
    const std::vector<std::string>& list = shown();
    if (list.empty()) return {msg::kNoCommentFiles};
    std::vector<std::string> lines;
    lines.reserve(list.size());
    for (auto it = list.rbegin(); it != list.rend(); ++it) lines.push_back(fileNamePart(*it));
    return lines;
}

int StatesModel::rowAfterKey(int row, ListKey key) const {
    const int last = std::max(int(shown().size()) - 1, 0);
    if (key == ListKey::Up) row -= 1;
    if (key == ListKey::Down) row += 1;
    return std::clamp(row, 0, last);
}

int StatesModel::rowForPress(int rowAtPoint) const {
    if (empty()) return 0;
    if (rowAtPoint < 0 || rowAtPoint >= int(shown().size())) return int(shown().size()) - 1;
    return rowAtPoint;
}

std::string StatesModel::archiveAt(int row) const {
    const std::vector<std::string>& list = shown();
    if (row < 0 || row >= int(list.size())) return {};
    return list[list.size() - 1 - std::size_t(row)];
}

StateView StatesModel::view(int row) const {
    StateView v;
    v.archive = archiveAt(row);
    if (v.archive.empty()) {
        v.folderText = "Path: ";
        v.position = "0";
        return v;
    }
    // The lists hold the names as the folder listing spelt them, which is how the file
    // system spells them: there are no short aliases to expand.
    const std::string folder = folderPart(v.archive);
    v.folderText = ShortenCaption(folder, kFolderWidth);
    if (utf8Length(folder) > std::size_t(kFolderWidth)) v.folderHint = folder;
    v.position = std::to_string(row + 1);
    return v;
}

StateComment StatesModel::readComment(const std::string& archive) {
    StateComment c;
    if (!existsAsFile(archive)) {
        c.status = StateComment::Status::Missing;
        return c;
    }
    const Result<std::string> comment = readCommentOf(archive);
    if (comment) {
        c.text = replaceAll(comment.value(), "\r\n", "\n");
    } else {
        c.status = StateComment::Status::Unreadable;
        c.failure = comment.failure();
    }
    return c;
}

OpenAction StatesModel::openAction(int row) const {
    OpenAction a;
    a.archive = archiveAt(row);
    if (a.archive.empty()) return a;
    a.kind = existsAsFile(a.archive) ? OpenAction::Kind::Open : OpenAction::Kind::Missing;
    return a;
}

Arming StatesModel::arm(bool checked, bool windowAllows) const {
    Arming a;
    a.checked = checked && recoveryAllowed(windowAllows);
    a.replaceEnabled = a.checked;
    a.commentEnabled = !a.checked;
    a.focusList = !a.checked;
    return a;
}

std::string StatesModel::chosenForRestore(int row) const {
    if (m_enclosing) return {};
    return archiveAt(row);
}

} // namespace kp
