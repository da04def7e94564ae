// The Storing tab: status, comment and new version of the pending store, the message line,
// OK and Cancel.
#pragma once
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>
#include <memory>

#include "engine/OptionsModel.h"

namespace Ui {
class StoringTab;
}

namespace kp::ui {

class OptionsWindow;

class StoringTab : public QWidget {
    Q_OBJECT
public:
    explicit StoringTab(OptionsWindow& window);
    ~StoringTab() override;

    // What the user chose, as the controls stand (the window adds OK or Cancel).
    OptionsChoice choice() const;
    void tabShown();
    void focusFirst();  // the comment box, or the status box when a status is requested
    void focusStatus();
    void setOkEnabled(bool enabled);
    void showMessageLine(const MessageLine& line);
    void pressOk();
    // A restore request put its note before the comment and cleared the new version.
    void showComment(const std::string& comment);
    void clearNewVersion();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // What the form cannot say: the model's items and values, colours, the connections.
    void setUpControls();
    void statusChosen(int index);
    void newVersionSwitched(bool on);
    void placeStatusOverlay();

    OptionsWindow& m_window;
    std::unique_ptr<Ui::StoringTab> m_ui; // forms/StoringTab.ui
    QLabel* m_statusCaption = nullptr;  // Label6
    QComboBox* m_status = nullptr;      // ComboBox2
    QLineEdit* m_statusShown = nullptr; // Edit15
    QLabel* m_diskSpace = nullptr;      // Label16
    QLineEdit* m_logLink = nullptr;     // Edit13
    QLabel* m_commentCaption = nullptr; // Label1
    QPlainTextEdit* m_comment = nullptr; // Memo1
    QLabel* m_versionCaption = nullptr; // Label14
    QLineEdit* m_version[3] = {};       // Edit6, Edit8, Edit10
    QCheckBox* m_addVersion = nullptr;  // CheckBox5
    QLabel* m_message = nullptr;        // Label4
    QPushButton* m_ok = nullptr;        // OKBtn
    QPushButton* m_cancel = nullptr;    // CancelBtn
    bool m_focusStatus = false;
};

} // namespace kp::ui
