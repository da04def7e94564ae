// The progress card: the small picture card that stays on top while a run works. It shows
// the run's state and passes the user's Ctrl and clicks, its showing and its closing on to
// the engine.
#pragma once
#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "engine/CardModel.h"
#include "engine/Engine.h"
#include "ui/Meter.h"

namespace kp::ui {

class ProgressCard : public QWidget {
    Q_OBJECT
public:
    explicit ProgressCard(Engine& engine, QWidget* parent = nullptr);

    void setWindowVisibility(CardVisibility visibility);
    // Shows the run state's texts now (the card may be busy right after, restoring).
    void refresh();
    void setProgress(ProgressScope scope, int percent);
    bool optionsShowing() const { return m_optionsShowing; }
    void setOptionsShowing(bool showing) { m_optionsShowing = showing; }
    // Closes the card and ends the run: the engine's close query decides, then the card
    // waits 500 ms and fades out.
    void closeRun();

signals:
    void finished(); // the card has faded out: the program may end

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void centreOnScreen();
    void pollCtrlWhileHidden();
    void fadeOutAndFinish();
    // Lowers the opacity in steps of 5 of 255, one step each 10 ms where a compositor shows
    // them (about half a second in all), at once elsewhere; then hides and calls done.
    void fadeOut(std::function<void()> done);
    void fadeStep();

    Engine& m_engine;
    QLabel* m_picture = nullptr;  // Image2
    QLabel* m_title = nullptr;    // Label2
    QLabel* m_project = nullptr;  // Label5
    QLabel* m_date = nullptr;     // Label4
    QLabel* m_ignored = nullptr;  // Label8: how many items the ignore file left out
    Meter* m_itemMeter = nullptr; // AbMeter2
    QLabel* m_restoring = nullptr; // Label6
    Meter* m_archiveMeter = nullptr; // AbMeter1
    QLabel* m_resource = nullptr; // Label3
    QLabel* m_status = nullptr;   // Label7
    QLabel* m_disk = nullptr;     // Label1
    QTimer m_ctrlPoll;
    QTimer m_fade;
    int m_fadeAlpha = 0;
    std::function<void()> m_fadeDone;
    bool m_shownOnce = false;
    bool m_optionsShowing = false;
    bool m_closeAllowed = false;
    bool m_invisible = false;
};

} // namespace kp::ui
