// The project log window: the readable history of the project (the newest archive's
// project.log as this run knows it). The user may edit it below its five-line heading,
// export it to a text file, or save it back into the newest archive.
#pragma once
#include <QAction>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QWidget>

#include "engine/Engine.h"
#include "engine/ProjectLogModel.h"

namespace kp::ui {

class ProjectLogWindow : public QMainWindow {
    Q_OBJECT
public:
    ProjectLogWindow(Engine& engine, const Clock& clock, QWidget* parent = nullptr);
    // Shows the window, starting from the last saved text (unsaved edits of an earlier
    // showing are dropped).
    void showLog();

    void exportLog(); // File > Export
    void saveLog();   // File > Save

private:
    Engine& m_engine;
    ProjectLogModel m_model;
    QPlainTextEdit* m_text = nullptr; // Memo1
    QAction* m_save = nullptr;        // Save2
    QAction* m_export = nullptr;      // Save1
    QAction* m_quit = nullptr;        // Close1
    bool m_placed = false;
};

} // namespace kp::ui
