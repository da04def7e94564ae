// Labels that show a value under an accessible name of their own ("Position", "Disk space"):
// a screen reader reads the name, and the value as the description. The two are set
// together here, so that no change of the value leaves the reader with an old one.
#pragma once
#include <QLabel>
#include <QString>

namespace kp::ui {

// Names the label and exposes the text it shows now.
void nameValueLabel(QLabel* label, const QString& accessibleName);

// Shows text and exposes it.
void setValueText(QLabel* label, const QString& text);

} // namespace kp::ui
