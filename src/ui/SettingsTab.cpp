#include "ui/SettingsTab.h"

#include "ui/OptionsWindow.h"

namespace kp::ui {

SettingsTab::SettingsTab(OptionsWindow& window) : m_window(window) {
    setObjectName(QStringLiteral("TabSheet3"));
    setAccessibleName(QStringLiteral("Settings"));
}

} // namespace kp::ui
