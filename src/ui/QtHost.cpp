#include "ui/QtHost.h"

#include <QApplication>

#include "ui/MessageBox.h"
#include "ui/OptionsWindow.h"
#include "ui/ProgressCard.h"

namespace kp::ui {

QtHost::QtHost() {
    m_timer.setObjectName(QStringLiteral("Timer1"));
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (m_engine) m_engine->timerTick();
    });
}

void QtHost::attach(Engine& engine, ProgressCard& card, OptionsWindow& options) {
    m_engine = &engine;
    m_card = &card;
    m_options = &options;
}

void QtHost::beep() { QApplication::beep(); }

void QtHost::showMessage(MessageKind kind, const std::string& text) {
    MessageBox::Kind shown = MessageBox::Kind::Plain;
    switch (kind) {
    case MessageKind::Warning: shown = MessageBox::Kind::Warning; break;
    case MessageKind::Plain: shown = MessageBox::Kind::Plain; break;
    case MessageKind::Notice: shown = MessageBox::Kind::Notice; break;
    case MessageKind::BusyFiles: shown = MessageBox::Kind::BusyFiles; break;
    case MessageKind::Error: shown = MessageBox::Kind::Error; break;
    }
    QWidget* parent = m_options && m_options->isVisible() ? static_cast<QWidget*>(m_options) : nullptr;
    MessageBox::show(parent, shown, QString::fromStdString(text));
}

OptionsChoice QtHost::openOptions(const RunState&) {
    m_card->setOptionsShowing(true);
    const OptionsChoice choice = m_options->ask();
    m_card->setOptionsShowing(false);
    return choice;
}

void QtHost::armTimer(int ms) {
    m_lastInterval = ms;
    m_timer.start(int(ms * m_timerScale));
}

void QtHost::stopTimer() { m_timer.stop(); }

void QtHost::post(std::function<void()> fn) {
    // Called from the writer thread: the function runs in the user-interface thread.
    QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

void QtHost::progress(ProgressScope scope, int percent) { m_card->setProgress(scope, percent); }

void QtHost::repaint(const RunState&) {
    m_card->refresh();
    if (m_card->isVisible()) m_card->repaint();
}

void QtHost::requestClose() {
    QMetaObject::invokeMethod(m_card, &ProgressCard::closeRun, Qt::QueuedConnection);
}

} // namespace kp::ui
