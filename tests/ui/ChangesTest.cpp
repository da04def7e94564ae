// The Tools tab's "Show changes…" and "Copy files out…" dialogs on a real stored state.
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QTimer>

#include "UiFixture.h"
#include "engine/Startup.h"
#include "platform/FileSystem.h"
#include "store/Trains.h"
#include "ui/ChangesDialog.h"
#include "ui/CopyOutDialog.h"

using namespace kp;
using namespace kp::test;

class ChangesTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<UiFixture> f;
    RunState project;
    std::string state;

private slots:
    void init() {
        f = std::make_unique<UiFixture>();
        f->makeSite(true);
        f->dir.write("Site/index.html", "<p>changed, and longer</p>");
        f->dir.write("Site/new.txt", "new");
        removeFile(f->dir / "Site/docs/a.txt");
        resolveProjectItem(project, f->dir / "Site");
        project.archives = FindArchives(project.archiveFolder, kRepositoryName, project.projectName(), f->clock);
        state = f->dir / "Site/#tarnel/Site-101203.1500c.zip";
    }
    void cleanup() { f.reset(); }

    void changesListEveryKindAndFilter() {
        ui::ChangesDialog dialog(project, state);
        QCOMPARE(dialog.shownCount(), 3); // index.html modified, new.txt added, docs/a.txt deleted
        QCOMPARE(UiFixture::heard(UiFixture::find<QLabel>(&dialog, "ChangesSummary")),
                 QStringLiteral("1 added, 1 deleted, 1 modified"));
        auto* filter = UiFixture::find<QLineEdit>(&dialog, "ChangesFilter");
        QTest::keyClicks(filter, "INDEX");
        QCOMPARE(dialog.shownCount(), 1);
        filter->setText("Site/*.txt"); // a pattern: * crosses folders
        QCOMPARE(dialog.shownCount(), 2);
    }

    void copyOutWritesTheChosenFileAndNeverReplacesWithoutAsking() {
        ui::CopyOutDialog dialog(project, state);
        dialog.choose({"Site/index.html"});
        dialog.setTargetFolder(QString::fromStdString(f->dir / "out"));
        const bool copied = dialog.copyChosen();
        QVERIFY2(copied, f->messages.empty() ? "" : qPrintable(f->messages.back().text));
        QCOMPARE(readFile(f->dir / "out/Site/index.html"), std::string("<p>hello</p>"));
        QVERIFY(!pathExists(f->dir / "out/Site/docs"));
        QVERIFY(UiFixture::heard(UiFixture::find<QLabel>(&dialog, "CopyStatus")).startsWith("1 files copied to "));

        f->dir.write("out/Site/index.html", "kept");
        QVERIFY(!dialog.copyChosen());
        QCOMPARE(readFile(f->dir / "out/Site/index.html"), std::string("kept"));
        QCOMPARE(f->messages.size(), std::size_t(1));
        QVERIFY(f->messages[0].text.startsWith(QStringLiteral("These files exist already")));
    }

    void stateMenuOpensFromTheKeyboard() {
        QStringList offered;
        f->onOptions([&](ui::OptionsWindow& w) {
            w.tabs()->setCurrentIndex(1);
            auto* list = UiFixture::find<QListWidget>(&w, "ListBox1");
            QTRY_VERIFY(w.isActiveWindow());
            list->setFocus();
            QTimer::singleShot(200, [&] {
                if (QWidget* menu = QApplication::activePopupWidget()) {
                    for (QAction* a : menu->actions()) offered << a->text();
                    menu->close();
                }
            });
            QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
            QTest::keyClick(&w, Qt::Key_Escape);
        });
        f->start(f->dir / "Site", true);
        QVERIFY(f->waitFinished());
        QCOMPARE(offered, (QStringList{QStringLiteral("Show changes…"), QStringLiteral("Copy files out…")}));
    }
};

QTEST_MAIN(ChangesTest)
#include "ChangesTest.moc"
