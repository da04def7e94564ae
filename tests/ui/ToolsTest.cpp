// The Tools tab: browsing the stored states and restoring one, driven with keys and clicks
// on the widgets; every message box is answered by the seam.
#include <QCheckBox>
#include <QDesktopServices>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QUrl>

#include <fcntl.h>
#include <unistd.h>

#include "UiFixture.h"
#include "platform/FileSystem.h"
#include "ui/ToolsTab.h"
#include "zip/ZipArchive.h"

using namespace kp;
using namespace kp::test;

namespace {

struct Tab {
    QListWidget* list;
    QPlainTextEdit* comment;
    QLabel* path;
    QLabel* position;
    QLabel* count;
    QCheckBox* recovery;
    QCheckBox* parents;
    QPushButton* replace;

    // The row as shown; when a screen reader would read other values, those follow.
    QString itemRow() const {
        const QString shown = "Item " + position->text() + " of " + count->text();
        const QString heard = "Item " + UiFixture::heard(position) + " of " + UiFixture::heard(count);
        return shown == heard ? shown : shown + " (read as " + heard + ")";
    }
    QStringList lines() const {
        QStringList out;
        for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
        return out;
    }
    QPoint rowCentre(int row) const { return list->visualItemRect(list->item(row)).center(); }
    QPoint belowLastLine() const { return {10, list->viewport()->height() - 2}; }
};

// Switches the window to the Tools tab, as a click on its page tab does.
Tab toolsTab(ui::OptionsWindow& w) {
    // Focus is only given inside the active window, which a busy machine may make a moment late.
    (void)QTest::qWaitFor([&w] { return w.isActiveWindow(); }, 5000);
    w.tabs()->setCurrentIndex(1);
    QCoreApplication::processEvents(); // the tab reads the shown state's comment once on screen
    return {UiFixture::find<QListWidget>(&w, "ListBox1"), UiFixture::find<QPlainTextEdit>(&w, "Memo3"),
            UiFixture::find<QLabel>(&w, "Label3"),        UiFixture::find<QLabel>(&w, "Label21"),
            UiFixture::find<QLabel>(&w, "Label18"),       UiFixture::find<QCheckBox>(&w, "CheckBox2"),
            UiFixture::find<QCheckBox>(&w, "CheckBox1"),  UiFixture::find<QPushButton>(&w, "Button3")};
}

void cancel(ui::OptionsWindow& w) {
    if (w.isVisible()) QTest::mouseClick(UiFixture::find<QPushButton>(&w, "CancelBtn"), Qt::LeftButton);
}

QString storingComment(ui::OptionsWindow& w) { return UiFixture::find<QPlainTextEdit>(&w, "Memo1")->toPlainText(); }

const QString kNotFound = QStringLiteral("Can't find zip file!");

} // namespace

class ToolsTest : public QObject {
    Q_OBJECT

public slots:
    void openUrl(const QUrl& url) { m_opened << url; }

private:
    std::unique_ptr<UiFixture> f;
    QList<QUrl> m_opened;

    // Site stored three times, each state with its own index.html and comment.
    std::string threeStates() {
        const std::string site = f->makeSite();
        const char* names[] = {"one", "two", "three"};
        for (int i = 0; i < 3; ++i) {
            f->dir.write("Site/index.html", std::string("<p>") + names[i] + "</p>");
            f->storeState(site, "2010-12-03 15:" + std::to_string(i) + "0:00", std::string("state ") + names[i]);
        }
        f->dir.write("Site/index.html", "<p>now</p>");
        return site;
    }

    // Runs the project with the options window open, doing step in it; the window is
    // cancelled afterwards if the step left it open.
    void withOptions(const std::string& project, std::function<void(ui::OptionsWindow&)> step) {
        f->onOptions([step](ui::OptionsWindow& w) {
            step(w);
            cancel(w);
        });
        f->start(project, true);
        QVERIFY(f->waitFinished());
    }

