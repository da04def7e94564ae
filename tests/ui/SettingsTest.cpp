// The Settings and About tabs, driven as a person would: keys, clicks and the wheel on the
// widgets, every message box and every opened address answered by the seams.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QWheelEvent>

#include "UiFixture.h"
#include "engine/AboutModel.h"
#include "engine/SettingsModel.h"
#include "platform/FileSystem.h"
#include "store/SettingsFile.h"
#include "ui/Desktop.h"

using namespace kp;
using namespace kp::test;

namespace {

const char* kEdits[4] = {"Edit1", "Edit3", "Edit5", "Edit4"};
const char* kUpDowns[4] = {"UpDown1", "UpDown2", "UpDown3", "UpDown4"};

// "S", "I", "V", "C": standard, important, valuable, capacity.
int valueIndex(QChar c) { return QStringLiteral("SIVC").indexOf(c); }

void wheel(QWidget* over, int notches) {
    const QPointF at(over->width() / 2.0, over->height() / 2.0);
    QWheelEvent event(at, over->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(over, &event);
}

} // namespace

class SettingsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<UiFixture> f;
    std::vector<QUrl> opened;

    template <typename T> static T* find(QWidget* w, const char* name) { return UiFixture::find<T>(w, name); }

    // Runs body in the options window on the Settings tab, then cancels the run.
    void onSettings(std::function<void(ui::OptionsWindow&)> body, int tab = 2) {
        f->onOptions([body, tab](ui::OptionsWindow& w) {
            QVERIFY(QTest::qWaitForWindowActive(&w));
            w.tabs()->setCurrentIndex(tab);
            body(w);
            QTest::mouseClick(find<QPushButton>(&w, "CancelBtn"), Qt::LeftButton);
        });
        f->start(f->makeSite(), true);
        QVERIFY(f->waitFinished());
    }

    // The UserPreferences line of setting.ini as written, without the key.
    QString savedPreferences() const {
        const QString text = QString::fromStdString(readFile(f->settingsFile()));
        const QString key = QStringLiteral("\r\nUserPreferences=");
        const qsizetype at = text.indexOf(key);
        if (at < 0) return QStringLiteral("(none)");
        const qsizetype start = at + key.size();
        return text.mid(start, text.indexOf(QLatin1Char('\r'), start) - start);
    }

    static QString values(QWidget* w) {
        QStringList v;
        for (const char* name : {"Edit1", "Edit3", "Edit5"}) v << find<QLineEdit>(w, name)->text();
        return v.join(QLatin1Char(' '));
    }

    static QString disabledUpDowns(QWidget* w) {
        QStringList names;
        for (const char* name : kUpDowns)
            if (!find<QWidget>(w, name)->isEnabled()) names << QString::fromLatin1(name);
        return names.join(QLatin1Char(' '));
    }

private slots:
    void init() {
        f = std::make_unique<UiFixture>();
        opened.clear();
        ui::desktop::setOpenHandler([this](const QUrl& url) {
            opened.push_back(url);
            return true;
        });
    }
    void cleanup() {
        f.reset();
        ui::desktop::setOpenHandler({});
        ui::desktop::setProgramFolder({});
        ui::desktop::setChmProgramKnown({});
    }

    void upDownsKeepTheirNeighbours_data() {
        QTest::addColumn<QString>("hv");
        QTest::addColumn<QString>("steps"); // value and direction; "s+" clicks the arrow, "S+" presses the key
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("disabled");
        QTest::newRow("standard up leaves important no room") << "17\\19\\20" << "S+" << "18 19 20" << "UpDown2";
        QTest::newRow("and down gives it room again") << "17\\19\\20" << "s+ s-" << "17 19 20" << "";
        QTest::newRow("important down leaves standard no room") << "1\\3\\4" << "I-" << "1 2 4" << "UpDown1";
        QTest::newRow("valuable down leaves important no room") << "1\\2\\4" << "V-" << "1 2 3" << "UpDown2";
        QTest::newRow("and up gives it room again") << "1\\2\\4" << "v- v+" << "1 2 4" << "";
        QTest::newRow("standard never reaches important") << "16\\17\\20" << "S+ S+" << "16 17 20" << "";
        QTest::newRow("important never reaches valuable") << "5\\8\\9" << "I+" << "5 8 9" << "";
        QTest::newRow("nothing leaves 1..20") << "1\\19\\20" << "S- V+ I+" << "1 19 20" << "";
        QTest::newRow("capacity within 1..5") << "18\\19\\20" << "C+ c- C-" << "18 19 20" << "";
    }

