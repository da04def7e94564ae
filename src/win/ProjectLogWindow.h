// The project log window: the readable history of the project (the newest archive's
// project.log as this run knows it). The user may edit it below its five-line heading,
// export it to a text file, or save it back into the newest archive. Opened from the
// options window's "Project log" link, not modal.
#pragma once
#include <windows.h>

#include <string>

#include "engine/Engine.h"
#include "engine/ProjectLogModel.h"

namespace kp::win {

class ProjectLogWindow {
public:
    // owner: the run's hidden window; the log window stays until the run ends.
    ProjectLogWindow(HINSTANCE instance, HWND owner, Engine& engine, const Clock& clock);
    ~ProjectLogWindow();
    ProjectLogWindow(const ProjectLogWindow&) = delete;
    ProjectLogWindow& operator=(const ProjectLogWindow&) = delete;

    // The run's window (one run per start of the program), for the options window's link;
    // null before it is made.
    static ProjectLogWindow* ofRun();

    // Shows the window above the options window, starting from the last saved text (unsaved
    // edits of an earlier showing are dropped).
    void show();

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK textProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void create();
    void setText(const std::string& lfText);
    std::string text() const; // the window's text with LF line breaks
    void setSaveEnabled(bool enabled);
    void guardAt(int position);
    int firstChangedByChar(WPARAM ch) const;
    void exportLog();
    void saveLog();
    void close();

    HINSTANCE m_instance;
    HWND m_owner;
    ProjectLogModel m_model;
    HWND m_window = nullptr;
    HWND m_edit = nullptr;
    HMENU m_file = nullptr;
    HFONT m_font = nullptr;
    HBRUSH m_white = nullptr;
    WNDPROC m_editProc = nullptr;
    bool m_saveEnabled = false;
    bool m_settingText = false;
};

} // namespace kp::win
