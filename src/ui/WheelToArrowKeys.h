// The mouse wheel as the arrow keys, in every window of the program: one application event
// filter turns each notch of the vertical wheel into an Up (away from the user) or Down
// key press and release for the widget that has the keyboard focus. So a notch steps the
// focused value of the Settings tab by one, moves through a list or moves the caret of a
// text, exactly as the arrow key would. A horizontal wheel stays a wheel.
#pragma once
#include <QObject>

namespace kp::ui {

class WheelToArrowKeys : public QObject {
public:
    // Installs itself on the application; removed again when destroyed.
    explicit WheelToArrowKeys(QObject* parent = nullptr);
    ~WheelToArrowKeys() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int m_pending = 0; // eighths of a degree not yet a whole notch (fine-grained wheels)
};

} // namespace kp::ui