    void upDownsKeepTheirNeighbours() {
        QFETCH(QString, hv);
        QFETCH(QString, steps);
        QFETCH(QString, expected);
        QFETCH(QString, disabled);
        f->userPreferences("hv:" + hv.toStdString() + ",mnp:5");
        onSettings([&](ui::OptionsWindow& w) {
            for (const QString& step : steps.split(QLatin1Char(' '))) {
                const int i = valueIndex(step[0].toUpper());
                const bool up = step[1] == QLatin1Char('+');
                if (step[0].isLower()) {
                    auto arrows = find<QWidget>(&w, kUpDowns[i])->findChildren<QToolButton*>();
                    QTest::mouseClick(arrows[up ? 0 : 1], Qt::LeftButton);
                    QVERIFY(find<QLineEdit>(&w, kEdits[i])->hasFocus()); // the arrows give the value the focus
                } else {
                    find<QLineEdit>(&w, kEdits[i])->setFocus();
                    QTest::keyClick(find<QLineEdit>(&w, kEdits[i]), up ? Qt::Key_Up : Qt::Key_Down);
                }
            }
            QCOMPARE(values(&w), expected);
            QCOMPARE(disabledUpDowns(&w), disabled);
            QCOMPARE(find<QLineEdit>(&w, "Edit12")->text(), QLatin1Char(' ') + find<QLineEdit>(&w, "Edit4")->text());
            QCOMPARE(find<QLineEdit>(&w, "Edit7")->text(),
                     find<QLineEdit>(&w, "Edit1")->text().rightJustified(5, QLatin1Char(' ')));
        });
    }

    void saveIsUsableOnlyWhileSomethingDiffersAndWritesTheSettings() {
        onSettings([&](ui::OptionsWindow& w) {
            // A status chosen on the Storing tab is never written to setting.ini.
            auto* status = find<QComboBox>(&w, "ComboBox2");
            status->setCurrentIndex(2);
            emit status->activated(2);
            auto* save = find<QPushButton>(&w, "Button2");
            auto* capacity = find<QLineEdit>(&w, "Edit4");
            QVERIFY(!save->isEnabled());
            capacity->setFocus();
            QTest::keyClick(capacity, Qt::Key_Down);
            QVERIFY(save->isEnabled());
            QTest::keyClick(capacity, Qt::Key_Up);
            QVERIFY(!save->isEnabled()); // changed back
            QTest::keyClick(capacity, Qt::Key_Down);
            // A caption gives its value the focus; the focused value is shown in black, the others grey.
            auto* standard = find<QLineEdit>(&w, "Edit1");
            QTest::mouseClick(find<QLabel>(&w, "Label10"), Qt::LeftButton);
            QVERIFY(standard->hasFocus());
            QCOMPARE(find<QLineEdit>(&w, "Edit7")->palette().color(QPalette::Text), w.palette().color(QPalette::WindowText));
            QCOMPARE(find<QLineEdit>(&w, "Edit12")->palette().color(QPalette::Text), QColor(0x80, 0x80, 0x80));
            QTest::keyClick(standard, Qt::Key_Down);
            QTest::mouseClick(find<QCheckBox>(&w, "CheckBox3"), Qt::LeftButton);
            QTest::mouseClick(save, Qt::LeftButton);
            QVERIFY(!save->isEnabled());
            QVERIFY(f->messages.empty());
            QCOMPARE(w.context().engine.state().values.capacityFactor, 4); // in force at once
        });
        QCOMPARE(savedPreferences(), QStringLiteral(" cL:00000409,hv:17\\19\\20,mnp:4,ws:1,ds:0"));
        QVERIFY(readFile(f->settingsFile()).find("ps:") == std::string::npos);
    }

