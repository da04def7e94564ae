// What the desktop does for the program: opening a file or address with its associated
// program, asking for a file name to save under, and the program's own folder. Tests
// answer these through handlers instead of starting programs or showing dialogs.
#pragma once
#include <QString>
#include <QUrl>
#include <QWidget>
#include <functional>

namespace kp::ui::desktop {

// Opens url with the desktop's opener (xdg-open); false when it could not be handed over.
bool openUrl(const QUrl& url);
// Whether the desktop has a program registered for the MIME type of fileName.
bool hasProgramFor(const QString& fileName);
// A save-file dialog with one filter ("text (*.txt)"); empty when cancelled.
QString saveFileName(QWidget* parent, const QString& filter, const QString& defaultSuffix);
// The folder of the running program.
QString programFolder();
// Before the application is made: on a Wayland session that also offers XWayland, run on X.
// The card places itself, stays above other windows and reads the Ctrl key at start, which
// Wayland denies to its clients. A platform the user set in QT_QPA_PLATFORM is kept.
void preferXOnWayland();
// Whether a window's opacity shows on screen: a compositing manager runs (always on
// Wayland; on X when one owns the screen's _NET_WM_CM_S0 selection).
bool compositorRuns();

// Tests: an empty handler restores the real behaviour.
void setOpenHandler(std::function<bool(const QUrl&)> handler);
void setSaveFileNameHandler(std::function<QString()> handler);
void setProgramFolder(const QString& folder);
void setChmProgramKnown(std::function<bool()> answer);
void setCompositorRuns(std::function<bool()> answer);

} // namespace kp::ui::desktop
