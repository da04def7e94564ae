#include "ui/StoringTab.h"

#include <QMouseEvent>
#include <QShortcut>
#include <QStyle>
#include <QStyleOptionComboBox>

#include "engine/RunLimits.h"
#include "ui/OptionsWindow.h"
#include "ui/ValueLabel.h"
#include "ui_StoringTab.h"

namespace kp::ui {

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

void setTextColour(QWidget* w, const QColor& colour) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, colour);
    pal.setColor(QPalette::Text, colour);
    w->setPalette(pal);
}

} // namespace

StoringTab::StoringTab(OptionsWindow& window) : m_window(window), m_ui(std::make_unique<Ui::StoringTab>()) {
    m_ui->setupUi(this);
    setUpControls();
}

StoringTab::~StoringTab() = default;

void StoringTab::setUpControls() {
    Ui::StoringTab& ui = *m_ui;
    m_statusCaption = ui.Label6;
    m_status = ui.ComboBox2;
    m_statusShown = ui.Edit15;
    m_diskSpace = ui.Label16;
    m_logLink = ui.Edit13;
    m_commentCaption = ui.Label1;
    m_comment = ui.Memo1;
    m_versionCaption = ui.Label14;
    m_version[0] = ui.Edit6;
    m_version[1] = ui.Edit8;
    m_version[2] = ui.Edit10;
    m_addVersion = ui.CheckBox5;
    m_message = ui.Label4;
    m_ok = ui.OKBtn;
    m_cancel = ui.CancelBtn;
    OptionsModel& model = m_window.model();

    for (const auto& item : OptionsModel::statusItems()) m_status->addItem(q(item));
    m_status->setCurrentIndex(model.status());
    // The chosen status is shown in an edit laid over the box's text; it never takes the focus.
    m_statusShown->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_statusShown->setText(m_status->currentText());
    connect(m_status, &QComboBox::activated, this, &StoringTab::statusChosen);

    setValueText(m_diskSpace, q(model.diskSpaceText()));
    nameValueLabel(m_diskSpace, QStringLiteral("Disk space"));
    setTextColour(m_logLink, QColor(0, 0, 0x80));
    m_logLink->installEventFilter(this);

    const std::vector<std::string> parts = model.takeLastVersion();
    for (int i = 0; i < 3; ++i) {
        m_version[i]->setText(q(parts[std::size_t(i)]));
        m_version[i]->setMaxLength(int(kVersionPartLength[i]));
    }
    connect(m_addVersion, &QCheckBox::toggled, this, &StoringTab::newVersionSwitched);
    newVersionSwitched(false);

    nameValueLabel(m_message, QStringLiteral("Message"));
    m_message->hide();

    connect(m_ok, &QPushButton::clicked, &m_window, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, &m_window, &QDialog::reject);
    // Return in the comment is a line break; Ctrl+Return is OK.
    for (auto key : {Qt::CTRL | Qt::Key_Return, Qt::CTRL | Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, [this] {
            if (m_ok->isEnabled()) pressOk();
        });
    }
}

void StoringTab::placeStatusOverlay() {
    QStyleOptionComboBox option;
    option.initFrom(m_status);
    option.editable = false;
    QRect field = m_status->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, m_status);
    m_statusShown->setGeometry(field.adjusted(1, 1, -1, -1));
}

OptionsChoice StoringTab::choice() const {
    OptionsChoice c;
    c.projectStatus = m_status->currentIndex();
    c.comment = OptionsModel::storedComment(m_comment->toPlainText().toStdString());
    c.addVersion = m_addVersion->isChecked();
    c.versionPart1 = m_version[0]->text().toStdString();
    c.versionPart2 = m_version[1]->text().toStdString();
    c.versionPart3 = m_version[2]->text().toStdString();
    return c;
}

void StoringTab::tabShown() {
    placeStatusOverlay();
    MessageLine line;
    if (m_window.model().storingTabLine(line)) showMessageLine(line);
}

void StoringTab::focusFirst() {
    if (m_focusStatus) m_status->setFocus(Qt::OtherFocusReason);
    else m_comment->setFocus(Qt::OtherFocusReason);
}

void StoringTab::focusStatus() {
    m_focusStatus = true;
    m_status->setFocus(Qt::OtherFocusReason);
}

void StoringTab::setOkEnabled(bool enabled) { m_ok->setEnabled(enabled); }

void StoringTab::showMessageLine(const MessageLine& line) {
    setValueText(m_message, QString::fromStdString(line.text).replace(QLatin1String("\r\n"), QLatin1String("\n")));
    // The line stands on navy; "red" is a red that reads there, the window-text colour white.
    QPalette pal = m_message->palette();
    pal.setColor(QPalette::Window, QColor(0, 0, 0x80));
    pal.setColor(QPalette::WindowText, line.red ? QColor(0xFF, 0x50, 0x50) : QColor(Qt::white));
    m_message->setPalette(pal);
    m_message->setVisible(line.visible);
}

void StoringTab::pressOk() { m_window.accept(); }

void StoringTab::showComment(const std::string& comment) {
    m_comment->setPlainText(q(OptionsModel::shownComment(comment)));
}

void StoringTab::clearNewVersion() { m_addVersion->setChecked(false); }

void StoringTab::statusChosen(int index) {
    m_statusShown->setText(m_status->itemText(index));
    m_focusStatus = false;
    showMessageLine(m_window.model().chooseStatus(index));
}

void StoringTab::newVersionSwitched(bool on) {
    const VersionRow row = OptionsModel::versionRow(on);
    m_versionCaption->setText(q(row.caption));
    setTextColour(m_versionCaption, row.grey ? QColor(0x80, 0x80, 0x80) : QColor(Qt::black));
    const std::vector<std::string> parts = m_window.model().versionParts();
    for (int i = 0; i < 3; ++i) {
        m_version[i]->setEnabled(row.editsEnabled);
        if (row.resetParts) m_version[i]->setText(q(parts[std::size_t(i)]));
    }
}

bool StoringTab::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_logLink && event->type() == QEvent::MouseButtonPress) {
        m_window.openProjectLog();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace kp::ui
