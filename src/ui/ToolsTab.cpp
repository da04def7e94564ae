#include "ui/ToolsTab.h"

#include "ui/OptionsWindow.h"

namespace kp::ui {

ToolsTab::ToolsTab(OptionsWindow& window) : m_window(window) {
    setObjectName(QStringLiteral("TabSheet2"));
    setAccessibleName(QStringLiteral("Tools"));
}

void ToolsTab::setRecoveryEnabled(bool) {}

void ToolsTab::disableReplace() {}

} // namespace kp::ui
