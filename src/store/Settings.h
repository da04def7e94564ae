// The settings string ("cL:00000409,ws:1,...") and the settings lists built from it.
// Three layers are merged at start-up: the built-in defaults, the user's setting.ini and
// the project.set of the project's latest archive; a layer can add keys and change values
// but never empty one.
#pragma once
#include <string>
#include <vector>

#include "store/NameValueList.h"

namespace kp {

inline constexpr const char* kDefaultSettingsString = " cL:00000409,ws:1,ds:1,hv:18\\19\\20,mnp:5,ps:0";
inline constexpr const char* kStatusNames[4] = {"default", "standard", "important", "valuable"};

// Splits a text into items: separated by "," and by any character up to 32; an item in
// double quotes keeps its blanks ("" inside quotes is one quote).
std::vector<std::string> splitSettingsItems(const std::string& text);

// Merges the key:value items of text into list (whose lines read "key:=value"). When text
// is a single key with an empty value ("hv:"), returns that key's value in the list with
// every occurrence of separator replaced by ","; otherwise returns "". Querying a key the
// list lacks adds it with an empty value.
std::string SettingsMerge(NameValueList& list, const std::string& text, const std::string& separator);

// The values the run works with, each valid (an invalid item falls back to its default).
struct SettingsValues {
    std::string commentLayout = "00000409"; // cL
    int showWindow = 1;                     // ws
    int showArchiveFolder = 1;              // ds
    int trainLength[3] = {18, 19, 20};      // hv: standard, important, valuable
    int capacityFactor = 5;                 // mnp
    int projectStatus = 0;                  // ps
};

struct SettingsCheck {
    SettingsValues values;
    bool statusInvalid = false; // an invalid ps sounds its own warning beep
};

// Validates the effective settings in the start-up order (cL, ws, ds, hv, ps, mnp), recording
// each invalid item in mistaken.
SettingsCheck validateSettings(NameValueList& settings, NameValueList& defaults, NameValueList& mistaken);

// Train length L of a status: standard L1, important L2, default and valuable L3; within 1..20.
int statusTrainLength(const SettingsValues& v, int status);

// The UserPreferences string that Save writes (never "ps:").
std::string userPreferencesString(const SettingsValues& v);

// Checks a settings string the way the Settings tab's controls constrain values (ranges,
// L standard < L important < L valuable, cL eight hexadecimal digits, ws/ds 0 or 1).
// Applies every valid item to values; returns the first invalid item, or "" when all are valid.
std::string applyUserSettings(const std::string& text, SettingsValues& values);

NameValueList settingsListFrom(const std::string& text);

} // namespace kp
