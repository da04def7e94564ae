#include "ui/SettingsTab.h"

#include <QApplication>
#include <QKeyEvent>
#include <QStyle>
#include <QStyleOptionComboBox>

#include "ui/InputLanguages.h"
#include "ui/MessageBox.h"
#include "ui/OptionsWindow.h"
#include "ui/UpDownArrows.h"
#include "ui/ValueLabel.h"
#include "ui_SettingsTab.h"

namespace kp::ui {

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

const QColor kGrey(0x80, 0x80, 0x80);

void setTextColour(QWidget* w, const QColor& colour) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Text, colour);
    pal.setColor(QPalette::WindowText, colour);
    w->setPalette(pal);
}

} // namespace

SettingsTab::SettingsTab(OptionsWindow& window) : m_window(window), m_ui(std::make_unique<Ui::SettingsTab>()) {
    m_model = std::make_unique<SettingsModel>(window.context().engine.edits(),
                                              commentLanguages(desktopInputLanguages()));
    m_ui->setupUi(this);
    setUpControls();
    refresh();
}

SettingsTab::~SettingsTab() = default;

void SettingsTab::setUpControls() {
    Ui::SettingsTab& ui = *m_ui;
    m_language = ui.ComboBox1;
    m_languageShown = ui.Edit14;
    m_columnCaptions[0] = ui.Label10;
    m_columnCaptions[1] = ui.Label11;
    m_columnCaptions[2] = ui.Label8;
    m_showWindow = ui.CheckBox4;
    m_showFolder = ui.CheckBox3;
    m_save = ui.Button2;
    m_blank = ui.Label19;

    for (const auto& item : m_model->languageItems()) m_language->addItem(q(item));
    m_language->setCurrentIndex(m_model->selectedLanguage());
    m_language->installEventFilter(this);
    // The chosen language is shown in an edit laid over the box's text, grey while the box
    // is not in use.
    m_languageShown->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_languageShown->setText(m_language->currentText());
    setTextColour(m_languageShown, kGrey);
    connect(m_language, &QComboBox::currentIndexChanged, this, &SettingsTab::languageChosen);

    for (QLabel* caption : m_columnCaptions) caption->installEventFilter(this);
    setUpValue(SettingsModel::Standard, ui.StandardValue, ui.Edit1, ui.Edit7, ui.UpDown1);
    setUpValue(SettingsModel::Important, ui.ImportantValue, ui.Edit3, ui.Edit9, ui.UpDown2);
    setUpValue(SettingsModel::Valuable, ui.ValuableValue, ui.Edit5, ui.Edit11, ui.UpDown3);
    setUpValue(SettingsModel::Capacity, ui.CapacityValue, ui.Edit4, ui.Edit12, ui.UpDown4);
    setTextColour(ui.Edit2, kGrey);

    m_showWindow->setChecked(m_model->showWindowEdited());
    connect(m_showWindow, &QCheckBox::toggled, this, [this](bool on) {
        m_model->setShowWindow(on);
        refresh();
    });
    m_showFolder->setChecked(m_model->showArchiveFolderEdited());
    connect(m_showFolder, &QCheckBox::toggled, this, [this](bool on) {
        m_model->setShowArchiveFolder(on);
        refresh();
    });
    connect(m_save, &QPushButton::clicked, this, &SettingsTab::save);
    nameValueLabel(m_blank, QStringLiteral("Blank label"));
    m_blank->installEventFilter(this);
}

// The display edit covers the value edit; clicks go through to it, the focus stays there.
void SettingsTab::setUpValue(SettingsModel::Value v, QWidget* box, QLineEdit* edit, QLineEdit* display,
                             UpDownArrows* arrows) {
    m_values[v] = {edit, display, arrows};
    edit->installEventFilter(this);
    display->setAttribute(Qt::WA_TransparentForMouseEvents);
    shadeDisplay(display, false);
    arrows->setValueName(edit->accessibleName());
    connect(arrows, &UpDownArrows::stepped, this, [this, v](Step s) { stepValue(v, s); });
    box->setFixedSize(box->sizeHint());
}

void SettingsTab::stepValue(SettingsModel::Value v, Step direction) {
    m_values[v].edit->setFocus(Qt::OtherFocusReason);
    m_model->step(v, direction);
    refresh();
}

void SettingsTab::languageChosen(int index) {
    m_languageShown->setText(m_language->itemText(index));
    setTextColour(m_languageShown, palette().color(QPalette::WindowText));
    m_model->chooseLanguage(index);
    refresh();
}

void SettingsTab::refresh() {
    for (int i = 0; i < 4; ++i) {
        const auto v = SettingsModel::Value(i);
        const UpDown& u = m_model->upDown(v);
        m_values[i].edit->setText(QString::number(u.position));
        m_values[i].display->setText(q(m_model->displayText(v)));
        m_values[i].arrows->setEnabled(u.enabled);
    }
    m_save->setEnabled(m_model->saveEnabled());
}

void SettingsTab::save() {
    const SettingsSaveResult r = m_model->save();
    if (!r.visibilityMessage.empty()) MessageBox::show(&m_window, MessageBox::Kind::Plain, q(r.visibilityMessage));
    if (r.cardVisibility && m_window.context().setCardVisibility) m_window.context().setCardVisibility(*r.cardVisibility);
    if (!r.written()) {
        QApplication::beep();
        MessageBox::show(&m_window, MessageBox::Kind::Error, q(r.failure->text));
    }
    if (r.hideMessageLine) m_window.showMessageLine({"  ", false, false});
    refresh();
}

void SettingsTab::placeLanguageOverlay() {
    QStyleOptionComboBox option;
    option.initFrom(m_language);
    option.editable = false;
    const QRect field =
        m_language->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, m_language);
    m_languageShown->setGeometry(field.adjusted(1, 1, -1, -1));
}

void SettingsTab::shadeDisplay(QLineEdit* display, bool focused) {
    setTextColour(display, focused ? palette().color(QPalette::WindowText) : kGrey);
}

bool SettingsTab::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched == m_language) {
        if (type == QEvent::Resize || type == QEvent::Show) placeLanguageOverlay();
        else if (type == QEvent::FocusIn) setTextColour(m_languageShown, palette().color(QPalette::WindowText));
        else if (type == QEvent::FocusOut) setTextColour(m_languageShown, kGrey);
        return false;
    }
    for (int i = 0; i < 3; ++i) {
        if (watched == m_columnCaptions[i] && type == QEvent::MouseButtonPress) {
            m_values[i].edit->setFocus(Qt::MouseFocusReason);
            return true;
        }
    }
    if (watched == m_blank && type == QEvent::MouseButtonPress) {
        if (const auto text = m_model->hiddenMessage()) MessageBox::show(&m_window, MessageBox::Kind::Plain, q(*text));
        return true;
    }
    for (int i = 0; i < 4; ++i) {
        ValueControls& c = m_values[i];
        if (watched != c.edit) continue;
        switch (type) {
        case QEvent::Resize: c.display->setGeometry(c.edit->rect().adjusted(2, 2, -2, -2)); break;
        case QEvent::FocusIn: shadeDisplay(c.display, true); break;
        case QEvent::FocusOut: shadeDisplay(c.display, false); break;
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Up || key == Qt::Key_Down) {
                stepValue(SettingsModel::Value(i), key == Qt::Key_Up ? Step::Up : Step::Down);
                return true;
            }
            break;
        }
        default: break;
        }
        return false;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace kp::ui
