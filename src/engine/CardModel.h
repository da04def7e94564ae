// What the progress card shows of the run, as texts ready to paint.
#pragma once
#include <string>

#include "engine/RunState.h"

namespace kp {

// How the progress card is shown: hidden but working (the timer runs, Ctrl still reaches the
// run), shown fully, or fading out.
enum class CardVisibility { Hidden, Shown, FadeOut };

// The card as the saved settings show it at start-up.
inline CardVisibility startVisibility(int showWindow) {
    return showWindow >= 1 ? CardVisibility::Shown : CardVisibility::Hidden;
}

struct CardView {
    std::string title;          // "Kestrelpad-1.1.1"
    std::string projectName;    // cut to 60 characters when long
    bool smallProjectFont = false; // a name over 44 characters is shown in the smaller font
    std::string dateLabel;      // the new archive's stamp, "Canceled" or the same-project text
    std::string statusLabel;    // "[ standard ]"
    std::string ignoredText;    // "12 items ignored" under the date while a store leaves items out; else empty
    std::string diskSpaceText;
    std::string restoringText;  // shown instead of the item meter while a restore runs
};

CardView cardView(const RunState& state);

} // namespace kp
