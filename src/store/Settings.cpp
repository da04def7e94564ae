#include "store/Settings.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <unordered_map>

#include "platform/Text.h"

namespace kp {

namespace {

bool isItemBreak(char c) { return static_cast<unsigned char>(c) <= 32; }

int readIntOr(const std::string& text, int fallback) {
    int v;
    return parseInt(trimBlanks(text), v) ? v : fallback;
}

// Reads "a,b,c" (the hv query) into three integers; an unreadable part counts as 0.
bool readTrainLengths(const std::string& commaText, int out[3]) {
    const auto parts = split(commaText, ',');
    if (parts.size() < 3) return false;
    for (int i = 0; i < 3; ++i) out[i] = readIntOr(parts[std::size_t(i)], 0);
    return true;
}

bool validTrainLengths(const int l[3]) { return 0 < l[0] && l[0] < l[1] && l[1] < l[2] && l[2] <= 20; }

bool isHexDigits(const std::string& s) {
    for (char c : s)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

} // namespace

std::vector<std::string> splitSettingsItems(const std::string& text) {
    std::vector<std::string> items;
    std::size_t p = 0;
    const std::size_t n = text.size();
    auto skipBreaks = [&] {
        while (p < n && isItemBreak(text[p])) ++p;
    };
    skipBreaks();
    while (p < n) {
        std::string item;
        if (text[p] == '"') {
            ++p;
            while (p < n) {
                if (text[p] == '"') {
                    if (p + 1 < n && text[p + 1] == '"') {
                        item += '"';
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                item += text[p++];
            }
        } else {
            const std::size_t start = p;
            while (p < n && !isItemBreak(text[p]) && text[p] != ',') ++p;
            item = text.substr(start, p - start);
        }
        items.push_back(std::move(item));
        skipBreaks();
        if (p < n && text[p] == ',') {
            if (p + 1 == n) items.emplace_back();
            ++p;
            skipBreaks();
        }
    }
    return items;
}

std::string SettingsMerge(NameValueList& list, const std::string& text, const std::string& separator) {
    const char savedSeparator = list.separator();
    list.setSeparator('=');

    NameValueList items('=');
    for (auto& item : splitSettingsItems(replaceAll(text, ":", ":="))) {
        if (item.find(":=") != std::string::npos) items.add(std::move(item));
    }
    // The list's names looked up through an index, not line by line: a settings file may hold
    // many items, and each lookup must not cost a pass over the list.
    std::unordered_map<std::string, std::size_t> lineOf;
    for (std::size_t i = 0; i < list.count(); ++i)
        if (list.line(i).find('=') != std::string::npos) lineOf.try_emplace(lowerUtf8(list.name(i)), i);
    for (std::size_t i = 0; i < items.count(); ++i) {
        const std::string name = items.name(i);
        const std::string value = trimBlanks(items.valueAt(i));
        const auto [at, added] = lineOf.try_emplace(lowerUtf8(name), list.count());
        if (added) list.add(trimBlanks(items.line(i)));
        else if (!value.empty()) list.setLine(at->second, name + '=' + value);
    }

    std::string result;
    if (items.count() == 1 && trimBlanks(items.valueAt(0)).empty()) {
        result = list.value(items.name(0));
        if (!separator.empty()) result = replaceAll(result, separator.substr(0, 1), ",");
    }
    list.setSeparator(savedSeparator);
    return result;
}

NameValueList settingsListFrom(const std::string& text) {
    NameValueList list('=');
    SettingsMerge(list, text, "");
    return list;
}

SettingsCheck validateSettings(NameValueList& settings, NameValueList& defaults, NameValueList& mistaken) {
    SettingsCheck check;
    SettingsValues& v = check.values;

    // cL: eight characters whose decimal reading is neither 0 nor unreadable.
    std::string cl = SettingsMerge(settings, "cL:", "");
    int clNumber = 0;
    if (utf8Length(cl) != 8 || !parseInt(cl, clNumber) || clNumber == 0) {
        mistaken.setValue("cL:", cl); // what was wrong, not what replaces it
        cl = SettingsMerge(defaults, "cL:", "");
    }
    v.commentLayout = utf8Prefix(cl, 8);

    auto flag = [&](const char* key) {
        const std::string text = SettingsMerge(settings, key, "");
        int number = readIntOr(text, -1);
        if (number == -1) {
            mistaken.setValue(key, text);
            number = 1;
        }
        return number >= 1 ? 1 : 0;
    };
    v.showWindow = flag("ws:");
    v.showArchiveFolder = flag("ds:");

    const std::string hv = SettingsMerge(settings, "hv:", "\\");
    if (!readTrainLengths(hv, v.trainLength) || !validTrainLengths(v.trainLength)) {
        readTrainLengths(SettingsMerge(defaults, "hv:", "\\"), v.trainLength);
        mistaken.setValue("hv:", SettingsMerge(settings, "hv:", "")); // as written, with its backslashes
    }

    const std::string ps = SettingsMerge(settings, "ps:", "");
    const int status = readIntOr(ps, -1);
    if (status >= 0 && status <= 3) {
        v.projectStatus = status;
    } else {
        v.projectStatus = 0;
        mistaken.setValue("ps:", ps);
        check.statusInvalid = true;
    }

    const std::string mnp = SettingsMerge(settings, "mnp:", "");
    const int factor = readIntOr(mnp, -1);
    if (factor >= 1 && factor <= 5) {
        v.capacityFactor = factor;
    } else {
        v.capacityFactor = 5;
        mistaken.setValue("mnp:", mnp);
    }
    return check;
}

int statusTrainLength(const SettingsValues& v, int status) {
    int l = status == 1 ? v.trainLength[0] : status == 2 ? v.trainLength[1] : v.trainLength[2];
    return l < 1 ? 1 : (l > 20 ? 20 : l);
}

std::string userPreferencesString(const SettingsValues& v) {
    char buf[128];
    std::snprintf(buf, sizeof buf, " cL:%s,hv:%d\\%d\\%d,mnp:%d,ws:%d,ds:%d", v.commentLayout.c_str(),
                  v.trainLength[0], v.trainLength[1], v.trainLength[2], v.capacityFactor, v.showWindow,
                  v.showArchiveFolder);
    return buf;
}

std::string applyUserSettings(const std::string& text, SettingsValues& values) {
    SettingsValues v = values;
    for (const std::string& item : splitSettingsItems(text)) {
        const auto colon = item.find(':');
        if (colon == std::string::npos) return item;
        const std::string key = lowerUtf8(item.substr(0, colon));
        const std::string value = trimBlanks(item.substr(colon + 1));
        int number = 0;
        bool ok = false;
        if (key == "cl") {
            // Eight hexadecimal digits, and readable as a decimal number, which is how a run
            // checks the value: a layout saved here must not be refused at every start.
            int decimal = 0;
            ok = value.size() == 8 && isHexDigits(value) && parseInt(value, decimal) && decimal != 0;
            if (ok) {
                v.commentLayout = value;
                for (auto& c : v.commentLayout) c = char(std::toupper(static_cast<unsigned char>(c)));
            }
        } else if (key == "ws" || key == "ds") {
            ok = parseInt(value, number) && (number == 0 || number == 1);
            if (ok) (key == "ws" ? v.showWindow : v.showArchiveFolder) = number;
        } else if (key == "mnp") {
            ok = parseInt(value, number) && number >= 1 && number <= 5;
            if (ok) v.capacityFactor = number;
        } else if (key == "hv") {
            const auto parts = split(value, '\\');
            int l[3];
            ok = parts.size() == 3 && parseInt(parts[0], l[0]) && parseInt(parts[1], l[1]) &&
                 parseInt(parts[2], l[2]) && l[0] >= 1 && l[0] <= 18 && l[1] >= 2 && l[1] <= 19 && l[2] >= 3 &&
                 l[2] <= 20 && l[0] < l[1] && l[1] < l[2];
            if (ok) std::copy(l, l + 3, v.trainLength);
        }
        if (!ok) return item;
    }
    values = v;
    return {};
}

} // namespace kp
