#include "ui/WheelToArrowKeys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QWheelEvent>
#include <QWidget>

namespace kp::ui {

namespace {
constexpr int kNotch = 120; // eighths of a degree: one notch of a common wheel
}

WheelToArrowKeys::WheelToArrowKeys(QObject* parent) : QObject(parent) {
    if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
}

WheelToArrowKeys::~WheelToArrowKeys() {
    if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
}

bool WheelToArrowKeys::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Wheel) return false;
    const int delta = static_cast<QWheelEvent*>(event)->angleDelta().y();
    if (delta == 0) return false;
    QPointer<QWidget> target = QApplication::focusWidget();
    if (!target) target = qobject_cast<QWidget*>(watched);
    if (!target) return false;
    // Touchpads and fine wheels report parts of a notch; they add up to whole key presses.
    if ((delta > 0) != (m_pending > 0)) m_pending = 0;
    m_pending += delta;
    while (target && (m_pending >= kNotch || m_pending <= -kNotch)) {
        const bool up = m_pending > 0;
        m_pending += up ? -kNotch : kNotch;
        const int key = up ? Qt::Key_Up : Qt::Key_Down;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &press);
        QCoreApplication::sendEvent(target, &release);
    }
    return true;
}

} // namespace kp::ui
