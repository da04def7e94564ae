// A flat progress meter: the done part navy, the rest light grey, no border.
#pragma once
#include <QWidget>

namespace kp::ui {

class Meter : public QWidget {
    Q_OBJECT
public:
    explicit Meter(QWidget* parent = nullptr);
    void setPercent(int percent);
    int percent() const { return m_percent; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    int m_percent = 0;
};

} // namespace kp::ui
