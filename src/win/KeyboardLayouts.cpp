#include "win/KeyboardLayouts.h"

#include <windows.h>

#include <cstdio>

#include "win/Text.h"

namespace kp::win {

namespace {

std::string layoutOf(HKL layout) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", unsigned(reinterpret_cast<UINT_PTR>(layout) & 0xFFFF));
    return text;
}

} // namespace

std::vector<CommentLanguage> loadedKeyboardLayouts() {
    HKL layouts[40];
    const int count = GetKeyboardLayoutList(40, layouts);
    std::vector<CommentLanguage> out;
    for (int i = 0; i < count; ++i) {
        const LCID locale = MAKELCID(LOWORD(reinterpret_cast<UINT_PTR>(layouts[i])), SORT_DEFAULT);
        wchar_t name[256] = L"";
        GetLocaleInfoW(locale, LOCALE_SLANGUAGE, name, 256);
        out.push_back({layoutOf(layouts[i]), narrow(name)});
    }
    return out;
}

bool activateKeyboardLayout(const std::string& layout) {
    HKL loaded = LoadKeyboardLayoutW(wide(layout).c_str(), KLF_ACTIVATE);
    if (!loaded) return false;
    ActivateKeyboardLayout(loaded, 0);
    return true;
}

std::string activeKeyboardLayout() {
    return layoutOf(GetKeyboardLayout(0));
}

} // namespace kp::win
