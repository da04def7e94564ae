#include "ui/ProgressCard.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainterPath>
#include <QRegion>
#include <QScreen>
#include <QThread>
#include <utility>

#include "engine/CardModel.h"
#include "ui/Desktop.h"

namespace kp::ui {

namespace {

constexpr int kWidth = 500, kHeight = 250, kCornerEllipse = 68;
const QColor kNavy(0, 0, 0x80);

// The card's layout: every control's place, font size in pixels (points at 96 DPI) and
// whether a press on it opens the options window.
struct Place {
    const char* name;
    const char* accessibleName;
    int x, y, w, h;
    int fontPx;
    bool bold;
    bool reacts;
};

const Place kPlaces[] = {
    {"Image2", "Card picture", 0, 0, 500, 249, 0, false, true},
    {"Label2", "Product", 104, 48, 289, 18, 15, true, true},
    {"Label5", "Project", 72, 92, 357, 18, 15, false, true},
    {"Label4", "Archive date", 32, 116, 433, 24, 20, false, true},
    {"Label8", "Ignored items", 32, 140, 433, 16, 12, false, true},
    {"AbMeter2", "Item progress", 64, 159, 375, 8, 0, false, true},
    {"Label6", "Restoring", 40, 159, 425, 23, 13, false, false},
    {"AbMeter1", "Archive progress", 64, 178, 375, 4, 0, false, true},
    {"Label3", "Supporting resource", 48, 188, 160, 16, 12, false, false},
    {"Label7", "Project status", 65, 204, 161, 16, 13, false, true},
    {"Label1", "Disk free space", 232, 204, 197, 16, 13, false, false},
};

QFont cardFont(int px, bool bold) {
    QFont font(QStringLiteral("Tahoma"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(px);
    font.setBold(bold);
    return font;
}

} // namespace

ProgressCard::ProgressCard(Engine& engine, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_engine(engine) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Kestrelpad"));
    setAccessibleName(QStringLiteral("Kestrelpad progress"));
    setFixedSize(kWidth, kHeight);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0xE3, 0xE3, 0xE3)); // the 3D light colour behind the picture
    setPalette(pal);
    setFocusPolicy(Qt::StrongFocus);
    buildControls();
    // The rounded shape: a rectangle whose corners are quarters of 68-pixel ellipses.
    QPainterPath shape;
    shape.addRoundedRect(QRectF(0, 0, kWidth + 1, kHeight + 1), kCornerEllipse / 2.0, kCornerEllipse / 2.0);
    setMask(QRegion(shape.toFillPolygon().toPolygon()));
    centreOnScreen();
    m_ctrlPoll.setInterval(100);
    connect(&m_ctrlPoll, &QTimer::timeout, this, &ProgressCard::pollCtrlWhileHidden);
    m_fade.setInterval(10);
    connect(&m_fade, &QTimer::timeout, this, &ProgressCard::fadeStep);
    refresh();
}

void ProgressCard::buildControls() {
    for (const Place& p : kPlaces) {
        QWidget* w = nullptr;
        const QString name = QString::fromLatin1(p.name);
        if (name.startsWith(QLatin1String("AbMeter"))) {
            auto* meter = new Meter(this);
            (name == QLatin1String("AbMeter1") ? m_archiveMeter : m_itemMeter) = meter;
            w = meter;
        } else {
            auto* label = new QLabel(this);
            label->setAlignment(Qt::AlignCenter);
            QPalette pal = label->palette();
            pal.setColor(QPalette::WindowText, kNavy);
            label->setPalette(pal);
            if (p.fontPx) label->setFont(cardFont(p.fontPx, p.bold));
            w = label;
            if (name == QLatin1String("Image2")) m_picture = label;
            else if (name == QLatin1String("Label2")) m_title = label;
            else if (name == QLatin1String("Label5")) m_project = label;
            else if (name == QLatin1String("Label4")) m_date = label;
            else if (name == QLatin1String("Label8")) m_ignored = label;
            else if (name == QLatin1String("Label6")) m_restoring = label;
            else if (name == QLatin1String("Label3")) m_resource = label;
            else if (name == QLatin1String("Label7")) m_status = label;
            else if (name == QLatin1String("Label1")) m_disk = label;
        }
        w->setObjectName(name);
        w->setAccessibleName(QString::fromLatin1(p.accessibleName));
        w->setGeometry(p.x, p.y, p.w, p.h);
        if (p.reacts) w->installEventFilter(this);
    }
    m_picture->setPixmap(QPixmap(QStringLiteral(":/card.jpg")));
    m_picture->setScaledContents(true);
    m_picture->lower();
    m_restoring->setText(QStringLiteral("Restoring "));
    m_restoring->hide();
    m_resource->setText(QStringLiteral("Supporting resource:  "));
    m_resource->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_resource->hide();
}

void ProgressCard::centreOnScreen() {
    // Computed here: there may be no window manager to centre the card.
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    move(area.x() + (area.width() - kWidth) / 2, area.y() + (area.height() - kHeight) / 2);
}

void ProgressCard::refresh() {
    const CardView v = cardView(m_engine.state());
    m_title->setText(QString::fromStdString(v.title));
    m_project->setFont(cardFont(v.smallProjectFont ? 11 : 15, false));
    m_project->setText(QString::fromStdString(v.projectName));
    m_date->setText(QString::fromStdString(v.dateLabel));
    m_status->setText(QString::fromStdString(v.statusLabel));
    m_ignored->setText(QString::fromStdString(v.ignoredText));
    m_ignored->setVisible(!v.ignoredText.empty());
    m_disk->setText(QString::fromStdString(v.diskSpaceText));
    // Screen readers hear each label's role as its name and what it shows as its description.
    for (QLabel* label : {m_title, m_project, m_date, m_ignored, m_status, m_disk}) label->setAccessibleDescription(label->text());
    if (!v.restoringText.empty()) {
        m_restoring->setText(QString::fromStdString(v.restoringText));
        m_restoring->show();
        m_itemMeter->hide();
    }
    if (!m_optionsShowing && isVisible()) raise();
}

void ProgressCard::setProgress(ProgressScope scope, int percent) {
    (scope == ProgressScope::Archive ? m_archiveMeter : m_itemMeter)->setPercent(percent);
}

void ProgressCard::setWindowVisibility(CardVisibility visibility) {
    switch (visibility) {
    case CardVisibility::Hidden:
        // Invisible but working: the timer runs, and Ctrl still reaches the run (polled,
        // since a hidden window gets no keys).
        m_invisible = true;
        hide();
        m_ctrlPoll.start();
        break;
    case CardVisibility::Shown:
        m_invisible = false;
        m_ctrlPoll.stop();
        m_fade.stop();
        m_fadeDone = nullptr;
        setWindowOpacity(1.0);
        show();
        break;
    case CardVisibility::FadeOut: fadeOut({}); break;
    }
}

void ProgressCard::fadeOut(std::function<void()> done) {
    m_fadeDone = std::move(done);
    m_fadeAlpha = int(windowOpacity() * 255 + 0.5);
    if (!desktop::compositorRuns()) m_fadeAlpha = 0; // the steps would not show, only delay the end
    fadeStep();
    if (m_fadeAlpha > 0) m_fade.start();
}

void ProgressCard::fadeStep() {
    m_fadeAlpha = m_fadeAlpha >= 5 ? m_fadeAlpha - 5 : 0;
    setWindowOpacity(m_fadeAlpha / 255.0);
    if (m_fadeAlpha > 0) return;
    m_fade.stop();
    hide();
    if (auto done = std::exchange(m_fadeDone, nullptr)) done();
}

void ProgressCard::pollCtrlWhileHidden() {
    if (!m_engine.state().interruptible) {
        m_ctrlPoll.stop();
        return;
    }
    if (QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier)
        m_engine.userInterrupt(Engine::Interrupt::CtrlKey);
}

void ProgressCard::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_shownOnce) return;
    m_shownOnce = true;
    activateWindow();
    // After the show has been painted: the clock check may show a message and close.
    QTimer::singleShot(0, this, [this] { m_engine.shown(); });
}

void ProgressCard::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Control) m_engine.userInterrupt(Engine::Interrupt::CtrlKey);
    else QWidget::keyPressEvent(event);
}

bool ProgressCard::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        m_engine.userInterrupt(Engine::Interrupt::Click);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void ProgressCard::closeRun() {
    if (!m_closeAllowed) close();
}

void ProgressCard::closeEvent(QCloseEvent* event) {
    event->ignore(); // the card goes by fading out, not at once
    if (m_closeAllowed) return;
    if (!m_engine.closeQuery()) return;
    m_closeAllowed = true;
    m_ctrlPoll.stop();
    QTimer::singleShot(500, this, &ProgressCard::fadeOutAndFinish);
}

void ProgressCard::fadeOutAndFinish() {
    if (m_invisible) {
        hide();
        emit finished();
        return;
    }
    fadeOut([this] { emit finished(); });
}

} // namespace kp::ui
