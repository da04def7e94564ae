// The options window: the dialogue in which the user decides what the pending store does.
// Shown modally whenever the run asks for it; what the user chose goes back to the engine
// as an OptionsChoice. The tabs show the run and pass on what the user did.
#pragma once
#include <QDialog>
#include <QTabWidget>
#include <QTimer>
#include <functional>

#include "engine/CardModel.h"
#include "engine/Engine.h"
#include "engine/OptionsModel.h"

namespace kp::ui {

class StoringTab;
class ToolsTab;
class SettingsTab;
class AboutTab;
class ProjectLogWindow;

// What the options window needs of the rest of the program.
struct OptionsContext {
    Engine& engine;
    const Clock& clock;
    ProjectLogWindow* logWindow = nullptr;
    std::function<void(CardVisibility)> setCardVisibility;
};

class OptionsWindow : public QDialog {
    Q_OBJECT
public:
    explicit OptionsWindow(OptionsContext context, QWidget* parent = nullptr);
    ~OptionsWindow() override;

    // Shows the window modally on the Storing tab and returns what the user chose.
    OptionsChoice ask();

    // For the tabs.
    OptionsContext& context() { return m_context; }
    OptionsModel& model() { return m_model; }
    StoringTab* storingTab() const { return m_storing; }
    ToolsTab* toolsTab() const { return m_tools; }
    SettingsTab* settingsTab() const { return m_settings; }
    AboutTab* aboutTab() const { return m_about; }
    QTabWidget* tabs() const { return m_tabs; }
    void showMessageLine(const MessageLine& line);
    void openProjectLog();
    // Closes the window as OK does (the Tools tab after a restore request).
    void acceptAsOk();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void done(int result) override;

private:
    void onActivated();
    void bringToForeground();
    void countdownTick();

    OptionsContext m_context;
    OptionsModel m_model;
    QTabWidget* m_tabs = nullptr;
    StoringTab* m_storing = nullptr;
    ToolsTab* m_tools = nullptr;
    SettingsTab* m_settings = nullptr;
    AboutTab* m_about = nullptr;
    QTimer m_countdown; // TimerFN
    OptionsChoice m_choice;
};

} // namespace kp::ui
