// An up-down: two arrow buttons that never take the focus; a press steps the value.
#pragma once
#include <QToolButton>
#include <QWidget>

#include "engine/SettingsModel.h"

namespace kp::ui {

class UpDownArrows : public QWidget {
    Q_OBJECT
public:
    explicit UpDownArrows(QWidget* parent = nullptr);

    // The buttons are read as "<name> up" and "<name> down".
    void setValueName(const QString& name);

signals:
    void stepped(kp::Step direction);

private:
    QToolButton* addArrow(Step direction);

    QToolButton* m_up = nullptr;
    QToolButton* m_down = nullptr;
};

} // namespace kp::ui
