#include "ui/InputLanguages.h"

#include <QGuiApplication>
#include <QSettings>
#include <QStandardPaths>
#include <cstdlib>

#ifdef KP_HAVE_XCB
#include <xcb/xcb.h>
#endif

namespace kp::ui {

namespace {

#ifdef KP_HAVE_XCB
// The root window's _XKB_RULES_NAMES: rules, model, layouts, variants and options, each
// ended by a NUL. The layouts are the third.
std::string x11Layouts() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c) return {};
    const char name[] = "_XKB_RULES_NAMES";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, sizeof name - 1, name), nullptr);
    if (!atom) return {};
    const xcb_atom_t property = atom->atom;
    std::free(atom);
    if (property == XCB_ATOM_NONE) return {};
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (!screen) return {};
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, screen->root, property, XCB_ATOM_STRING, 0, 1024), nullptr);
    if (!reply) return {};
    const int length = xcb_get_property_value_length(reply);
    const std::string value(static_cast<const char*>(xcb_get_property_value(reply)), std::size_t(length > 0 ? length : 0));
    std::free(reply);
    std::size_t at = 0;
    for (int field = 0; field < 2; ++field) {
        at = value.find('\0', at);
        if (at == std::string::npos) return {};
        ++at;
    }
    const std::size_t end = value.find('\0', at);
    return value.substr(at, end == std::string::npos ? std::string::npos : end - at);
}
#endif

// KDE Plasma keeps the user's layouts in kxkbrc.
std::string plasmaLayouts() {
    const QString path = QStandardPaths::locate(QStandardPaths::GenericConfigLocation, QStringLiteral("kxkbrc"));
    if (path.isEmpty()) return {};
    QSettings kxkbrc(path, QSettings::IniFormat);
    QVariant list = kxkbrc.value(QStringLiteral("Layout/LayoutList"));
    if (list.typeId() == QMetaType::QStringList) return list.toStringList().join(QLatin1Char(',')).toStdString();
    return list.toString().toStdString();
}

} // namespace

std::vector<std::string> desktopInputLanguages() {
    std::vector<std::string> found;
#ifdef KP_HAVE_XCB
    if (QGuiApplication::platformName() == QLatin1String("xcb")) found.push_back(x11Layouts());
#endif
    found.push_back(plasmaLayouts());
    if (const char* env = std::getenv("XKB_DEFAULT_LAYOUT")) found.emplace_back(env);
    return found;
}

} // namespace kp::ui
