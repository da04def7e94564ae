#include "ui/ProjectLogWindow.h"

#include <QVBoxLayout>

namespace kp::ui {

ProjectLogWindow::ProjectLogWindow(Engine& engine, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint), m_engine(engine) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral(" Project log"));
    resize(766, 625);
    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("Memo1"));
    m_text->setAccessibleName(QStringLiteral("Project log text"));
    m_text->setReadOnly(true);
    QFont mono(QStringLiteral("Lucida Console"));
    mono.setStyleHint(QFont::Monospace);
    mono.setPixelSize(15);
    m_text->setFont(mono);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
}

void ProjectLogWindow::showLog() {
    QString text = QString::fromStdString(m_engine.state().latestLogText);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    m_text->setPlainText(text);
    show();
    raise();
    activateWindow();
}

} // namespace kp::ui
