// The project log window: the readable history of the project (the newest archive's
// project.log as this run knows it).
#pragma once
#include <QPlainTextEdit>
#include <QWidget>

#include "engine/Engine.h"

namespace kp::ui {

class ProjectLogWindow : public QWidget {
    Q_OBJECT
public:
    explicit ProjectLogWindow(Engine& engine, QWidget* parent = nullptr);
    void showLog();

private:
    Engine& m_engine;
    QPlainTextEdit* m_text = nullptr; // Memo1
};

} // namespace kp::ui
