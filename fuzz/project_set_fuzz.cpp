// libFuzzer target for the records of stored states (project.set). Any text at all must be
// read without a crash; and a record the program composes must read back as it was
// written, whatever the user typed into the comment: a full state never looks relative, a
// relative one names its primary and each missing item, and only the status line ever
// reaches the settings.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "history/StateRecord.h"
#include "store/NameValueList.h"
#include "store/Records.h"
#include "store/Settings.h"

namespace {

// The input cut at NUL bytes into the fields of a record.
std::vector<std::string> fieldsOf(const std::string& text) {
    std::vector<std::string> out(1);
    for (char c : text) {
        if (c == '\0') out.emplace_back();
        else out.back() += c;
    }
    return out;
}

// Names of projects and archives hold no line break; item paths may (Linux allows them).
std::string withoutLineBreaks(std::string s) {
    for (char& c : s)
        if (c == '\r' || c == '\n') c = '_';
    return s;
}

void check(bool ok) {
    if (!ok) __builtin_trap();
}

void readAnyText(const std::string& text) {
    const kp::StateRecord record = kp::StateRecord::parse(text);
    (void)record.isMissing(text);
    (void)kp::projectSetRelativeRecord(text);
    kp::NameValueList settings = kp::settingsListFrom(kp::kDefaultSettingsString);
    kp::NameValueList defaults = kp::settingsListFrom(kp::kDefaultSettingsString), mistaken;
    kp::SettingsMerge(settings, kp::projectSetSettingsText(text), "");
    const kp::SettingsCheck checked = kp::validateSettings(settings, defaults, mistaken);
    check(checked.values.projectStatus >= 0 && checked.values.projectStatus <= 3);
}

void composedRecordsReadBack(const std::vector<std::string>& f) {
    kp::ProjectSetFields fields;
    fields.projectName = withoutLineBreaks(f[0]);
    fields.archiveName = withoutLineBreaks(f.size() > 1 ? f[1] : "Site-101203.1530c.zip");
    fields.projectStatus = f[0].empty() ? 0 : static_cast<unsigned char>(f[0][0]) % 4;
    const std::string typed = f.size() > 2 ? f[2] : std::string();
    const std::string status = fields.projectStatus ? "ps:" + std::to_string(fields.projectStatus) : "";

    fields.comment = typed;
    const std::string full = kp::ComposeProjectSet(fields);
    check(!kp::StateRecord::parse(full).isRelative());
    check(kp::projectSetRelativeRecord(full).primaryArchive.empty());
    check(kp::projectSetSettingsText(full) == status);

    fields.kind = kp::ArchiveKind::Relative;
    fields.comment.clear();
    fields.primaryArchive = withoutLineBreaks(typed);
    if (fields.primaryArchive.empty()) fields.primaryArchive = "Site-101203.1530c.zip";
    std::vector<std::string> missing;
    for (std::size_t i = 3; i < f.size(); ++i)
        if (!f[i].empty() && f[i].find("\r\n") == std::string::npos && f[i].back() != '\r') {
            missing.push_back(f[i]);
            fields.missingText += f[i] + "\r\n";
        }
    const std::string relative = kp::ComposeProjectSet(fields);
    const kp::StateRecord record = kp::StateRecord::parse(relative);
    check(record.isRelative() && record.primaryArchive() == fields.primaryArchive);
    for (const std::string& m : missing) check(record.isMissing(m));
    check(kp::projectSetRelativeRecord(relative).primaryArchive == fields.primaryArchive);
    check(kp::projectSetSettingsText(relative) == status);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 1 << 16) return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    readAnyText(text);
    composedRecordsReadBack(fieldsOf(text));
    return 0;
}
