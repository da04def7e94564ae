// The Settings tab: the comment language, the train lengths, the capacity factor and the
// two visibility boxes, held aside until Save writes them into setting.ini. The rules of
// the values live in SettingsModel; the tab shows them and passes on what the user did.
#pragma once
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <memory>

#include "engine/SettingsModel.h"

namespace Ui {
class SettingsTab;
}

namespace kp::ui {

class OptionsWindow;
class UpDownArrows;

class SettingsTab : public QWidget {
    Q_OBJECT
public:
    explicit SettingsTab(OptionsWindow& window);
    ~SettingsTab() override;

    SettingsModel& model() { return *m_model; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct ValueControls {
        QLineEdit* edit = nullptr;    // Edit1, Edit3, Edit5, Edit4: hold the value and the focus
        QLineEdit* display = nullptr; // Edit7, Edit9, Edit11, Edit12: laid over them, show it
        UpDownArrows* arrows = nullptr; // UpDown1..UpDown4
    };

    // What the form cannot say: the models' items and values, colours, event filters, the
    // connections.
    void setUpControls();
    void setUpValue(SettingsModel::Value v, QWidget* box, QLineEdit* edit, QLineEdit* display,
                    UpDownArrows* arrows);
    void stepValue(SettingsModel::Value v, Step direction);
    void languageChosen(int index);
    void refresh();
    void save();
    void placeLanguageOverlay();
    void shadeDisplay(QLineEdit* display, bool focused);

    OptionsWindow& m_window;
    std::unique_ptr<SettingsModel> m_model;
    std::unique_ptr<Ui::SettingsTab> m_ui; // forms/SettingsTab.ui
    QComboBox* m_language = nullptr;      // ComboBox1
    QLineEdit* m_languageShown = nullptr; // Edit14
    QLabel* m_columnCaptions[3] = {};     // Label10, Label11, Label8
    ValueControls m_values[4];
    QCheckBox* m_showWindow = nullptr;    // CheckBox4
    QCheckBox* m_showFolder = nullptr;    // CheckBox3
    QPushButton* m_save = nullptr;        // Button2
    QLabel* m_blank = nullptr;            // Label19
};

} // namespace kp::ui
