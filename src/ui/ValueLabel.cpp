#include "ui/ValueLabel.h"

namespace kp::ui {

void nameValueLabel(QLabel* label, const QString& accessibleName) {
    label->setAccessibleName(accessibleName);
    label->setAccessibleDescription(label->text());
}

void setValueText(QLabel* label, const QString& text) {
    label->setText(text);
    label->setAccessibleDescription(text);
}

} // namespace kp::ui
