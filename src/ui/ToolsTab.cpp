#include "ui/ToolsTab.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTimer>
#include <QUrl>

#include "store/Messages.h"
#include "ui/MessageBox.h"
#include "ui/ChangesDialog.h"
#include "ui/CopyOutDialog.h"
#include "ui/OptionsWindow.h"
#include "ui/StoringTab.h"
#include "ui/ValueLabel.h"
#include "ui_ToolsTab.h"

namespace kp::ui {

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

const QColor kGrey(0x80, 0x80, 0x80);

} // namespace

ToolsTab::ToolsTab(OptionsWindow& window)
    : m_window(window), m_model(window.context().engine.state()), m_ui(std::make_unique<Ui::ToolsTab>()) {
    m_ui->setupUi(this);
    setUpControls();
    fillStates();
}

ToolsTab::~ToolsTab() = default;

void ToolsTab::setUpControls() {
    Ui::ToolsTab& ui = *m_ui;
    m_path = ui.Label3;
    m_list = ui.ListBox1;
    m_comment = ui.Memo3;
    m_position = ui.Label21;
    m_count = ui.Label18;
    m_recovery = ui.CheckBox2;
    m_replace = ui.Button3;
    m_parents = ui.CheckBox1;

    nameValueLabel(m_path, QStringLiteral("Path"));
    nameValueLabel(m_position, QStringLiteral("Position"));
    nameValueLabel(m_count, QStringLiteral("Number of states"));

    // The list holds hundreds of states at once (uniform item sizes in the form).
    m_list->installEventFilter(this);
    m_list->viewport()->installEventFilter(this);
    paintFocus(m_list, false);
    // Beyond the states themselves: what changed since one, and single files out of it,
    // by the right button, the menu key or Shift+F10.
    connect(m_list, &QListWidget::customContextMenuRequested, this, &ToolsTab::showStateMenu);
    auto* menuKey = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), m_list);
    menuKey->setContext(Qt::WidgetShortcut);
    connect(menuKey, &QShortcut::activated, this, [this] {
        const QRect row = m_list->visualItemRect(m_list->currentItem());
        showStateMenu(row.isValid() ? row.center() : QPoint(4, 4));
    });
    connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) {
        // Up and Down showed their row before the list moved; Home, End, Page Up and Down
        // and type-ahead arrive here.
        if (row >= 0 && row != m_shownRow) showState(row);
    });

    // A read-only view: no caret, no context menu, the focus only by a left click or Space
    // in the list (Tab too), so that a right press changes nothing.
    m_comment->installEventFilter(this);
    m_comment->viewport()->installEventFilter(this);
    paintFocus(m_comment, false);

    connect(m_parents, &QCheckBox::toggled, this, &ToolsTab::parentsSwitched);
    connect(m_recovery, &QCheckBox::toggled, this, &ToolsTab::recoverySwitched);
    // The request is made on the press of the left button only: a key or another button
    // does nothing, so that a restore is always a deliberate click.
    m_replace->installEventFilter(this);
}

void ToolsTab::paintFocus(QWidget* w, bool focused) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Active, QPalette::Text, focused ? QColor(Qt::black) : kGrey);
    pal.setColor(QPalette::Inactive, QPalette::Text, focused ? QColor(Qt::black) : kGrey);
    w->setPalette(pal);
}

void ToolsTab::fillStates() {
    {
        const QSignalBlocker block(m_list);
        m_list->clear();
        QStringList lines;
        for (const std::string& line : m_model.items()) lines << q(line);
        m_list->addItems(lines);
        m_list->setCurrentRow(0);
    }
    setValueText(m_count, q(m_model.countText()));
    if (m_model.empty()) m_comment->clear();
    refreshRecovery();
    showState(0);
}

void ToolsTab::showState(int row) {
    m_shownRow = row;
    const StateView v = m_model.view(row);
    setValueText(m_path, q(v.folderText));
    m_path->setToolTip(q(v.folderHint));
    setValueText(m_position, q(v.position));
    m_comment->clear();
    m_commentPending = !v.archive.empty();
    // The window is made at start-up, also for runs that never show it: comments are read
    // only for a tab on screen, one state at a time.
    if (m_commentPending && isVisible()) readShownComment();
}

void ToolsTab::readShownComment() {
    m_commentPending = false;
    const std::string archive = m_model.archiveAt(m_shownRow);
    if (archive.empty()) return;
    const StateComment c = StatesModel::readComment(archive);
    switch (c.status) {
    case StateComment::Status::Read:
        m_comment->setPlainText(q(c.text)); // the view starts at the first line
        break;
    case StateComment::Status::Missing:
        QApplication::beep();
        MessageBox::show(&m_window, MessageBox::Kind::Plain, QString::fromLatin1(msg::kZipFileNotFound));
        break;
    case StateComment::Status::Unreadable:
        MessageBox::show(&m_window, MessageBox::Kind::Error, q(c.failure->text));
        break;
    }
}

void ToolsTab::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous()) return; // the window came back, not the tab
    m_list->setFocus(Qt::OtherFocusReason);
    // After the tab is on screen, so that a message about the state shows over it.
    QTimer::singleShot(0, this, [this] {
        if (m_commentPending && isVisible()) readShownComment();
    });
}

void ToolsTab::openArchive() {
    const OpenAction a = m_model.openAction(m_list->currentRow());
    switch (a.kind) {
    case OpenAction::Kind::Nothing:
        m_list->setCurrentRow(0);
        break;
    case OpenAction::Kind::Open:
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(a.archive))));
        break;
    case OpenAction::Kind::Missing:
        QApplication::beep();
        MessageBox::show(&m_window, MessageBox::Kind::Plain, QString::fromLatin1(msg::kZipFileNotFound));
        break;
    }
}

