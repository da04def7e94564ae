// The project log window opened from the options window: its guarded heading, Export with
// its ".txt" rule, and Save back into the newest archive, checked with the archive tools.
#include <QAction>
#include <QClipboard>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>

#include "UiFixture.h"
#include "platform/FileSystem.h"
#include "store/Layout.h"
#include "ui/Desktop.h"
#include "zip/ZipArchive.h"

using namespace kp;
using namespace kp::test;

class LogWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<UiFixture> f;

    ui::ProjectLogWindow& log() { return f->run().logWindow(); }
    QPlainTextEdit* memo() { return UiFixture::find<QPlainTextEdit>(&log(), "Memo1"); }
    QAction* action(const char* name) { return log().findChild<QAction*>(QString::fromLatin1(name)); }
    QString line(int n) { return memo()->document()->findBlockByNumber(n).text(); }

    // The caret at a column of a line (the line's end when column is -1).
    void caretAt(int lineNumber, int column = 0) {
        const QTextBlock block = memo()->document()->findBlockByNumber(lineNumber);
        QTextCursor c(block);
        c.setPosition(block.position() + (column < 0 ? block.length() - 1 : column));
        memo()->setTextCursor(c);
    }

    // With the first state stored, runs body with the log window open over the options
    // window, then cancels the run.
    void inLog(std::function<void()> body) {
        const std::string site = f->makeSite(true);
        f->onOptions([this, body](ui::OptionsWindow& w) {
            QVERIFY(QTest::qWaitForWindowActive(&w));
            QTest::mouseClick(UiFixture::find<QLineEdit>(&w, "Edit13"), Qt::LeftButton);
            QVERIFY(QTest::qWaitForWindowActive(&log()));
            body();
            log().close();
            QTest::mouseClick(UiFixture::find<QPushButton>(&w, "CancelBtn"), Qt::LeftButton);
        });
        f->start(site, true);
        QVERIFY(f->waitFinished());
    }

    std::string archive() const { return f->dir / ("Site/#tarnel/" + f->archives().at(0)); }

