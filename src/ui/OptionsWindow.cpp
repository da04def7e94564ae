#include "ui/OptionsWindow.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>
#include <QTabBar>
#include <QThread>

#include "ui/AboutTab.h"
#include "ui/MessageBox.h"
#include "ui/ProjectLogWindow.h"
#include "ui/SettingsTab.h"
#include "ui/StoringTab.h"
#include "ui/ToolsTab.h"

namespace kp::ui {

namespace {
constexpr int kWidth = 427, kHeight = 300;
}

OptionsWindow::OptionsWindow(OptionsContext context, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_context(std::move(context)), m_model(m_context.engine.edits(), m_context.clock) {
    setObjectName(QStringLiteral("fopt"));
    setWindowTitle(QString::fromStdString(m_model.caption()));
    setFixedSize(kWidth, kHeight);
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("PageControl1"));
    m_tabs->setAccessibleName(QStringLiteral("Options"));
    m_tabs->setGeometry(0, 0, kWidth, kHeight);
    m_tabs->setUsesScrollButtons(false);
    m_tabs->tabBar()->setExpanding(true);
    // Tabs of equal widths: the control's width divided by the number of pages, less one.
    m_tabs->setStyleSheet(QStringLiteral("QTabBar::tab { width: %1px; }").arg(kWidth / 4 - 1));

    m_storing = new StoringTab(*this);
    m_tools = new ToolsTab(*this);
    m_settings = new SettingsTab(*this);
    m_about = new AboutTab(*this);
    m_tabs->addTab(m_storing, QStringLiteral("Storing"));
    m_tabs->addTab(m_tools, QStringLiteral("Tools"));
    m_tabs->addTab(m_settings, QStringLiteral("Settings"));
    m_tabs->addTab(m_about, QStringLiteral("About"));
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int index) {
        if (index == 0) m_storing->tabShown();
    });

    m_countdown.setObjectName(QStringLiteral("TimerFN"));
    m_countdown.setInterval(1000);
    connect(&m_countdown, &QTimer::timeout, this, &OptionsWindow::countdownTick);
}

OptionsWindow::~OptionsWindow() = default;

OptionsChoice OptionsWindow::ask() {
    m_choice = OptionsChoice{};
    m_choice.projectStatus = m_model.status();
    m_tabs->setCurrentIndex(0);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
    exec();
    m_countdown.stop();
    return m_choice;
}

void OptionsWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    onActivated();
    m_storing->tabShown();
    m_storing->focusFirst();
    QTimer::singleShot(0, this, &OptionsWindow::bringToForeground);
}

void OptionsWindow::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && isVisible()) onActivated();
}

void OptionsWindow::onActivated() {
    const Activation a = m_model.activate();
    if (a.lineChanged) showMessageLine(a.line);
    m_storing->setOkEnabled(a.okEnabled);
    m_tools->setRecoveryEnabled(a.recoveryEnabled);
    if (a.replaceDisabled) m_tools->disableReplace();
    if (a.countdown) {
        if (!m_countdown.isActive()) {
            m_countdown.start();
            countdownTick();
        }
    } else {
        m_countdown.stop();
    }
    if (a.focusStatus) m_storing->focusStatus();
}

// Bounded: on X11 a window manager may refuse the focus for a moment; Wayland grants it
// only to what the user acted on, which is fine.
void OptionsWindow::bringToForeground() {
    for (int attempt = 0; attempt < 10 && isVisible() && !isActiveWindow(); ++attempt) {
        raise();
        activateWindow();
        if (attempt) QThread::msleep(50);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

void OptionsWindow::countdownTick() {
    const CountdownTick t = m_model.countdownTick();
    if (!t.finished) {
        showMessageLine(t.line);
        return;
    }
    showMessageLine({"", false, false});
    m_storing->setOkEnabled(true);
    m_tools->setRecoveryEnabled(true);
    m_countdown.stop();
}

void OptionsWindow::showMessageLine(const MessageLine& line) { m_storing->showMessageLine(line); }

void OptionsWindow::openProjectLog() {
    if (!m_context.logWindow) return;
    m_context.logWindow->showLog();
}

void OptionsWindow::acceptAsOk() { m_storing->pressOk(); }

void OptionsWindow::done(int result) {
    if (result == QDialog::Accepted) {
        m_choice = m_storing->choice();
        m_choice.ok = true;
        // A bad version part keeps the window open: the engine's check, shown here.
        const std::string problem = OptionsModel::okProblem(m_choice);
        if (!problem.empty()) {
            QApplication::beep();
            MessageBox::show(this, MessageBox::Kind::Plain, QString::fromStdString(problem));
            return;
        }
    } else {
        m_choice = m_storing->choice();
        m_choice.ok = false;
        m_choice.addVersion = false;
    }
    m_countdown.stop();
    QDialog::done(result);
}

} // namespace kp::ui
