// The Settings tab: train lengths, capacity, comment language and visibility, saved into
// setting.ini.
#pragma once
#include <QWidget>

namespace kp::ui {

class OptionsWindow;

class SettingsTab : public QWidget {
    Q_OBJECT
public:
    explicit SettingsTab(OptionsWindow& window);

private:
    OptionsWindow& m_window;
};

} // namespace kp::ui
