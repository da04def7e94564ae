#include "ui/ProjectLogWindow.h"

#include <QApplication>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QStyle>
#include <QTextBlock>
#include <QWindow>

#include "ui/Desktop.h"
#include "ui/MessageBox.h"

namespace kp::ui {

namespace {

// The log's text, its heading guarded: wherever the first character an edit would change
// lies on one of the first five lines, the text is read-only. Typing and deleting, pasting
// (keys or the context menu), dropping and dragging text away are all held to that rule,
// so the heading can be neither changed nor pulled apart.
class GuardedLogEdit : public QPlainTextEdit {
public:
    explicit GuardedLogEdit(QWidget* parent) : QPlainTextEdit(parent) {
        connect(this, &QPlainTextEdit::cursorPositionChanged, this, [this] { guard(); });
        connect(this, &QPlainTextEdit::selectionChanged, this, [this] { guard(); });
    }

    void guard() { guardAt(textCursor().selectionStart()); }

protected:
    void keyPressEvent(QKeyEvent* e) override {
        guardAt(firstChangedBy(e));
        QPlainTextEdit::keyPressEvent(e);
        guard();
    }

    void insertFromMimeData(const QMimeData* source) override {
        if (!editableAt(textCursor().selectionStart())) return;
        QPlainTextEdit::insertFromMimeData(source);
    }

    void dragEnterEvent(QDragEnterEvent* e) override {
        // Accepted here; whether the place under the pointer takes the drop is decided as it moves.
        setEditable(true);
        QPlainTextEdit::dragEnterEvent(e);
    }
    void dragMoveEvent(QDragMoveEvent* e) override {
        if (!editableAt(cursorForPosition(e->position().toPoint()).position())) {
            e->ignore();
            return;
        }
        setEditable(true);
        QPlainTextEdit::dragMoveEvent(e);
    }
    void dragLeaveEvent(QDragLeaveEvent* e) override {
        QPlainTextEdit::dragLeaveEvent(e);
        guard();
    }
    void dropEvent(QDropEvent* e) override {
        if (!editableAt(cursorForPosition(e->position().toPoint()).position())) {
            e->ignore();
            guard();
            return;
        }
        setEditable(true);
        QPlainTextEdit::dropEvent(e);
        guard();
    }

private:
    bool editableAt(int position) const {
        return ProjectLogModel::editableLine(document()->findBlock(position).blockNumber());
    }

    // The first character a key would change: the selection's start, or the character
    // before the caret for the keys that delete backwards (a Backspace at the start of
    // the sixth line would join it to the heading).
    int firstChangedBy(QKeyEvent* e) const {
        QTextCursor c = textCursor();
        if (c.hasSelection()) return c.selectionStart();
        if (e->matches(QKeySequence::DeleteStartOfWord)) {
            c.movePosition(QTextCursor::PreviousWord, QTextCursor::KeepAnchor);
            return c.selectionStart();
        }
        if (e->key() == Qt::Key_Backspace) return c.position() > 0 ? c.position() - 1 : 0;
        return c.position();
    }

    void guardAt(int position) { setEditable(editableAt(position)); }

