#include "ui/SettingsTab.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/InputLanguages.h"
#include "ui/MessageBox.h"
#include "ui/OptionsWindow.h"
#include "ui/ValueLabel.h"

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

// An up-down: two arrow buttons that never take the focus; a press steps the value.
class UpDownArrows : public QWidget {
public:
    UpDownArrows(const QString& name, std::function<void(Step)> step, QWidget* parent) : QWidget(parent) {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        for (Step s : {Step::Up, Step::Down}) {
            auto* b = new QToolButton(this);
            b->setArrowType(s == Step::Up ? Qt::UpArrow : Qt::DownArrow);
            b->setAccessibleName(name + (s == Step::Up ? QStringLiteral(" up") : QStringLiteral(" down")));
            b->setFocusPolicy(Qt::NoFocus);
            b->setAutoRepeat(true);
            b->setFixedSize(16, 11);
            connect(b, &QToolButton::clicked, this, [step, s] { step(s); });
            layout->addWidget(b);
        }
        setFixedWidth(16);
    }
};

SettingsTab::SettingsTab(OptionsWindow& window) : m_window(window) {
    setObjectName(QStringLiteral("TabSheet3"));
    setAccessibleName(QStringLiteral("Settings"));
    m_model = std::make_unique<SettingsModel>(window.context().engine.edits(),
                                              commentLanguages(desktopInputLanguages()));
    buildControls();
    refresh();
}

SettingsTab::~SettingsTab() = default;

QWidget* SettingsTab::makeValue(SettingsModel::Value v, const char* editName, const char* displayName,
                                const char* upDownName, const QString& accessibleName) {
    auto* box = new QWidget(this);
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    ValueControls& c = m_values[v];
    c.edit = new QLineEdit(box);
    c.edit->setObjectName(QString::fromLatin1(editName));
    c.edit->setAccessibleName(accessibleName);
    c.edit->setReadOnly(true);
    c.edit->setFocusPolicy(Qt::StrongFocus);
    c.edit->setContextMenuPolicy(Qt::NoContextMenu);
    c.edit->setFixedWidth(40);
    c.edit->installEventFilter(this);
    // The display edit covers the value edit; clicks go through to it, the focus stays there.
    c.display = new QLineEdit(c.edit);
    c.display->setObjectName(QString::fromLatin1(displayName));
    c.display->setAccessibleName(accessibleName + QStringLiteral(" shown"));
    c.display->setFrame(false);
    c.display->setReadOnly(true);
    c.display->setFocusPolicy(Qt::NoFocus);
    c.display->setAttribute(Qt::WA_TransparentForMouseEvents);
    c.display->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    shadeDisplay(c.display, false);
    c.arrows = new UpDownArrows(accessibleName, [this, v](Step s) { stepValue(v, s); }, box);
    c.arrows->setObjectName(QString::fromLatin1(upDownName));
    row->addWidget(c.edit);
    row->addWidget(c.arrows);
    box->setFixedSize(box->sizeHint());
    return box;
}

