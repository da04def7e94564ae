#include "ui/MessageBox.h"

namespace kp::ui {

namespace {

MessageBox::Handler& handler() {
    static MessageBox::Handler h;
    return h;
}

} // namespace

void MessageBox::setHandler(Handler h) { handler() = std::move(h); }

void MessageBox::show(QWidget* parent, Kind kind, const QString& text) {
    const QString title = kind == Kind::Warning ? QStringLiteral("Warning") : QStringLiteral("Kestrelpad");
    QString shownText = text;
    shownText.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    const QMessageBox::StandardButton button = kind == Kind::BusyFiles ? QMessageBox::Yes : QMessageBox::Ok;
    if (handler()) {
        handler()({kind, title, shownText, button});
        return;
    }
    QMessageBox box(parent);
    box.setWindowTitle(title);
    box.setText(shownText);
    box.setStandardButtons(button);
    switch (kind) {
    case Kind::Warning:
    case Kind::Notice:
    case Kind::BusyFiles: box.setIcon(QMessageBox::Warning); break;
    case Kind::Error: box.setIcon(QMessageBox::Critical); break;
    case Kind::Plain: box.setIcon(QMessageBox::NoIcon); break;
    }
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
}

} // namespace kp::ui