    void setEditable(bool editable) {
        if (editable == !isReadOnly()) return;
        setReadOnly(!editable);
        // Read-only, the caret still moves with the keys, so it can leave the heading.
        if (!editable) setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    }
};

// The log's columns line up only when every character advances alike. Fonts' own
// fixed-pitch flags are not to be trusted for that (some monospace fonts do not set it,
// some fonts that set it have wider wide glyphs), so the advances themselves decide.
bool hasEqualAdvances(const QFont& font) {
    const QFontMetricsF metrics(font);
    const qreal width = metrics.horizontalAdvance(QLatin1Char('M'));
    if (width <= 0) return false;
    for (const QChar c : QStringLiteral("il.W0 _|\"@"))
        if (!qFuzzyCompare(metrics.horizontalAdvance(c), width)) return false;
    return true;
}

QFont sized(QFont font) {
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    font.setPixelSize(15);
    return font;
}

QFont logFont() {
    // Lucida Console where it is installed, else the desktop's monospace font, else the
    // first of the common monospace families that really is one.
    QList<QFont> candidates;
    if (QFontDatabase::hasFamily(QStringLiteral("Lucida Console")))
        candidates << QFont(QStringLiteral("Lucida Console"));
    candidates << QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (const char* family : {"DejaVu Sans Mono", "Liberation Mono", "Noto Sans Mono", "Courier New", "monospace"})
        candidates << QFont(QString::fromLatin1(family));
    for (const QFont& candidate : candidates) {
        const QFont font = sized(candidate);
        if (hasEqualAdvances(font)) return font;
    }
    const QStringList families = QFontDatabase::families();
    for (const QString& family : families) {
        const QFont font = sized(QFont(family));
        if (hasEqualAdvances(font)) return font;
    }
    return sized(QFontDatabase::systemFont(QFontDatabase::FixedFont));
}

} // namespace

ProjectLogWindow::ProjectLogWindow(Engine& engine, const Clock& clock, QWidget* parent)
    : QMainWindow(parent, Qt::Window), m_engine(engine), m_model(engine.edits(), clock) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral(" Project log"));
    setWindowIcon(QIcon()); // the caption shows no icon

    QMenuBar* menuBar = this->menuBar();
    menuBar->setNativeMenuBar(false);
    QMenu* file = menuBar->addMenu(QStringLiteral("  File  "));
    file->setObjectName(QStringLiteral("File1"));
    m_save = file->addAction(style()->standardIcon(QStyle::SP_DialogSaveButton), QStringLiteral("Save"));
    m_save->setObjectName(QStringLiteral("Save2"));
    m_save->setEnabled(false);
    m_export = file->addAction(style()->standardIcon(QStyle::SP_FileDialogDetailedView), QStringLiteral("Export"));
    m_export->setObjectName(QStringLiteral("Save1"));
    m_quit = file->addAction(style()->standardIcon(QStyle::SP_DialogCloseButton), QStringLiteral("Quit"));
    m_quit->setObjectName(QStringLiteral("Close1"));
    connect(m_save, &QAction::triggered, this, &ProjectLogWindow::saveLog);
    connect(m_export, &QAction::triggered, this, &ProjectLogWindow::exportLog);
    connect(m_quit, &QAction::triggered, this, &QWidget::close);

    auto* text = new GuardedLogEdit(this);
    m_text = text;
    m_text->setObjectName(QStringLiteral("Memo1"));
    m_text->setAccessibleName(QStringLiteral("Project log text"));
    m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_text->setFont(logFont());
    QPalette pal = m_text->palette();
    pal.setColor(QPalette::Base, Qt::white);
    m_text->setPalette(pal);
    m_text->setPlainText(QString::fromStdString(m_model.shownText()));
    text->guard();
    connect(m_text, &QPlainTextEdit::textChanged, this, [this] { m_save->setEnabled(true); });

    setCentralWidget(m_text);
    resize(766, 625 + menuBar->sizeHint().height());
}

void ProjectLogWindow::showLog() {
    const QString shown = m_text->toPlainText();
    if (m_model.replaceOnShow(shown.toStdString())) {
        m_text->setPlainText(QString::fromStdString(m_model.shownText()));
        static_cast<GuardedLogEdit*>(m_text)->guard();
    }
    // Opened from the modal options window: as its child the window takes input too.
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != this) {
        winId();
        if (windowHandle() && modal->windowHandle()) windowHandle()->setTransientParent(modal->windowHandle());
    }
    if (!m_placed) {
        m_placed = true;
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->availableGeometry();
            move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
        }
    }
    show();
    raise();
    activateWindow();
}

void ProjectLogWindow::exportLog() {
    const QString chosen = desktop::saveFileName(this, QStringLiteral("text (*.txt)"), QStringLiteral("txt"));
    if (chosen.isEmpty()) return; // cancelled: the window stays open
    std::string error;
    if (!ProjectLogModel::exportTo(chosen.toStdString(), m_text->toPlainText().toStdString(), error)) {
        QApplication::beep();
        MessageBox::show(this, MessageBox::Kind::Error, QString::fromStdString(error));
        return;
    }
    close();
}

void ProjectLogWindow::saveLog() {
    std::string error;
    if (!m_model.save(m_text->toPlainText().toStdString(), error)) {
        // The run keeps the edited text; the window stays open with it, Save still usable.
        QApplication::beep();
        MessageBox::show(this, MessageBox::Kind::Error, QString::fromStdString(error));
        return;
    }
    m_save->setEnabled(false);
    close();
}

} // namespace kp::ui