    void showWindowUntickedWarnsBeforeTheCardFadesAndTickedShowsItAtOnce() {
        bool cardVisibleAtMessage = false;
        onSettings([&](ui::OptionsWindow& w) {
            ui::ProgressCard& card = f->run().card();
            ui::MessageBox::setHandler([&](const ui::MessageBox::Shown& shown) {
                f->messages.push_back(shown);
                cardVisibleAtMessage = card.isVisible();
            });
            auto* showWindow = find<QCheckBox>(&w, "CheckBox4");
            auto* save = find<QPushButton>(&w, "Button2");
            QTest::mouseClick(showWindow, Qt::LeftButton);
            QTest::mouseClick(save, Qt::LeftButton);
            QCOMPARE(f->messages.size(), std::size_t(1));
            QCOMPARE(f->messages[0].text, QString::fromLatin1(kShowWindowUnchecked).replace("\r\n", "\n"));
            QVERIFY(cardVisibleAtMessage);
            QVERIFY(!card.isVisible());
            QTest::mouseClick(showWindow, Qt::LeftButton);
            QTest::mouseClick(save, Qt::LeftButton);
            QCOMPARE(f->messages.size(), std::size_t(1));
            QVERIFY(card.isVisible());
        });
        QCOMPARE(savedPreferences(), QStringLiteral(" cL:00000409,hv:18\\19\\20,mnp:5,ws:1,ds:1"));
    }

    void mistakenSettingsKeepSaveUsableUntilSaved() {
        f->userPreferences("hv:19\\18\\20,mnp:5");
        f->onOptions([&](ui::OptionsWindow& w) {
            QVERIFY(QTest::qWaitForWindowActive(&w));
            auto* line = find<QLabel>(&w, "Label4");
            QVERIFY(line->isVisible());
            QVERIFY(line->text().contains("Some Settings are mistaken"));
            w.tabs()->setCurrentIndex(2);
            auto* save = find<QPushButton>(&w, "Button2");
            QVERIFY(save->isEnabled());
            QTest::mouseClick(save, Qt::LeftButton);
            QVERIFY(!save->isEnabled());
            w.tabs()->setCurrentIndex(0);
            QVERIFY(!line->isVisible());
            QTest::mouseClick(find<QPushButton>(&w, "CancelBtn"), Qt::LeftButton);
        });
        f->start(f->makeSite(), true);
        QVERIFY(f->waitFinished());
        QCOMPARE(savedPreferences(), QStringLiteral(" cL:00000409,hv:18\\19\\20,mnp:5,ws:1,ds:1"));
    }