void SettingsTab::buildControls() {
    auto* languageCaption = new QLabel(QStringLiteral("Comment language:"), this);
    languageCaption->setObjectName(QStringLiteral("Label2"));
    m_language = new QComboBox(this);
    m_language->setObjectName(QStringLiteral("ComboBox1"));
    m_language->setAccessibleName(QStringLiteral("Comment language"));
    for (const auto& item : m_model->languageItems()) m_language->addItem(q(item));
    m_language->setCurrentIndex(m_model->selectedLanguage());
    m_language->installEventFilter(this);
    languageCaption->setBuddy(m_language);
    // The chosen language is shown in an edit laid over the box's text, grey while the box
    // is not in use.
    m_languageShown = new QLineEdit(m_language);
    m_languageShown->setObjectName(QStringLiteral("Edit14"));
    m_languageShown->setAccessibleName(QStringLiteral("Chosen comment language"));
    m_languageShown->setFrame(false);
    m_languageShown->setReadOnly(true);
    m_languageShown->setFocusPolicy(Qt::NoFocus);
    m_languageShown->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_languageShown->setText(m_language->currentText());
    setTextColour(m_languageShown, kGrey);
    connect(m_language, &QComboBox::currentIndexChanged, this, &SettingsTab::languageChosen);

    auto* statusCaption = new QLabel(QStringLiteral("Project status"), this);
    statusCaption->setObjectName(QStringLiteral("Label9"));
    statusCaption->setAlignment(Qt::AlignCenter);
    const char* captionNames[3] = {"Label10", "Label11", "Label8"};
    const char* captions[3] = {"Standard", "Important", "Valuable"};
    for (int i = 0; i < 3; ++i) {
        m_columnCaptions[i] = new QLabel(QString::fromLatin1(captions[i]), this);
        m_columnCaptions[i]->setObjectName(QString::fromLatin1(captionNames[i]));
        m_columnCaptions[i]->setAlignment(Qt::AlignCenter);
        m_columnCaptions[i]->installEventFilter(this);
    }

    auto* majorCaption = new QLabel(QStringLiteral("Major  train's  length (L):"), this);
    majorCaption->setObjectName(QStringLiteral("Label5"));
    QWidget* standard = makeValue(SettingsModel::Standard, "Edit1", "Edit7", "UpDown1",
                                  QStringLiteral("Major train length, standard"));
    QWidget* important = makeValue(SettingsModel::Important, "Edit3", "Edit9", "UpDown2",
                                   QStringLiteral("Major train length, important"));
    QWidget* valuable = makeValue(SettingsModel::Valuable, "Edit5", "Edit11", "UpDown3",
                                  QStringLiteral("Major train length, valuable"));
    for (int i = 0; i < 3; ++i) m_columnCaptions[i]->setBuddy(m_values[i].edit);

    auto* minorCaption = new QLabel(QStringLiteral("Minor train's number (N):"), this);
    minorCaption->setObjectName(QStringLiteral("Label7"));
    auto* minor = new QLineEdit(QStringLiteral(" 0.5 L"), this);
    minor->setObjectName(QStringLiteral("Edit2"));
    minor->setAccessibleName(QStringLiteral("Minor train's number"));
    minor->setEnabled(false);
    minor->setFixedWidth(56);
    setTextColour(minor, kGrey);
    auto* capacityCaption = new QLabel(QStringLiteral("and capacity (C):"), this);
    capacityCaption->setObjectName(QStringLiteral("Label12"));
    capacityCaption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* timesL = new QLabel(QStringLiteral("L x"), this);
    timesL->setObjectName(QStringLiteral("Label13"));
    QWidget* capacity = makeValue(SettingsModel::Capacity, "Edit4", "Edit12", "UpDown4",
                                  QStringLiteral("Capacity factor"));
    m_values[SettingsModel::Capacity].display->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    timesL->setBuddy(m_values[SettingsModel::Capacity].edit);
    auto* capacityRow = new QHBoxLayout;
    capacityRow->setSpacing(4);
    capacityRow->addStretch(1);
    capacityRow->addWidget(capacityCaption);
    capacityRow->addWidget(timesL);
    capacityRow->addWidget(capacity);

    const SettingsModel& model = *m_model;
    m_showWindow = new QCheckBox(QStringLiteral(" Show window"), this);
    m_showWindow->setObjectName(QStringLiteral("CheckBox4"));
    m_showWindow->setChecked(model.showWindowEdited());
    connect(m_showWindow, &QCheckBox::toggled, this, [this](bool on) {
        m_model->setShowWindow(on);
        refresh();
    });
    m_showFolder = new QCheckBox(QStringLiteral(" Show tarnel folder"), this);
    m_showFolder->setObjectName(QStringLiteral("CheckBox3"));
    m_showFolder->setChecked(model.showArchiveFolderEdited());
    connect(m_showFolder, &QCheckBox::toggled, this, [this](bool on) {
        m_model->setShowArchiveFolder(on);
        refresh();
    });

    m_save = new QPushButton(QStringLiteral("Save"), this);
    m_save->setObjectName(QStringLiteral("Button2"));
    m_save->setAutoDefault(false);
    connect(m_save, &QPushButton::clicked, this, &SettingsTab::save);

    m_blank = new QLabel(QStringLiteral("       "), this);
    m_blank->setObjectName(QStringLiteral("Label19"));
    nameValueLabel(m_blank, QStringLiteral("Blank label"));
    m_blank->installEventFilter(this);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(6);
    grid->addWidget(statusCaption, 0, 1, 1, 3);
    for (int i = 0; i < 3; ++i) grid->addWidget(m_columnCaptions[i], 1, i + 1);
    grid->addWidget(majorCaption, 2, 0);
    grid->addWidget(standard, 2, 1, Qt::AlignCenter);
    grid->addWidget(important, 2, 2, Qt::AlignCenter);
    grid->addWidget(valuable, 2, 3, Qt::AlignCenter);
    grid->addWidget(minorCaption, 3, 0);
    grid->addWidget(minor, 3, 1, Qt::AlignCenter);
    grid->addLayout(capacityRow, 3, 2, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);
    grid->setColumnStretch(3, 1);

    auto* languageRow = new QHBoxLayout;
    languageRow->addWidget(languageCaption);
    languageRow->addWidget(m_language, 1);

    auto* boxes = new QHBoxLayout;
    boxes->addWidget(m_showWindow);
    boxes->addSpacing(16);
    boxes->addWidget(m_showFolder);
    boxes->addStretch(1);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_blank);
    bottom->addStretch(1);
    bottom->addWidget(m_save);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 6);
    layout->setSpacing(8);
    layout->addLayout(languageRow);
    layout->addSpacing(4);
    layout->addLayout(grid);
    layout->addSpacing(4);
    layout->addLayout(boxes);
    layout->addStretch(1);
    layout->addLayout(bottom);

    setTabOrder(m_language, m_values[0].edit);
    setTabOrder(m_values[0].edit, m_values[1].edit);
    setTabOrder(m_values[1].edit, m_values[2].edit);
    setTabOrder(m_values[2].edit, m_values[3].edit);
    setTabOrder(m_values[3].edit, m_showWindow);
    setTabOrder(m_showWindow, m_showFolder);
    setTabOrder(m_showFolder, m_save);
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
