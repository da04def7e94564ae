#include "ui/Meter.h"

#include <QPainter>
#include <algorithm>

namespace kp::ui {

Meter::Meter(QWidget* parent) : QWidget(parent) { setAccessibleDescription(QStringLiteral("0 %")); }

void Meter::setPercent(int percent) {
    percent = std::clamp(percent, 0, 100);
    if (percent == m_percent) return;
    m_percent = percent;
    setAccessibleDescription(QString::number(percent) + QStringLiteral(" %"));
    update();
}

void Meter::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(0xF0, 0xF0, 0xF0));
    p.fillRect(QRect(0, 0, width() * m_percent / 100, height()), QColor(0, 0, 0x80));
}

} // namespace kp::ui
