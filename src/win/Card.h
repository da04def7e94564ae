// The progress card: a 500 x 250 borderless window cut round at its corners, on top of the
// others, showing the card picture, the run's texts and two meters. A click on it or Ctrl
// opens the options window while the run still allows it.
#pragma once
#include <windows.h>

#include "engine/CardModel.h"
#include "engine/Engine.h"

namespace kp::win {

class Card {
public:
    Card(HINSTANCE instance, HWND owner, Engine& engine);
    ~Card();

    void show(bool visible);
    // The Settings page's Save: 1 makes the card opaque and shown, 10 fades it out.
    void setVisibility(CardVisibility visibility);
    void refresh();
    void setProgress(ProgressScope scope, int percent);
    void requestClose();
    HWND window() const { return m_window; }

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void paint(HDC dc);
    void publishTexts(const CardView& v);
    void closeQuery();
    void fadeOutAndFinish();
    void fade();

    Engine& m_engine;
    HWND m_window = nullptr;
    HBITMAP m_picture = nullptr;
    bool m_visible = true;
    bool m_closeAllowed = false;
    int m_archivePercent = 0, m_itemPercent = 0;
};

} // namespace kp::win
