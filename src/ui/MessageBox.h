// Every message box of the desktop program goes through here, so that tests can answer
// them without a person: with a handler set, boxes are recorded and not shown.
#pragma once
#include <QMessageBox>
#include <QString>
#include <functional>

namespace kp::ui {

class MessageBox {
public:
    enum class Kind {
        Warning, // a refusal of the parameter: titled "Warning", exclamation icon
        Plain,   // titled "Kestrelpad", no icon
        Notice,  // titled "Kestrelpad", warning icon ("Kestrelpad message ...")
        Error,   // titled "Kestrelpad", error icon
        BusyFiles, // a Notice with the single button Yes
    };
    struct Shown {
        Kind kind;
        QString title;
        QString text;
        QMessageBox::StandardButton button; // the single button
    };
    using Handler = std::function<void(const Shown&)>;

    // Shows a modal box with one button (OK; Yes for BusyFiles). CR LF in text becomes a line break.
    static void show(QWidget* parent, Kind kind, const QString& text);

    // Tests: every box is handed to handler instead of being shown; an empty handler
    // shows boxes again.
    static void setHandler(Handler handler);
};

} // namespace kp::ui
