#include "ui/AboutTab.h"

#include "ui/OptionsWindow.h"

namespace kp::ui {

AboutTab::AboutTab(OptionsWindow& window) : m_window(window) {
    setObjectName(QStringLiteral("TabSheet4"));
    setAccessibleName(QStringLiteral("About"));
}

} // namespace kp::ui
