// The Tools tab: the stored states with their comments, and the restore of one of them.
// What is listed, the texts, and when the restore may be armed come from StatesModel; the
// request itself is the engine's.
#pragma once
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>
#include <memory>

#include "engine/StatesModel.h"

namespace Ui {
class ToolsTab;
}

namespace kp::ui {

class OptionsWindow;

class ToolsTab : public QWidget {
    Q_OBJECT
public:
    explicit ToolsTab(OptionsWindow& window);
    ~ToolsTab() override;

    // The window's activation rules reach the recovery controls through these.
    void setRecoveryEnabled(bool enabled);
    void disableReplace();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // What the form cannot say: filters, palettes, the menu key and the connections.
    void setUpControls();
    void fillStates();
    // Shows path, position and comment of the row (the comment once the tab is on screen).
    void showState(int row);
    void readShownComment();
    void openArchive();
    void parentsSwitched(bool on);
    void recoverySwitched(bool checked);
    void refreshRecovery();
    void requestRestore();
    // "Show changes…" and "Copy files out…" of the state under the pointer or the selection.
    void showStateMenu(const QPoint& at);
    bool listKey(QKeyEvent* key);
    bool commentKey(QKeyEvent* key);
    void paintFocus(QWidget* w, bool focused);

    OptionsWindow& m_window;
    StatesModel m_model;
    std::unique_ptr<Ui::ToolsTab> m_ui; // forms/ToolsTab.ui
    QLabel* m_path = nullptr;          // Label3
    QListWidget* m_list = nullptr;     // ListBox1
    QPlainTextEdit* m_comment = nullptr; // Memo3
    QLabel* m_position = nullptr;      // Label21
    QLabel* m_count = nullptr;         // Label18
    QCheckBox* m_recovery = nullptr;   // CheckBox2
    QPushButton* m_replace = nullptr;  // Button3
    QCheckBox* m_parents = nullptr;    // CheckBox1
    int m_shownRow = -1;
    bool m_commentPending = false; // the shown row's comment is read when the tab comes into view
    bool m_windowAllowsRecovery = true;
};

} // namespace kp::ui