private slots:
    void init() { f = std::make_unique<UiFixture>(); }
    void cleanup() {
        f.reset();
        ui::desktop::setSaveFileNameHandler({});
    }

    void theHeadingIsGuardedFromKeysPastesAndDrops() {
        inLog([this] {
            QCOMPARE(log().windowTitle(), QStringLiteral(" Project log"));
            QVERIFY(!(log().windowFlags() & Qt::WindowStaysOnTopHint)); // an ordinary window among the user's
            QCOMPARE(QFontInfo(memo()->font()).pixelSize(), 15);
            // The columns line up: every character advances alike, whatever the font's flags say.
            const QFontMetricsF metrics(memo()->font());
            const qreal width = metrics.horizontalAdvance(QStringLiteral("MMMMMMMMMM"));
            for (const char* run : {"iiiiiiiiii", "..........", "WWWWWWWWWW", "0123456789", "  |__|  ||"})
                QCOMPARE(metrics.horizontalAdvance(QString::fromLatin1(run)), width);
            QVERIFY(line(2).contains("History of the project \"Site\""));
            QVERIFY(!action("Save2")->isEnabled());
            const QString original = memo()->toPlainText();
            QGuiApplication::clipboard()->setText(QStringLiteral("PASTED"));

            caretAt(4);
            QTest::keyClicks(memo(), "x");
            QTest::keyClick(memo(), Qt::Key_Delete);
            caretAt(4, -1);
            QTest::keyClick(memo(), Qt::Key_Return);
            caretAt(5); // a Backspace here would join the sixth line to the heading
            QTest::keyClick(memo(), Qt::Key_Backspace);
            caretAt(2);
            QTest::keyClick(memo(), Qt::Key_V, Qt::ControlModifier);
            memo()->paste(); // as the context menu's Paste does
            memo()->selectAll();
            QTest::keyClick(memo(), Qt::Key_X, Qt::ControlModifier);
            caretAt(9);
            QMimeData dropped;
            dropped.setText(QStringLiteral("DROPPED"));
            const QPoint onHeading = memo()->cursorRect(QTextCursor(memo()->document()->findBlockByNumber(1))).center();
            QDragEnterEvent enter(onHeading, Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(memo()->viewport(), &enter);
            QDropEvent drop(onHeading, Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(memo()->viewport(), &drop);
            QCOMPARE(memo()->toPlainText(), original);
            QVERIFY(!action("Save2")->isEnabled());

            // The caret still moves through the heading with the keys, and below it the text is free.
            caretAt(0);
            for (int i = 0; i < 5; ++i) QTest::keyClick(memo(), Qt::Key_Down);
            QTest::keyClicks(memo(), "typed ");
            QTest::keyClick(memo(), Qt::Key_V, Qt::ControlModifier);
            QCOMPARE(line(5), QStringLiteral("typed PASTED"));
            QCOMPARE(line(4), QString(80, QLatin1Char('=')));
            QVERIFY(action("Save2")->isEnabled());
        });
    }

    void exportAppendsTxtUnlessTheNameEndsSo() {
        const struct {
            const char* chosen;
            const char* written;
        } cases[] = {{"history", "history.txt"}, {"HISTORY.TXT", "HISTORY.TXT"}, {"notes.log", "notes.log.txt"}};
        inLog([&] {
            const std::string expected = replaceAll(memo()->toPlainText().toStdString(), "\n", "\r\n") + "\r\n";
            for (const auto& c : cases) {
                const std::string chosen = f->dir / c.chosen;
                ui::desktop::setSaveFileNameHandler([chosen] { return QString::fromStdString(chosen); });
                log().showLog();
                action("Save1")->trigger();
                QVERIFY2(!log().isVisible(), c.chosen);
                QCOMPARE(readFile(f->dir / c.written), expected);
                if (std::string(c.chosen) != c.written) QVERIFY(!pathExists(chosen));
            }
            // A cancelled dialogue leaves the window open.
            ui::desktop::setSaveFileNameHandler([] { return QString(); });
            log().showLog();
            action("Save1")->trigger();
            QVERIFY(log().isVisible());
            // Closed without Save, the edit is gone at the next showing.
            const QString saved = memo()->toPlainText();
            caretAt(8, -1);
            QTest::keyClicks(memo(), " unsaved");
            action("Close1")->trigger();
            QVERIFY(!log().isVisible());
            log().showLog();
            QCOMPARE(memo()->toPlainText(), saved);
        });
    }

    void saveRewritesTheNewestArchiveWithOneLog() {
        std::string comment;
        inLog([&] {
            comment = f->comment(f->archives().at(0));
            caretAt(8, -1);
            QTest::keyClicks(memo(), "EDITED");
            action("Save2")->trigger();
            QVERIFY(!log().isVisible());
            QVERIFY(!action("Save2")->isEnabled());
            QVERIFY(f->messages.empty());
            QVERIFY(f->run().engine().state().latestLogText.find("EDITED\r\n") != std::string::npos);
        });
        QCOMPARE(f->archives().size(), std::size_t(1));
        ZipArchive zip;
        zip.open(archive());
        int logs = 0;
        for (std::size_t i = 0; i < zip.count(); ++i) logs += zip.item(i).fileName == kProjectLogItem;
        QCOMPARE(logs, 1);
        QVERIFY(zip.extractToString(kProjectLogItem).find("  EDITED\r\n") != std::string::npos);
        QVERIFY(zip.findFile("Site/index.html") >= 0);
        QCOMPARE(zip.comment(), comment);
        QCOMPARE(run("'" KP_KPAD_PATH "' verify '" + archive() + "' >/dev/null 2>&1"), 0);
        QCOMPARE(run("unzip -tq '" + archive() + "' >/dev/null 2>&1"), 0);
        std::string shown;
        QCOMPARE(run("XDG_CONFIG_HOME='" + (f->dir / "config") + "' '" KP_KPAD_PATH "' log '" + (f->dir / "Site") + "'",
                     &shown),
                 0);
        QVERIFY(shown.find("EDITED") != std::string::npos);
    }

    void aFailedSaveIsReportedAndLosesNothing() {
        const std::string damaged = "not an archive any more";
        inLog([&] {
            writeFileAtomically(archive(), damaged);
            caretAt(8, -1);
            QTest::keyClicks(memo(), "KEPT");
            action("Save2")->trigger();
            QCOMPARE(f->messages.size(), std::size_t(1));
            QCOMPARE(f->messages[0].kind, ui::MessageBox::Kind::Error);
            QVERIFY(log().isVisible());
            QVERIFY(action("Save2")->isEnabled());
            QVERIFY(line(8).endsWith("KEPT"));
            QVERIFY(f->run().engine().state().latestLogText.find("KEPT") != std::string::npos);
        });
        QCOMPARE(readFile(archive()), damaged);
        QCOMPARE(f->archives().size(), std::size_t(1)); // no twin left behind
    }
};

QTEST_MAIN(LogWindowTest)
#include "LogWindowTest.moc"
