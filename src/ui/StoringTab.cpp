#include "ui/StoringTab.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QShortcut>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QVBoxLayout>

#include "engine/RunLimits.h"
#include "ui/OptionsWindow.h"
#include "ui/ValueLabel.h"

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

StoringTab::StoringTab(OptionsWindow& window) : m_window(window) {
    setObjectName(QStringLiteral("TabSheet1"));
    setAccessibleName(QStringLiteral("Storing"));
    buildControls();
}

void StoringTab::buildControls() {
    OptionsModel& model = m_window.model();

    m_statusCaption = new QLabel(QStringLiteral("Project status: "), this);
    m_statusCaption->setObjectName(QStringLiteral("Label6"));
    m_status = new QComboBox(this);
    m_status->setObjectName(QStringLiteral("ComboBox2"));
    m_status->setAccessibleName(QStringLiteral("Project status"));
    for (const auto& item : OptionsModel::statusItems()) m_status->addItem(q(item));
    m_status->setCurrentIndex(model.status());
    m_statusCaption->setBuddy(m_status);
    // The chosen status is shown in an edit laid over the box's text; it never takes the focus.
    m_statusShown = new QLineEdit(m_status);
    m_statusShown->setObjectName(QStringLiteral("Edit15"));
    m_statusShown->setAccessibleName(QStringLiteral("Chosen status"));
    m_statusShown->setFrame(false);
    m_statusShown->setReadOnly(true);
    m_statusShown->setFocusPolicy(Qt::NoFocus);
    m_statusShown->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_statusShown->setText(m_status->currentText());
    connect(m_status, &QComboBox::activated, this, &StoringTab::statusChosen);

    m_diskSpace = new QLabel(q(model.diskSpaceText()), this);
    m_diskSpace->setObjectName(QStringLiteral("Label16"));
    nameValueLabel(m_diskSpace, QStringLiteral("Disk space"));
    m_diskSpace->setAlignment(Qt::AlignCenter);

    m_logLink = new QLineEdit(QStringLiteral("     Project log"), this);
    m_logLink->setObjectName(QStringLiteral("Edit13"));
    m_logLink->setAccessibleName(QStringLiteral("Project log"));
    m_logLink->setFrame(false);
    m_logLink->setReadOnly(true);
    m_logLink->setFocusPolicy(Qt::NoFocus);
    m_logLink->setCursor(Qt::PointingHandCursor);
    QFont linkFont = m_logLink->font();
    linkFont.setUnderline(true);
    m_logLink->setFont(linkFont);
    setTextColour(m_logLink, QColor(0, 0, 0x80));
    m_logLink->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; }"));
    m_logLink->installEventFilter(this);

    m_commentCaption = new QLabel(QStringLiteral("Archive comment:"), this);
    m_commentCaption->setObjectName(QStringLiteral("Label1"));
    m_comment = new QPlainTextEdit(this);
    m_comment->setObjectName(QStringLiteral("Memo1"));
    m_comment->setAccessibleName(QStringLiteral("Archive comment"));
    m_comment->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_comment->setTabChangesFocus(true);
    m_commentCaption->setBuddy(m_comment);

    m_versionCaption = new QLabel(this);
    m_versionCaption->setObjectName(QStringLiteral("Label14"));
    const std::vector<std::string> parts = model.takeLastVersion();
    const char* names[3] = {"Edit6", "Edit8", "Edit10"};
    for (int i = 0; i < 3; ++i) {
        m_version[i] = new QLineEdit(q(parts[std::size_t(i)]), this);
        m_version[i]->setObjectName(QString::fromLatin1(names[i]));
        m_version[i]->setAccessibleName(QStringLiteral("Version part %1").arg(i + 1));
        m_version[i]->setMaxLength(int(kVersionPartLength[i]));
    }
    m_addVersion = new QCheckBox(QStringLiteral(" Add new version"), this);
    m_addVersion->setObjectName(QStringLiteral("CheckBox5"));
    connect(m_addVersion, &QCheckBox::toggled, this, &StoringTab::newVersionSwitched);
    newVersionSwitched(false);

    m_message = new QLabel(QStringLiteral("  "), this);
    m_message->setObjectName(QStringLiteral("Label4"));
    nameValueLabel(m_message, QStringLiteral("Message"));
    m_message->setAlignment(Qt::AlignCenter);
    m_message->setWordWrap(true);
    m_message->setAutoFillBackground(true);
    m_message->hide();

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("OKBtn"));
    m_ok->setDefault(false);
    m_ok->setAutoDefault(false);
    connect(m_ok, &QPushButton::clicked, &m_window, &QDialog::accept);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("CancelBtn"));
    m_cancel->setAutoDefault(false);
    connect(m_cancel, &QPushButton::clicked, &m_window, &QDialog::reject);
    // Return in the comment is a line break; Ctrl+Return is OK.
    for (auto key : {Qt::CTRL | Qt::Key_Return, Qt::CTRL | Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, [this] {
            if (m_ok->isEnabled()) pressOk();
        });
    }

    auto* top = new QGridLayout;
    top->addWidget(m_statusCaption, 0, 0);
    top->addWidget(m_status, 0, 1);
    top->addWidget(m_diskSpace, 0, 2);
    top->addWidget(m_logLink, 1, 2);
    top->addWidget(m_commentCaption, 1, 0, 1, 2, Qt::AlignBottom);
    top->setColumnStretch(1, 1);
    top->setColumnStretch(2, 1);

    auto* versionRow = new QHBoxLayout;
    versionRow->addWidget(m_versionCaption);
    for (int i = 0; i < 3; ++i) {
        versionRow->addWidget(m_version[i], i == 2 ? 4 : 1);
        if (i < 2) {
            auto* dot = new QLabel(QStringLiteral("."), this);
            dot->setObjectName(QString::fromLatin1(i == 0 ? "Label17" : "Label15"));
            versionRow->addWidget(dot);
        }
    }
    versionRow->addSpacing(12);
    versionRow->addWidget(m_addVersion);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->setSpacing(4);
    layout->addLayout(top);
    layout->addWidget(m_comment, 1);
    layout->addLayout(versionRow);
    layout->addWidget(m_message);
    layout->addLayout(buttons);
    setTabOrder(m_status, m_comment);
    setTabOrder(m_comment, m_version[0]);
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
