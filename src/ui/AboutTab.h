// The About tab: product and version, the home page and the help file.
#pragma once
#include <QWidget>

namespace kp::ui {

class OptionsWindow;

class AboutTab : public QWidget {
    Q_OBJECT
public:
    explicit AboutTab(OptionsWindow& window);

private:
    OptionsWindow& m_window;
};

} // namespace kp::ui
