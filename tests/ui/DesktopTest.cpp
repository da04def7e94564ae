// What the program asks of the desktop before and around its windows.
#include <QtTest>

#include "ui/Desktop.h"

using namespace kp;

class DesktopTest : public QObject {
    Q_OBJECT

private slots:
    void waylandWithXWaylandRunsOnXUnlessTheUserChose() {
        const QByteArray saved[3] = {qgetenv("WAYLAND_DISPLAY"), qgetenv("DISPLAY"), qgetenv("QT_QPA_PLATFORM")};
        const struct {
            const char* what;
            const char *wayland, *x, *chosen; // nullptr: not set
            const char* platform;            // QT_QPA_PLATFORM afterwards; nullptr: not set
        } cases[] = {
            {"Wayland session with XWayland", "wayland-0", ":0", nullptr, "xcb"},
            {"the user's choice is kept", "wayland-0", ":0", "wayland", "wayland"},
            {"Wayland without XWayland", "wayland-0", nullptr, nullptr, nullptr},
            {"an X session", nullptr, ":0", nullptr, nullptr},
            {"an empty WAYLAND_DISPLAY is none", "", ":0", nullptr, nullptr},
        };
        for (const auto& c : cases) {
            const char* names[3] = {"WAYLAND_DISPLAY", "DISPLAY", "QT_QPA_PLATFORM"};
            const char* values[3] = {c.wayland, c.x, c.chosen};
            for (int i = 0; i < 3; ++i) {
                if (values[i]) qputenv(names[i], values[i]);
                else qunsetenv(names[i]);
            }
            ui::desktop::preferXOnWayland();
            QVERIFY2(qEnvironmentVariableIsSet("QT_QPA_PLATFORM") == (c.platform != nullptr), c.what);
            if (c.platform) QVERIFY2(qgetenv("QT_QPA_PLATFORM") == c.platform, c.what);
        }
        const char* names[3] = {"WAYLAND_DISPLAY", "DISPLAY", "QT_QPA_PLATFORM"};
        for (int i = 0; i < 3; ++i) {
            if (saved[i].isNull()) qunsetenv(names[i]);
            else qputenv(names[i], saved[i]);
        }
    }
};

QTEST_GUILESS_MAIN(DesktopTest)
#include "DesktopTest.moc"
