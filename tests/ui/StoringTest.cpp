// The card and the Storing tab, driven as a person would: keys and clicks on the widgets,
// the clock injected, every message box answered by the seam.
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "UiFixture.h"
#include "platform/FileSystem.h"
#include "ui/Desktop.h"

using namespace kp;
using namespace kp::test;

class StoringTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<UiFixture> f;
    ui::OptionsWindow& options() { return f->run().options(); }
    QLabel* messageLine() { return UiFixture::find<QLabel>(&options(), "Label4"); }
    QPushButton* okButton() { return UiFixture::find<QPushButton>(&options(), "OKBtn"); }

private slots:
    void init() { f = std::make_unique<UiFixture>(); }
    void cleanup() {
        f.reset();
        ui::desktop::setCompositorRuns({});
    }

    void plainRunStoresAfterTheFirstTickAndCloses() {
        f->start(f->makeSite());
        QCOMPARE(f->run().host().lastInterval(), 2000);
        QVERIFY(f->waitFinished());
        QCOMPARE(f->archives(), std::vector<std::string>{"Site-101203.1530c.zip"});
        QVERIFY(f->messages.empty());
        QCOMPARE(UiFixture::find<QLabel>(&f->run().card(), "Label4")->text(), QStringLiteral("101203.1530c"));
    }

    void theCardFadesOutInVisibleSteps() {
        ui::desktop::setCompositorRuns([] { return true; });
        f->start(f->makeSite());
        ui::ProgressCard& card = f->run().card();
        QList<qreal> seen;
        QElapsedTimer fading;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (card.windowOpacity() < 1.0 && !fading.isValid()) fading.start();
            if (fading.isValid() && (seen.isEmpty() || seen.last() != card.windowOpacity())) seen << card.windowOpacity();
        });
        watch.start(2);
        QVERIFY(f->waitFinished());
        const qint64 took = fading.elapsed();
        QVERIFY2(took >= 400 && took <= 1500, qPrintable(QString::number(took)));
        QVERIFY2(seen.size() >= 20, qPrintable(QString::number(seen.size()))); // the steps are on screen one by one
        QCOMPARE(card.windowOpacity(), 0.0);
        QVERIFY(!card.isVisible());
    }

    void ctrlOpensOptionsAndOkStoresTheComment() {
        const std::string site = f->makeSite(true);
        f->dir.write("Site/index.html", "<p>changed</p>");
        f->onOptions([](ui::OptionsWindow& w) {
            auto* memo = UiFixture::find<QPlainTextEdit>(&w, "Memo1");
            QTRY_VERIFY(w.isActiveWindow());
            QVERIFY(memo->hasFocus());
            QTest::keyClicks(memo, "first line");
            QTest::keyClick(memo, Qt::Key_Return); // a line break, not OK
            QVERIFY(w.isVisible());
            QTest::keyClicks(memo, "second");
            QTest::keyClick(memo, Qt::Key_Return, Qt::ControlModifier);
        });
        f->start(site);
        QTest::keyClick(&f->run().card(), Qt::Key_Control);
        QVERIFY(f->waitFinished());
        QCOMPARE(f->archives(), (std::vector<std::string>{"Site-101203.1500c.zip", "Site-101203.1530c.zip"}));
        QVERIFY(f->comment("Site-101203.1530c.zip").find("first line\r\nsecond") != std::string::npos);
    }

    void cancelShowsCanceledAndStoresNothing() {
        f->onOptions([](ui::OptionsWindow& w) {
            QTest::mouseClick(UiFixture::find<QPushButton>(&w, "CancelBtn"), Qt::LeftButton);
        });
        f->start(f->makeSite());
        QTest::mouseClick(UiFixture::find<QLabel>(&f->run().card(), "Label4"), Qt::LeftButton);
        QTRY_COMPARE(UiFixture::find<QLabel>(&f->run().card(), "Label4")->text(), QStringLiteral("Canceled"));
        QVERIFY(f->waitFinished());
        QVERIFY(f->archives().empty());
    }

    void escapeAndTheTitleBarCancel() {
        f->onOptions([](ui::OptionsWindow& w) { QTest::keyClick(&w, Qt::Key_Escape); });
        f->start(f->makeSite(), true);
        QVERIFY(f->waitFinished());
        QVERIFY(f->archives().empty());
    }

    void theIgnoreFileShowsItsCountOnTheCardAndItsBadLineInTheWindow() {
        const std::string site = f->makeSite();
        f->dir.write("Site/.kpadignore", "*.log\nx[\nlog[\n");
        f->dir.write("Site/debug.log", "noise");
        f->dir.write("Site/docs/old.log", "noise");
        QString line;
        f->onOptions([&](ui::OptionsWindow& w) {
            line = messageLine()->isVisible() ? messageLine()->text() : QString();
            QTest::mouseClick(UiFixture::find<QPushButton>(&w, "OKBtn"), Qt::LeftButton);
        });
        f->start(site, true);
        QVERIFY(f->waitFinished());
        QCOMPARE(line, QStringLiteral(".kpadignore line 2 is left out, unclosed \"[\": x[ (and 1 more line)"));
        auto* ignored = UiFixture::find<QLabel>(&f->run().card(), "Label8");
        QCOMPARE(ignored->text(), QStringLiteral("2 items ignored"));
        QVERIFY(!ignored->isHidden());
        QCOMPARE(UiFixture::heard(ignored), QStringLiteral("2 items ignored"));
    }

    void pressOnTheDiskSpaceLabelDoesNothing() {
        f->start(f->makeSite());
        QTest::mouseClick(UiFixture::find<QLabel>(&f->run().card(), "Label1"), Qt::LeftButton);
        QVERIFY(!options().isVisible());
        QVERIFY(f->waitFinished());
        QCOMPARE(f->archives().size(), std::size_t(1));
    }

    void mistakenSettingsOpenTheWindowWithTheirLine() {
        f->dir.write("config/TarnelSoftware/Kestrelpad/setting.ini",
                     "[Setting]\nUserPreferences= cL:00000409,ws:1,ds:1,hv:18\\19\\99,mnp:5\n");
        QString line;
        f->onOptions([&](ui::OptionsWindow& w) {
            line = messageLine()->isVisible() ? messageLine()->text() : QString();
            QTest::mouseClick(UiFixture::find<QPushButton>(&w, "OKBtn"), Qt::LeftButton);
        });
        f->start(f->makeSite());
        QCOMPARE(f->run().host().lastInterval(), 500);
        QVERIFY(f->waitFinished());
        QCOMPARE(line, QStringLiteral("* * *  Some Settings are mistaken. Please set them again.  * * *"));
        QCOMPARE(f->archives().size(), std::size_t(1));
    }

    void noWritePrivilegeDisablesOk() {
        bool okEnabled = true;
        QString line;
        f->onOptions([&](ui::OptionsWindow& w) {
            okEnabled = okButton()->isEnabled();
            line = messageLine()->text();
            QTest::mouseClick(UiFixture::find<QPushButton>(&w, "CancelBtn"), Qt::LeftButton);
        });
        f->start(f->makeSite());
        RunState& s = f->run().engine().stateForTesting(); // as start-up finds an archive folder it cannot write
        s.canWrite = false;
        s.showOptions = true;
        QVERIFY(f->waitFinished());
        QVERIFY(!okEnabled);
        QCOMPARE(line, QStringLiteral("* * *  There is no write privilege  * * *"));
        QVERIFY(f->archives().empty());
    }

    void sameMinuteCountsDownAndThenAllowsOk() {
        const std::string site = f->makeSite(true);
        f->dir.write("Site/index.html", "<p>changed</p>");
        f->at(2010, 12, 3, 15, 0, 30);
        bool okAtFirst = true;
        QString line;
        f->onOptions([&](ui::OptionsWindow& w) {
            okAtFirst = okButton()->isEnabled();
            line = messageLine()->text();
            f->at(2010, 12, 3, 15, 1, 0); // the next minute begins
            QTRY_VERIFY(okButton()->isEnabled());
            QTest::mouseClick(UiFixture::find<QPushButton>(&w, "OKBtn"), Qt::LeftButton);
        });
        f->start(site);
        QVERIFY(f->waitFinished());
        QVERIFY(!okAtFirst);
        QCOMPARE(line, QStringLiteral("* * *  Archive time is repeated. Wait for 30  sec  * * *"));
        QCOMPARE(f->archives().back(), std::string("Site-101203.1501.zip"));
    }

    void statusRequestFocusesTheStatusBox() {
        bool statusFocused = false;
        QString line;
        f->onOptions([&](ui::OptionsWindow& w) {
            auto* box = UiFixture::find<QComboBox>(&w, "ComboBox2");
            QTRY_VERIFY(w.isActiveWindow());
            statusFocused = box->hasFocus();
            line = messageLine()->text();
            box->setCurrentIndex(2);
            emit box->activated(2);
            QCOMPARE(UiFixture::find<QLineEdit>(&w, "Edit15")->text(), QStringLiteral("  important"));
            QVERIFY(!messageLine()->isVisible());
            QTest::mouseClick(UiFixture::find<QPushButton>(&w, "OKBtn"), Qt::LeftButton);
        });
        f->start(f->makeSite());
        RunState& s = f->run().engine().stateForTesting(); // as start-up finds the trains full
        s.statusRequested = true;
        s.showOptions = true;
        QVERIFY(f->waitFinished());
        QVERIFY(statusFocused);
        QCOMPARE(line, QStringLiteral("* * *  Set project status, please   * * *"));
        QCOMPARE(f->run().engine().state().values.projectStatus, 2);
    }

    void badVersionPartKeepsTheWindowOpen() {
        int showings = 0;
        f->onOptions([&](ui::OptionsWindow& w) {
            ++showings;
            QTest::mouseClick(UiFixture::find<QCheckBox>(&w, "CheckBox5"), Qt::LeftButton);
            QCOMPARE(UiFixture::find<QLabel>(&w, "Label14")->text(), QStringLiteral("new v."));
            auto* part1 = UiFixture::find<QLineEdit>(&w, "Edit6");
            part1->clear();
            QTest::mouseClick(okButton(), Qt::LeftButton);
            QVERIFY(w.isVisible());
            QCOMPARE(f->messages.size(), std::size_t(1));
            QCOMPARE(f->messages[0].text, QStringLiteral("Check value for part 1 of version\nIt must be in 0..100"));
            QTest::keyClicks(part1, "2");
            QTest::mouseClick(okButton(), Qt::LeftButton);
        });
        f->start(f->makeSite(), true);
        QVERIFY(f->waitFinished());
        QCOMPARE(showings, 1);
        QCOMPARE(f->archives(), std::vector<std::string>{"Site-101203.1530c-v.2.0.1.zip"});
    }

    void clockGoneBackStoresNothing() {
        const std::string site = f->makeSite(true);
        f->at(2010, 12, 3, 14, 59);
        f->start(site);
        QVERIFY(f->waitFinished());
        QCOMPARE(f->messages.size(), std::size_t(1));
        QVERIFY(f->messages[0].text.startsWith(QStringLiteral("Can't create the new archive, because")));
        QVERIFY(f->messages[0].text.contains(QStringLiteral("101203.1459")));
        QCOMPARE(f->archives(), std::vector<std::string>{"Site-101203.1500c.zip"});
    }
};

QTEST_MAIN(StoringTest)
#include "StoringTest.moc"