    void browse(ui::OptionsWindow& w) {
        const Tab t = toolsTab(w);
        QCOMPARE(UiFixture::unreadValues(&w).join(QLatin1Char(' ')), QString()); // on every tab of the window
        QCOMPARE(t.lines(), (QStringList{"Site-101203.1520c.zip", "Site-101203.1510c.zip", "Site-101203.1500c.zip"}));
        QVERIFY(t.list->hasFocus());
        QCOMPARE(t.itemRow(), QStringLiteral("Item 1 of 3"));
        QVERIFY(t.comment->toPlainText().startsWith(QStringLiteral("state three\n")));
        QCOMPARE(t.path->text(), QString::fromStdString(f->dir / "Site/#tarnel/"));
        QVERIFY(t.path->toolTip().isEmpty());
        QVERIFY(t.comment->isReadOnly() && t.comment->cursorWidth() == 0);

        const char* comments[] = {"state two", "state one", "state one"};
        const char* rows[] = {"Item 2 of 3", "Item 3 of 3", "Item 3 of 3"};
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(t.list, Qt::Key_Down);
            QCOMPARE(t.itemRow(), QString::fromLatin1(rows[i]));
            QVERIFY(t.comment->toPlainText().startsWith(QString::fromLatin1(comments[i])));
        }
        QCOMPARE(t.list->currentRow(), 2);
        QTest::keyClick(t.list, Qt::Key_Up);
        QCOMPARE(t.itemRow(), QStringLiteral("Item 2 of 3"));
        QVERIFY(t.comment->toPlainText().startsWith(QStringLiteral("state two\n")));

        // Space moves the focus to the comment and back; in the comment Down scrolls it.
        QTest::keyClick(t.list, Qt::Key_Space);
        QVERIFY(t.comment->hasFocus());
        QCOMPARE(t.list->currentRow(), 1);
        QTest::keyClick(t.comment, Qt::Key_Space);
        QVERIFY(t.list->hasFocus());

        // A click below the last line selects the oldest state.
        QTest::mouseClick(t.list->viewport(), Qt::LeftButton, {}, t.rowCentre(0));
        QCOMPARE(t.itemRow(), QStringLiteral("Item 1 of 3"));
        QTest::mouseClick(t.list->viewport(), Qt::LeftButton, {}, t.belowLastLine());
        QCOMPARE(t.list->currentRow(), 2);
        QCOMPARE(t.itemRow(), QStringLiteral("Item 3 of 3"));
        QVERIFY(t.comment->toPlainText().startsWith(QStringLiteral("state one\n")));
        QVERIFY(f->messages.empty());
    }