    void theWheelIsAnArrowKeyForTheFocusedControl() {
        onSettings([&](ui::OptionsWindow& w) {
            auto* capacity = find<QLineEdit>(&w, "Edit4");
            capacity->setFocus();
            // Over another control: the wheel acts on the focused value, one step a notch.
            wheel(find<QLabel>(&w, "Label5"), -2);
            QCOMPARE(capacity->text(), QStringLiteral("3"));
            wheel(capacity, 1);
            QCOMPARE(capacity->text(), QStringLiteral("4"));
            // Half notches of a fine wheel add up.
            QWheelEvent half(QPointF(1, 1), capacity->mapToGlobal(QPointF(1, 1)), QPoint(), QPoint(0, 60), Qt::NoButton,
                             Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(capacity, &half);
            QCOMPARE(capacity->text(), QStringLiteral("4"));
            QApplication::sendEvent(capacity, &half);
            QCOMPARE(capacity->text(), QStringLiteral("5"));
            // The same in the status box of the Storing tab: one notch down is the next status.
            w.tabs()->setCurrentIndex(0);
            auto* status = find<QComboBox>(&w, "ComboBox2");
            status->setFocus();
            wheel(status, -1);
            QCOMPARE(status->currentIndex(), 1);
            QCOMPARE(find<QLineEdit>(&w, "Edit15")->text(), status->itemText(1));
        });
    }

    // The forms keep texts whose blanks matter (a form's reader drops a text of blanks
    // alone), and the project log's hand, which the edit's read-only arrow would replace.
    void theFormsKeepBlanksAndTheLinkHand() {
        onSettings([&](ui::OptionsWindow& w) {
            const std::pair<const char*, QString> texts[] = {
                {"Label19", QStringLiteral("       ")},
                {"Label5", QStringLiteral("Major  train's  length (L):")},
                {"Edit2", QStringLiteral(" 0.5 L")},
                {"CheckBox4", QStringLiteral(" Show window")},
                {"CheckBox5", QStringLiteral(" Add new version")},
                {"Edit13", QStringLiteral("     Project log")},
            };
            for (const auto& [name, text] : texts) {
                QObject* control = w.findChild<QObject*>(QString::fromLatin1(name));
                QVERIFY2(control, name);
                QCOMPARE(control->property("text").toString(), text);
            }
            QCOMPARE(find<QLineEdit>(&w, "Edit13")->cursor().shape(), Qt::PointingHandCursor);
        });
    }

    void theBlankLabelsAnswerOnlyWhereTheyShould() {
        f->userPreferences("hv:3\\5\\8");
        onSettings([&](ui::OptionsWindow& w) {
            auto* blank = find<QLabel>(&w, "Label19");
            QTest::mouseClick(blank, Qt::LeftButton);
            QVERIFY(f->messages.empty());
            auto* valuable = find<QLineEdit>(&w, "Edit5");
            valuable->setFocus();
            QTest::keyClick(valuable, Qt::Key_Down);
            QTest::mouseClick(blank, Qt::LeftButton);
            QCOMPARE(f->messages.size(), std::size_t(1));
            QVERIFY(f->messages[0].text.contains("Thank you"));
            // The About tab's number, while the options were asked for.
            QTest::mouseClick(find<QLabel>(&w, "Label23"), Qt::LeftButton);
            QCOMPARE(f->messages.size(), std::size_t(2));
            QCOMPARE(f->messages[1].text, QStringLiteral("20091218"));
        });
    }

    void theAboutTabShowsTheVersionAndOpensTheLinks() {
        TempDir programFolder;
        ui::desktop::setProgramFolder(QString::fromStdString(programFolder.path()));
        bool chmProgram = true;
        ui::desktop::setChmProgramKnown([&] { return chmProgram; });
        onSettings(
            [&](ui::OptionsWindow& w) {
                QCOMPARE(find<QLabel>(&w, "Label25")->text(), QStringLiteral("Kestrelpad v.") + QLatin1String(KP_VERSION));
                auto* homePage = find<QLabel>(&w, "Label24");
                auto* help = find<QLabel>(&w, "Label29");
                QCOMPARE(help->text(), QStringLiteral("Kestrelpad.chm"));
                for (QLabel* link : {help, homePage}) QTest::mouseClick(link, Qt::LeftButton);
                QCOMPARE(opened.size(), std::size_t(0));
                QCOMPARE(f->messages.size(), std::size_t(2));
                QCOMPARE(f->messages[0].text, QStringLiteral("Can't find help file!"));
                QCOMPARE(f->messages[1].text, QStringLiteral("Can't find help file!"));

                const std::string chm = programFolder.write("Kestrelpad.chm", "ITSF");
                const std::string html = programFolder.write("help/index.html", "<html></html>");
                QTest::mouseClick(help, Qt::LeftButton);
                QCOMPARE(opened.size(), std::size_t(1));
                QCOMPARE(opened[0], QUrl::fromLocalFile(QString::fromStdString(chm)));
                // A desktop without a program for .chm files gets the same help as pages.
                chmProgram = false;
                QTest::mouseClick(help, Qt::LeftButton);
                QCOMPARE(opened.size(), std::size_t(2));
                QCOMPARE(opened[1], QUrl::fromLocalFile(QString::fromStdString(html)));
                // Until the project has a public page, the home page is the user guide, a page that exists.
                QTest::mouseClick(homePage, Qt::LeftButton);
                QCOMPARE(opened.size(), std::size_t(3));
                QCOMPARE(opened[2], QUrl::fromLocalFile(QString::fromStdString(html)));
                QCOMPARE(homePage->text(), QString::fromStdString(html));
                QCOMPARE(UiFixture::heard(homePage), homePage->text());
                QCOMPARE(f->messages.size(), std::size_t(2));
            },
            3);
    }
};

QTEST_MAIN(SettingsTest)
#include "SettingsTest.moc"
