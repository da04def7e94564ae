#include "ui/AboutTab.h"

#include <QApplication>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "engine/AboutModel.h"
#include "ui/Desktop.h"
#include "ui/MessageBox.h"
#include "ui/OptionsWindow.h"
#include "ui/ValueLabel.h"

#ifndef KP_HOME_PAGE
#define KP_HOME_PAGE ""
#endif
#ifndef KP_HELP_INSTALL_PATH
#define KP_HELP_INSTALL_PATH "share/kestrelpad/Kestrelpad.chm"
#endif
#ifndef KP_HELP_HTML_INSTALL_DIR
#define KP_HELP_HTML_INSTALL_DIR "share/kestrelpad/help"
#endif

namespace kp::ui {

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

QLabel* label(const QString& text, const char* name, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    return l;
}

void makeLink(QLabel* l) {
    QFont f = l->font();
    f.setUnderline(true);
    l->setFont(f);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, QColor(0, 0, 0x80));
    l->setPalette(pal);
    l->setCursor(Qt::PointingHandCursor);
}

} // namespace

AboutTab::AboutTab(OptionsWindow& window) : m_window(window) {
    setObjectName(QStringLiteral("TabSheet4"));
    setAccessibleName(QStringLiteral("About"));

    QLabel* product = label(q(AboutModel::productLine()), "Label25", this);
    QFont big = product->font();
    big.setPixelSize(20);
    big.setBold(true);
    product->setFont(big);
    product->setAlignment(Qt::AlignCenter);
    QLabel* notice = label(q(AboutModel::notice()).replace(QLatin1String("\r\n"), QLatin1String("\n")), "Label26", this);
    nameValueLabel(notice, QStringLiteral("Notice"));
    notice->setAlignment(Qt::AlignCenter);
    notice->setWordWrap(true);

    QLabel* homeCaption = label(QStringLiteral("Home page: "), "Label27", this);
    m_homePage = label(q(currentHomePage().shown), "Label24", this);
    nameValueLabel(m_homePage, QStringLiteral("Home page"));
    makeLink(m_homePage);
    m_homePage->installEventFilter(this);
    QLabel* helpCaption = label(QStringLiteral("Help file:"), "Label28", this);
    m_helpFile = label(QString::fromLatin1(kHelpFileName), "Label29", this);
    makeLink(m_helpFile);
    m_helpFile->installEventFilter(this);
    m_blank = label(QStringLiteral("       "), "Label23", this);
    nameValueLabel(m_blank, QStringLiteral("Blank label"));
    m_blank->installEventFilter(this);

    auto* links = new QGridLayout;
    links->setHorizontalSpacing(6);
    links->addWidget(homeCaption, 0, 0, Qt::AlignRight);
    links->addWidget(m_homePage, 0, 1, Qt::AlignLeft);
    links->addWidget(helpCaption, 1, 0, Qt::AlignRight);
    links->addWidget(m_helpFile, 1, 1, Qt::AlignLeft);
    links->setColumnStretch(1, 1);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(m_blank);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 18, 10, 6);
    layout->setSpacing(10);
    layout->addWidget(product);
    layout->addWidget(notice);
    layout->addSpacing(10);
    layout->addLayout(links);
    layout->addStretch(1);
    layout->addLayout(bottom);
}

HelpLocation AboutTab::helpLocation() {
    return findHelp(desktop::programFolder().toStdString(), KP_HELP_INSTALL_PATH, KP_HELP_HTML_INSTALL_DIR);
}

HomePage AboutTab::currentHomePage() { return homePage(KP_HOME_PAGE, helpLocation()); }

void AboutTab::openHomePage() {
    const HomePage page = currentHomePage();
    setValueText(m_homePage, q(page.shown));
    if (page.address.empty()) {
        QApplication::beep();
        MessageBox::show(&m_window, MessageBox::Kind::Plain, QString::fromLatin1(kHelpFileMissing));
        return;
    }
    desktop::openUrl(page.local ? QUrl::fromLocalFile(QDir::cleanPath(q(page.address))) : QUrl(q(page.address)));
}

void AboutTab::openHelp() {
    const HelpLocation help = helpLocation();
    if (help.chm.empty()) {
        QApplication::beep();
        MessageBox::show(&m_window, MessageBox::Kind::Plain, QString::fromLatin1(kHelpFileMissing));
        return;
    }
    std::string target = help.chm;
    if (!help.htmlIndex.empty() && !desktop::hasProgramFor(QString::fromLatin1(kHelpFileName))) target = help.htmlIndex;
    desktop::openUrl(QUrl::fromLocalFile(QDir::cleanPath(q(target))));
}

bool AboutTab::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::MouseButtonPress) return QWidget::eventFilter(watched, event);
    if (watched == m_homePage) {
        openHomePage();
        return true;
    }
    if (watched == m_helpFile) {
        openHelp();
        return true;
    }
    if (watched == m_blank) {
        if (const auto number = AboutModel::fixedNumber(m_window.context().engine.state())) {
            QApplication::beep();
            MessageBox::show(&m_window, MessageBox::Kind::Plain, q(*number));
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace kp::ui
