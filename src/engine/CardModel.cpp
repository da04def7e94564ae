#include "engine/CardModel.h"

#include "platform/Text.h"
#include "store/ArchiveNaming.h"
#include "store/Messages.h"
#include "store/SettingsFile.h"

namespace kp {

CardView cardView(const RunState& s) {
    CardView v;
    v.title = kProductTitle;
    const std::string name = s.projectName();
    v.smallProjectFont = utf8Length(name) > 44;
    v.projectName = v.smallProjectFont ? ShortenCaption(name, 60) : name;
    v.dateLabel = cardDateLabel(s);
    v.statusLabel = cardStatusLabel(s);
    if (s.storeRequested && s.ignoredItems > 0) v.ignoredText = msg::itemsIgnored(s.ignoredItems);
    v.diskSpaceText = s.diskSpaceText;
    v.restoringText = s.restoringText;
    return v;
}

} // namespace kp
