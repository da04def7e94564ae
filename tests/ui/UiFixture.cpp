#include "UiFixture.h"

#include <QAccessible>
#include <QTimer>
#include <algorithm>
#include <cstdlib>

#include "platform/FileSystem.h"
#include "zip/ZipArchive.h"

namespace kp::test {

namespace {

QtMessageHandler g_previousHandler = nullptr;

// The offscreen platform cannot mask, raise or fade windows; its complaints hide real ones.
void quietPlatformWarnings(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.startsWith(QLatin1String("This plugin does not support"))) return;
    if (g_previousHandler) g_previousHandler(type, context, text);
}

} // namespace

UiFixture::UiFixture() {
    static const bool quiet = [] {
        g_previousHandler = qInstallMessageHandler(quietPlatformWarnings);
        return true;
    }();
    (void)quiet;
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) m_savedConfig = old;
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    ui::MessageBox::setHandler([this](const ui::MessageBox::Shown& shown) { messages.push_back(shown); });
    at(2010, 12, 3, 15, 30);
}

UiFixture::~UiFixture() {
    m_run.reset();
    ui::MessageBox::setHandler({});
    if (m_savedConfig.empty()) unsetenv("XDG_CONFIG_HOME");
    else setenv("XDG_CONFIG_HOME", m_savedConfig.c_str(), 1);
}

void UiFixture::at(int year, int month, int day, int hour, int minute, int second) {
    clock.set(fromLocalTime({year, month, day, hour, minute, second}));
}

std::string UiFixture::makeSite(bool stored) {
    dir.write("Site/index.html", "<p>hello</p>");
    dir.write("Site/docs/a.txt", "a");
    if (stored) {
        std::string out;
        const std::string cmd = "XDG_CONFIG_HOME='" + (dir / "config") + "' " + clockAt("2010-12-03 15:00:00") + " '" +
                                KP_KPAD_PATH + "' store '" + (dir / "Site") + "' >/dev/null 2>&1";
        if (kp::test::run(cmd) != 0) throw std::runtime_error("kpad store failed");
    }
    return dir / "Site";
}

void UiFixture::storeState(const std::string& project, const std::string& when, const std::string& comment) {
    std::string cmd = "XDG_CONFIG_HOME='" + (dir / "config") + "' " + clockAt(when) + " '" + KP_KPAD_PATH +
                      "' store '" + project + "'";
    if (!comment.empty()) cmd += " --comment '" + comment + "'";
    if (kp::test::run(cmd + " >/dev/null 2>&1") != 0) throw std::runtime_error("kpad store failed: " + cmd);
}

ui::DesktopRun& UiFixture::start(const std::string& project, bool ctrlHeld) {
    m_run = std::make_unique<ui::DesktopRun>(clock);
    m_run->host().setTimerScale(0.1);
    m_run->start(project, ctrlHeld);
    QObject::connect(&m_run->card(), &ui::ProgressCard::finished, [this] { m_finished = true; });
    // Each showing of the options window takes the next step, once it is on screen.
    auto* poll = new QTimer(&m_run->card());
    QObject::connect(poll, &QTimer::timeout, [this, poll] {
        ui::OptionsWindow& w = m_run->options();
        // Once it is active: before that the focus it gives is not yet the keyboard's.
        if (!w.isVisible() || !w.isActiveWindow() || m_nextStep >= m_optionSteps.size()) return;
        poll->stop();
        auto step = m_optionSteps[m_nextStep++];
        step(w);
        poll->start();
    });
    poll->start(20);
    return *m_run;
}

bool UiFixture::waitFinished(int ms) { return QTest::qWaitFor([this] { return m_finished; }, ms); }

std::string UiFixture::settingsFile() const { return dir / "config/TarnelSoftware/Kestrelpad/setting.ini"; }

void UiFixture::userPreferences(const std::string& prefs) {
    dir.write("config/TarnelSoftware/Kestrelpad/setting.ini", "[Setting]\r\nUserPreferences=" + prefs + "\r\n");
}

std::vector<std::string> UiFixture::archives() const {
    std::vector<std::string> names;
    for (const auto& fi : listFolder(dir / "Site/#tarnel"))
        if (!fi.isFolder) names.push_back(fi.name);
    std::sort(names.begin(), names.end());
    return names;
}

std::string UiFixture::comment(const std::string& archiveFileName) const {
    ZipArchive zip;
    zip.open(dir / ("Site/#tarnel/" + archiveFileName));
    return zip.comment();
}

} // namespace kp::test

namespace kp::test {

QString UiFixture::heard(QLabel* label) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(label);
    const QString name = a->text(QAccessible::Name);
    return name == label->text() ? name : a->text(QAccessible::Description);
}

QStringList UiFixture::unreadValues(QWidget* root) {
    QStringList out;
    for (QLabel* label : root->findChildren<QLabel*>())
        if (heard(label) != label->text()) out << label->objectName();
    return out;
}

} // namespace kp::test
