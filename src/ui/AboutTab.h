// The About tab: product and version, the home page and the help file.
#pragma once
#include <QLabel>
#include <QWidget>

#include "engine/AboutModel.h"

namespace kp::ui {

class OptionsWindow;

class AboutTab : public QWidget {
    Q_OBJECT
public:
    explicit AboutTab(OptionsWindow& window);

    // The help link: opens Kestrelpad.chm (or, where the desktop has no program for it,
    // the same help as HTML pages); beeps and says so when the file is missing.
    void openHelp();
    // The home-page link: the project's page, or the user guide until there is one.
    void openHomePage();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static HelpLocation helpLocation();
    static HomePage currentHomePage();

    OptionsWindow& m_window;
    QLabel* m_homePage = nullptr; // Label24
    QLabel* m_helpFile = nullptr; // Label29
    QLabel* m_blank = nullptr;    // Label23
};

} // namespace kp::ui
