// The Tools tab: the stored states with their comments, and the restore of one of them.
#pragma once
#include <QWidget>

namespace kp::ui {

class OptionsWindow;

class ToolsTab : public QWidget {
    Q_OBJECT
public:
    explicit ToolsTab(OptionsWindow& window);

    // The window's activation rules reach the recovery controls through these.
    void setRecoveryEnabled(bool enabled);
    void disableReplace();

private:
    OptionsWindow& m_window;
};

} // namespace kp::ui
