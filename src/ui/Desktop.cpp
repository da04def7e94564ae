#include "ui/Desktop.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QMimeDatabase>
#include <QGuiApplication>
#include <QStandardPaths>
#include <cstdlib>

#ifdef KP_HAVE_XCB
#include <xcb/xcb.h>
#endif

namespace kp::ui::desktop {

namespace {

struct Handlers {
    std::function<bool(const QUrl&)> open;
    std::function<QString()> saveFileName;
    QString programFolder;
    std::function<bool()> chmProgramKnown;
    std::function<bool()> compositorRuns;
};

Handlers& handlers() {
    static Handlers h;
    return h;
}

// The desktop's associations: the caches of installed programs (applications/mimeinfo.cache
// in every data folder) and the user's and system's choices (mimeapps.list).
bool associated(const QStringList& mimeTypes) {
    QStringList files;
    for (const QString& dir : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
        files << dir + QStringLiteral("/applications/mimeinfo.cache")
              << dir + QStringLiteral("/applications/mimeapps.list");
    }
    for (const QString& dir : QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation))
        files << dir + QStringLiteral("/mimeapps.list");
    for (const QString& path : files) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) continue;
        bool removed = false; // the user's "[Removed Associations]" name programs not to use
        while (!f.atEnd()) {
            const QString line = QString::fromUtf8(f.readLine(64 * 1024)).trimmed();
            if (line.startsWith(QLatin1Char('['))) removed = line == QLatin1String("[Removed Associations]");
            const qsizetype eq = line.indexOf(QLatin1Char('='));
            if (removed || eq <= 0 || line.startsWith(QLatin1Char('#'))) continue;
            if (mimeTypes.contains(line.left(eq).trimmed()) && !line.mid(eq + 1).trimmed().isEmpty()) return true;
        }
    }
    return false;
}

#ifdef KP_HAVE_XCB
// A compositing manager owns the selection _NET_WM_CM_S<screen> while it runs.
bool xCompositorRuns() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c) return false;
    const char name[] = "_NET_WM_CM_S0";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof name - 1, name), nullptr);
    if (!atom) return false;
    const xcb_atom_t selection = atom->atom;
    std::free(atom);
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr);
    if (!owner) return false;
    const bool owned = owner->owner != XCB_NONE;
    std::free(owner);
    return owned;
}
#endif

} // namespace

bool openUrl(const QUrl& url) {
    if (handlers().open) return handlers().open(url);
    return QDesktopServices::openUrl(url);
}

bool hasProgramFor(const QString& fileName) {
    if (handlers().chmProgramKnown) return handlers().chmProgramKnown();
    const QMimeType type = QMimeDatabase().mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    QStringList names = type.aliases();
    names.prepend(type.name());
    return associated(names);
}

QString saveFileName(QWidget* parent, const QString& filter, const QString& defaultSuffix) {
    if (handlers().saveFileName) return handlers().saveFileName();
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(filter);
    // The dialog itself adds the suffix to a bare name, so its overwrite question is asked
    // about the file that will be written.
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

void preferXOnWayland() {
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && !qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
}

bool compositorRuns() {
    if (handlers().compositorRuns) return handlers().compositorRuns();
    const QString platform = QGuiApplication::platformName();
    if (platform.startsWith(QLatin1String("wayland"))) return true;
#ifdef KP_HAVE_XCB
    if (platform == QLatin1String("xcb")) return xCompositorRuns();
#endif
    return platform == QLatin1String("windows") || platform == QLatin1String("cocoa");
}

QString programFolder() {
    if (!handlers().programFolder.isEmpty()) return handlers().programFolder;
    return QCoreApplication::applicationDirPath();
}

void setOpenHandler(std::function<bool(const QUrl&)> handler) { handlers().open = std::move(handler); }
void setSaveFileNameHandler(std::function<QString()> handler) { handlers().saveFileName = std::move(handler); }
void setProgramFolder(const QString& folder) { handlers().programFolder = folder; }
void setChmProgramKnown(std::function<bool()> answer) { handlers().chmProgramKnown = std::move(answer); }
void setCompositorRuns(std::function<bool()> answer) { handlers().compositorRuns = std::move(answer); }

} // namespace kp::ui::desktop