private slots:
    void init() {
        f = std::make_unique<UiFixture>();
        m_opened.clear();
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openUrl");
    }
    void cleanup() {
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        f.reset();
    }

    void threeStatesNewestFirstWithKeysSpaceAndClicks() {
        withOptions(threeStates(), [this](ui::OptionsWindow& w) { browse(w); });
    }

    void commentScrollsByALineWithUpAndDown() {
        const std::string site = f->makeSite();
        std::string lines;
        for (int i = 1; i <= 30; ++i) lines += "line " + std::to_string(i) + "\r\n";
        f->storeState(site, "2010-12-03 15:00:00", "many");
        // The comment of a stored state is the one in its archive; give it many lines.
        const std::string archive = f->dir / "Site/#tarnel/Site-101203.1500c.zip";
        {
            ZipArchive zip;
            zip.open(archive);
            zip.setComment(lines);
            zip.save();
        }
        withOptions(site, [](ui::OptionsWindow& w) {
            const Tab t = toolsTab(w);
            QVERIFY(t.comment->toPlainText().startsWith(QStringLiteral("line 1\nline 2\n")));
            QTest::keyClick(t.list, Qt::Key_Space);
            QScrollBar* bar = t.comment->verticalScrollBar();
            QCOMPARE(bar->value(), 0);
            QTest::keyClick(t.comment, Qt::Key_Down);
            QTest::keyClick(t.comment, Qt::Key_Down);
            QCOMPARE(bar->value(), 2);
            QTest::keyClick(t.comment, Qt::Key_Up);
            QCOMPARE(bar->value(), 1);
            QVERIFY(t.comment->hasFocus());
        });
    }

    void noStatesShowThePlaceholder() {
        withOptions(f->makeSite(), [this](ui::OptionsWindow& w) {
            const Tab t = toolsTab(w);
            QCOMPARE(t.lines(), QStringList{"There are no comment files"});
            QCOMPARE(t.itemRow(), QStringLiteral("Item 0 of 0"));
            QVERIFY(t.comment->toPlainText().isEmpty());
            QVERIFY(!t.recovery->isEnabled());
            t.recovery->setChecked(true); // ticked anyway, it does not hold
            QVERIFY(!t.recovery->isChecked());
            QVERIFY(!t.replace->isEnabled());
            QTest::mouseClick(t.list->viewport(), Qt::LeftButton, {}, t.belowLastLine());
            QTest::mouseDClick(t.list->viewport(), Qt::LeftButton, {}, t.rowCentre(0));
            QCOMPARE(t.list->currentRow(), 0);
            QCOMPARE(t.itemRow(), QStringLiteral("Item 0 of 0"));
            QVERIFY(f->messages.empty());
            QVERIFY(m_opened.isEmpty());
        });
    }

    void folderLongerThanSixtyIsShortenedWithAHint_data() {
        QTest::addColumn<int>("length");
        QTest::newRow("60") << 60;
        QTest::newRow("61") << 61;
    }
    void folderLongerThanSixtyIsShortenedWithAHint() {
        QFETCH(int, length);
        // The archive folder is <temp>/<pad>/Site/#tarnel/, of exactly `length` characters.
        const int pad = length - int(f->dir.path().size()) - int(std::string("//Site/#tarnel/").size());
        QVERIFY(pad > 0);
        const std::string project = f->dir / (std::string(std::size_t(pad), 'p') + "/Site");
        f->dir.write(project.substr(f->dir.path().size() + 1) + "/index.html", "x");
        f->storeState(project, "2010-12-03 15:00:00", "long");
        const QString folder = QString::fromStdString(project + "/#tarnel/");
        QCOMPARE(folder.size(), length);
        withOptions(project, [&](ui::OptionsWindow& w) {
            const Tab t = toolsTab(w);
            if (length <= 60) {
                QCOMPARE(t.path->text(), folder);
                QVERIFY(t.path->toolTip().isEmpty());
            } else {
                QCOMPARE(t.path->text(), folder.left(57) + "...");
                QCOMPARE(t.path->toolTip(), folder);
            }
        });
    }

    void parentDirectoriesWidenTheListAndDisarm() {
        const std::string site = f->makeSite();
        f->storeState(f->dir.path(), "2010-12-03 14:00:00", "the enclosing folder");
        f->storeState(site, "2010-12-03 15:00:00", "own");
        const std::string outer = fileNamePart(f->dir.path()) + "-101203.1400c.zip";
        withOptions(site, [&](ui::OptionsWindow& w) {
            const Tab t = toolsTab(w);
            QCOMPARE(t.lines(), QStringList{"Site-101203.1500c.zip"});
            QTest::mouseClick(t.recovery, Qt::LeftButton);
            QVERIFY(t.recovery->isChecked() && t.replace->isEnabled());

            QTest::mouseClick(t.parents, Qt::LeftButton);
            QCOMPARE(t.lines(), (QStringList{"Site-101203.1500c.zip", QString::fromStdString(outer)}));
            QCOMPARE(t.itemRow(), QStringLiteral("Item 1 of 2"));
            QVERIFY(!t.recovery->isEnabled());
            QVERIFY(!t.recovery->isChecked() && !t.replace->isEnabled());
            QVERIFY(t.list->hasFocus());
            QTest::keyClick(t.list, Qt::Key_Down);
            QVERIFY(t.comment->toPlainText().startsWith(QStringLiteral("the enclosing folder\n")));
            QCOMPARE(t.path->text(), QString::fromStdString(f->dir / "#tarnel/"));

            QTest::mouseClick(t.parents, Qt::LeftButton);
            QCOMPARE(t.lines(), QStringList{"Site-101203.1500c.zip"});
            QCOMPARE(t.itemRow(), QStringLiteral("Item 1 of 1"));
            QVERIFY(t.recovery->isEnabled());
            QVERIFY(t.comment->toPlainText().startsWith(QStringLiteral("own\n")));
        });
    }

    void armingAndDisarming() {
        withOptions(threeStates(), [this](ui::OptionsWindow& w) {
            const Tab t = toolsTab(w);
            QVERIFY(t.recovery->isEnabled() && !t.recovery->isChecked() && !t.replace->isEnabled());
            QTest::mouseClick(t.recovery, Qt::LeftButton);
            QVERIFY(t.recovery->isChecked() && t.replace->isEnabled());
            QVERIFY(!t.comment->isEnabled());

            // Neither a right press nor the keyboard makes the request.
            QTest::mousePress(t.replace, Qt::RightButton);
            QTest::mouseRelease(t.replace, Qt::RightButton);
            t.replace->setFocus();
            QTest::keyClick(t.replace, Qt::Key_Space);
            QVERIFY(w.isVisible());
            QVERIFY(storingComment(w).isEmpty());
            QVERIFY(f->messages.empty());

            // The list taking the focus disarms.
            QTest::mouseClick(t.list->viewport(), Qt::LeftButton, {}, t.rowCentre(1));
            QVERIFY(!t.recovery->isChecked() && !t.replace->isEnabled() && t.comment->isEnabled());

            // Unticking hands the focus back to the list.
            QTest::mouseClick(t.recovery, Qt::LeftButton);
            QVERIFY(t.recovery->hasFocus() && t.replace->isEnabled());
            QTest::mouseClick(t.recovery, Qt::LeftButton);
            QVERIFY(!t.replace->isEnabled());
            QVERIFY(t.list->hasFocus());
        });
        QCOMPARE(f->archives().size(), std::size_t(3));
    }

    void replaceStoresThePresentStateAndRestoresTheChosenOne() {
        const std::string site = threeStates();
        f->onOptions([](ui::OptionsWindow& w) {
            QTest::keyClicks(UiFixture::find<QPlainTextEdit>(&w, "Memo1"), "my words");
            QTest::mouseClick(UiFixture::find<QCheckBox>(&w, "CheckBox5"), Qt::LeftButton); // a new version
            const Tab t = toolsTab(w);
            QTest::keyClick(t.list, Qt::Key_Down);
            QTest::mouseClick(t.recovery, Qt::LeftButton);
            QTest::mousePress(t.replace, Qt::LeftButton);
            QVERIFY(!w.isVisible()); // closed as with OK
            QCOMPARE(storingComment(w), QStringLiteral("After this archive creation, the archive\n "
                                                       "Site-101203.1510c.zip \nwas restored.\n\nmy words"));
            QVERIFY(!UiFixture::find<QCheckBox>(&w, "CheckBox5")->isChecked());
        });
        f->start(site, true);
        QVERIFY(f->waitFinished());
        QVERIFY(f->messages.empty());
        QCOMPARE(readFile(f->dir / "Site/index.html"), std::string("<p>two</p>"));
        QCOMPARE(f->archives().back(), std::string("Site-101203.1530c.zip"));
        const std::string note = "After this archive creation, the archive\r\n Site-101203.1510c.zip \r\nwas restored."
                                 "\r\n\r\nmy words\r\n";
        QCOMPARE(f->comment("Site-101203.1530c.zip").substr(0, note.size()), note);
        ZipArchive stored;
        stored.open(f->dir / "Site/#tarnel/Site-101203.1530c.zip");
        QCOMPARE(stored.extractToString("Site/index.html"), std::string("<p>now</p>"));
        QVERIFY(UiFixture::find<QLabel>(&f->run().card(), "Label6")->text().startsWith(QStringLiteral("Restoring ")));
    }

    void busyFileAndDamagedStateAreRefusedByName() {
        const std::string site = threeStates();
        // One byte of the second state's index.html, stored uncompressed, changed.
        const std::string second = f->dir / "Site/#tarnel/Site-101203.1510c.zip";
        std::string bytes = readFile(second);
        const auto at = bytes.find("<p>two</p>");
        QVERIFY(at != std::string::npos);
        bytes[at + 1] = 'P';
        f->dir.write("Site/#tarnel/Site-101203.1510c.zip", bytes);
        int fd = ::open((f->dir / "Site/docs/a.txt").c_str(), O_RDONLY); // held as another program would
        QVERIFY(fd >= 0);

        withOptions(site, [&](ui::OptionsWindow& w) {
            const Tab t = toolsTab(w);
            QTest::keyClick(t.list, Qt::Key_Down);
            QTest::mouseClick(t.recovery, Qt::LeftButton);
            QTest::mousePress(t.replace, Qt::LeftButton);
            QVERIFY(w.isVisible());
            QCOMPARE(f->messages.size(), std::size_t(1));
            QCOMPARE(f->messages[0].kind, ui::MessageBox::Kind::BusyFiles);
            QCOMPARE(f->messages[0].button, QMessageBox::Yes);
            QCOMPARE(f->messages[0].text, QStringLiteral("Kestrelpad message.\nSome files are busy by the another "
                                                         "applications:\n\nSite/docs/a.txt\n\nClose these "
                                                         "applications before restoring, please."));
            ::close(fd);
            fd = -1;
            QTest::mousePress(t.replace, Qt::LeftButton);
            QVERIFY(w.isVisible());
            QCOMPARE(f->messages.size(), std::size_t(2));
            QCOMPARE(f->messages[1].text, QStringLiteral("Kestrelpad message :\nThe archive Site-101203.1510c.zip is "
                                                         "corrupt.\nTry to restore another archive."));
            QVERIFY(storingComment(w).isEmpty()); // no note for a refused request
        });
        if (fd >= 0) ::close(fd);
        QCOMPARE(f->archives().size(), std::size_t(3));
        QCOMPARE(readFile(f->dir / "Site/index.html"), std::string("<p>now</p>"));
    }

    void rightPressOnTheCommentDoesNothing() {
        withOptions(threeStates(), [this](ui::OptionsWindow& w) {
            const Tab t = toolsTab(w);
            QVERIFY(t.list->hasFocus());
            QTest::mousePress(t.comment->viewport(), Qt::RightButton);
            QTest::mouseRelease(t.comment->viewport(), Qt::RightButton);
            QVERIFY(t.list->hasFocus());
            QVERIFY(!QApplication::activePopupWidget()); // no context menu
            QVERIFY(t.comment->toPlainText().startsWith(QStringLiteral("state three\n")));
            QTest::mouseClick(t.comment->viewport(), Qt::LeftButton);
            QVERIFY(t.comment->hasFocus());
            QVERIFY(f->messages.empty());
        });
    }

    void vanishedArchiveIsReportedAndAPresentOneOpened() {
        withOptions(threeStates(), [this](ui::OptionsWindow& w) {
            QVERIFY(removeFile(f->dir / "Site/#tarnel/Site-101203.1510c.zip"));
            const Tab t = toolsTab(w);
            QTest::keyClick(t.list, Qt::Key_Down);
            QCOMPARE(t.itemRow(), QStringLiteral("Item 2 of 3"));
            QVERIFY(t.comment->toPlainText().isEmpty());
            QCOMPARE(f->messages.size(), std::size_t(1));
            QCOMPARE(f->messages[0].text, kNotFound);
            QTest::mouseDClick(t.list->viewport(), Qt::LeftButton, {}, t.rowCentre(1));
            QCOMPARE(f->messages.size(), std::size_t(2));
            QCOMPARE(f->messages.back().text, kNotFound);
            QVERIFY(m_opened.isEmpty());

            f->messages.clear();
            // The first press of a double click selects the row (a test's double click has none).
            QTest::mouseClick(t.list->viewport(), Qt::LeftButton, {}, t.rowCentre(0));
            QTest::mouseDClick(t.list->viewport(), Qt::LeftButton, {}, t.rowCentre(0));
            QCOMPARE(m_opened, QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(
                                   f->dir / "Site/#tarnel/Site-101203.1520c.zip"))});
            QVERIFY(f->messages.empty());
        });
    }
};

QTEST_MAIN(ToolsTest)
#include "ToolsTest.moc"