void ToolsTab::parentsSwitched(bool on) {
    m_model.showEnclosing(on);
    fillStates();
    m_list->setFocus(Qt::OtherFocusReason);
}

void ToolsTab::refreshRecovery() {
    const bool allowed = m_model.recoveryAllowed(m_windowAllowsRecovery);
    m_recovery->setEnabled(allowed);
    if (!allowed && m_recovery->isChecked()) m_recovery->setChecked(false);
}

void ToolsTab::showStateMenu(const QPoint& at) {
    // The states of enclosing folders belong to other projects: nothing to compare here.
    if (m_model.enclosing() || m_model.empty()) return;
    QListWidgetItem* item = m_list->itemAt(at);
    const int row = item ? m_list->row(item) : m_list->currentRow();
    if (row < 0) return;
    const std::string archive = m_model.archiveAt(row);
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("StateMenu"));
    menu.setAccessibleName(QStringLiteral("State menu"));
    QAction* changes = menu.addAction(QStringLiteral("Show changes…"));
    QAction* copyOut = menu.addAction(QStringLiteral("Copy files out…"));
    QAction* chosen = menu.exec(m_list->viewport()->mapToGlobal(at));
    const Project& project = m_window.context().engine.state();
    if (chosen == changes) {
        ChangesDialog dialog(project, archive, &m_window);
        dialog.exec();
    } else if (chosen == copyOut) {
        CopyOutDialog dialog(project, archive, &m_window);
        dialog.exec();
    }
}

void ToolsTab::setRecoveryEnabled(bool enabled) {
    m_windowAllowsRecovery = enabled;
    refreshRecovery();
}

// The button is enabled only while recovery is armed, so disabling it disarms.
void ToolsTab::disableReplace() {
    if (m_recovery->isChecked()) m_recovery->setChecked(false);
    m_replace->setEnabled(false);
}

void ToolsTab::recoverySwitched(bool checked) {
    const Arming a = m_model.arm(checked, m_windowAllowsRecovery);
    if (a.checked != checked) {
        const QSignalBlocker block(m_recovery);
        m_recovery->setChecked(a.checked);
    }
    m_replace->setEnabled(a.replaceEnabled);
    m_comment->setEnabled(a.commentEnabled);
    if (a.focusList && isVisible()) m_list->setFocus(Qt::OtherFocusReason);
}

void ToolsTab::requestRestore() {
    if (!m_recovery->isChecked()) return;
    const std::string chosen = m_model.chosenForRestore(m_list->currentRow());
    if (chosen.empty()) return;
    StoringTab* storing = m_window.storingTab();
    const std::optional<OptionsChoice> accepted =
        OptionsModel::requestRestore(m_window.context().engine, chosen, storing->choice());
    if (!accepted) return;
    // The Storing tab shows what OK then sends.
    storing->showComment(accepted->comment);
    if (!accepted->addVersion) storing->clearNewVersion();
    m_window.acceptAsOk();
}

bool ToolsTab::listKey(QKeyEvent* key) {
    switch (key->key()) {
    case Qt::Key_Space:
        m_comment->setFocus(Qt::TabFocusReason);
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
        // Shown before the list moves its selection: the comment is the one the key goes to.
        if (key->modifiers() & ~Qt::KeypadModifier) return false;
        showState(m_model.rowAfterKey(m_list->currentRow(), key->key() == Qt::Key_Up ? ListKey::Up : ListKey::Down));
        return false;
    default:
        return false;
    }
}

bool ToolsTab::commentKey(QKeyEvent* key) {
    QScrollBar* bar = m_comment->verticalScrollBar();
    switch (key->key()) {
    case Qt::Key_Up:
        bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
        return true;
    case Qt::Key_Down:
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        return true;
    case Qt::Key_Space:
        m_list->setFocus(Qt::TabFocusReason);
        return true;
    default:
        return false;
    }
}

bool ToolsTab::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched == m_list) {
        if (type == QEvent::FocusIn) {
            paintFocus(m_list, true);
            if (m_recovery->isChecked() && !m_model.listFocused(m_windowAllowsRecovery).checked)
                m_recovery->setChecked(false);
        } else if (type == QEvent::FocusOut) {
            paintFocus(m_list, false);
        } else if (type == QEvent::KeyPress) {
            return listKey(static_cast<QKeyEvent*>(event));
        }
    } else if (watched == m_list->viewport()) {
        if (type == QEvent::MouseButtonPress) {
            const auto* press = static_cast<QMouseEvent*>(event);
            const int atPoint = m_list->indexAt(press->position().toPoint()).row();
            if (atPoint >= 0) return false; // the list selects the row itself
            // Below the last line: the oldest state.
            const int row = m_model.rowForPress(atPoint);
            m_list->setCurrentRow(row);
            if (row != m_shownRow) showState(row);
            return true;
        }
        if (type == QEvent::MouseButtonDblClick) {
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) openArchive();
            return true;
        }
    } else if (watched == m_comment) {
        if (type == QEvent::FocusIn) paintFocus(m_comment, true);
        else if (type == QEvent::FocusOut) paintFocus(m_comment, false);
        else if (type == QEvent::KeyPress) return commentKey(static_cast<QKeyEvent*>(event));
    } else if (watched == m_comment->viewport()) {
        if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
            if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) return true;
            m_comment->setFocus(Qt::MouseFocusReason);
        }
    } else if (watched == m_replace) {
        if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
            if (type == QEvent::MouseButtonPress && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
                requestRestore();
            return true;
        }
        if (type == QEvent::MouseButtonRelease) return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace kp::ui
