#include "store/ArchiveNaming.h"

#include <cstdio>

#include "platform/Text.h"

namespace kp {

ArchiveName BuildArchiveName(const std::string& archiveFolder, const std::string& projectName,
                             const std::string& suffix, const Clock& clock) {
    // One reading of the clock for date and time, so a name made at midnight cannot mix days.
    const LocalTime now = clock.localNow();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02d%02d%02d.%02d%02d", now.year % 100, now.month, now.day, now.hour,
                  now.minute);
    ArchiveName name;
    const std::string prefix = archiveFolder + "/" + projectName + "-";
    name.path = prefix + stamp + suffix + ".zip";
    name.mask = prefix + "??????.*.zip";
    name.datePos = int(projectName.size() + 1) + 1;
    name.timePos = name.datePos + 7;
    return name;
}

std::string stampAt(const std::string& fileName, int datePos) {
    if (datePos < 1 || fileName.size() < std::size_t(datePos - 1 + 11)) return {};
    return fileName.substr(std::size_t(datePos - 1), 11);
}

long long stampNumber(const std::string& stamp) {
    if (stamp.size() != 11 || stamp[6] != '.') return -1;
    long long date, time;
    if (!parseInt64(stamp.substr(0, 6), date) || !parseInt64(stamp.substr(7, 4), time)) return -1;
    if (date < 0 || time < 0) return -1;
    return date * 10000 + time;
}

std::string stampAndSuffix(const std::string& archivePath, int datePos) {
    std::string name = archivePath.substr(archivePath.rfind('/') + 1);
    if (datePos < 1 || name.size() < std::size_t(datePos - 1) + 4) return {};
    name = name.substr(std::size_t(datePos - 1));
    return name.substr(0, name.size() - 4);
}

std::string ShortenCaption(const std::string& text, int max) {
    if (max < 4) return {};
    if (utf8Length(text) > std::size_t(max)) return utf8Prefix(text, std::size_t(max - 3)) + "...";
    return text;
}

std::string chooseSuffix(bool addVersion, const std::string& versionPart1, const std::string& versionPart2,
                         const std::string& versionPart3, const std::string& comment, bool fullArchiveExists) {
    if (addVersion) {
        std::string suffix = "c-v." + versionPart1 + "." + versionPart2;
        if (!versionPart3.empty()) suffix += (versionPart3[0] == '.' ? "" : ".") + versionPart3;
        return suffix;
    }
    if (trim(comment).empty() && fullArchiveExists) return "";
    return "c";
}

} // namespace kp
