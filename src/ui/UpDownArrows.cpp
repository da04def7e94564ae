#include "ui/UpDownArrows.h"

#include <QVBoxLayout>

namespace kp::ui {

UpDownArrows::UpDownArrows(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_up = addArrow(Step::Up);
    m_down = addArrow(Step::Down);
    setFixedWidth(16);
}

QToolButton* UpDownArrows::addArrow(Step direction) {
    auto* b = new QToolButton(this);
    b->setArrowType(direction == Step::Up ? Qt::UpArrow : Qt::DownArrow);
    b->setFocusPolicy(Qt::NoFocus);
    b->setAutoRepeat(true);
    b->setFixedSize(16, 11);
    connect(b, &QToolButton::clicked, this, [this, direction] { emit stepped(direction); });
    layout()->addWidget(b);
    return b;
}

void UpDownArrows::setValueName(const QString& name) {
    m_up->setAccessibleName(name + QStringLiteral(" up"));
    m_down->setAccessibleName(name + QStringLiteral(" down"));
}

} // namespace kp::ui
