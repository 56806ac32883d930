#include <QApplication>
#include <QFile>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>

#include "fake_dialogs.h"
#include "main_window/folder_list.h"
#include "main_window/form1.h"
#include "results_window/form4.h"
#include "results_window/results_model.h"
#include "settings/settings_store.h"
#include "shared/global.h"
#include "support/temp_tree.h"
#include "support/test_env.h"

using namespace tallyrook;

// The find button drives the real search run through the window's host.
class TestFindRun : public QObject {
    Q_OBJECT

    Global global;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<ResultsModel> results;
    test::FakeDialogs dialogs;
    std::unique_ptr<Form1> form;
    test::TempTree tree;

    QPushButton* Button(const char* name) {
        return form->findChild<QPushButton*>(QString::fromLatin1(name));
    }
    void Tick(const char* name) {
        form->findChild<QAbstractButton*>(QString::fromLatin1(name))->setChecked(true);
    }
    void AddEntry(const QString& path) {
        form->findChild<FolderListView*>(QStringLiteral("ListView3"))->AddEntry(path);
    }
    void Find() { QTest::mouseClick(Button("Check1"), Qt::LeftButton); }

    void ExpectAtRest() {
        QVERIFY(Button("Check1")->isVisibleTo(form.get()));
        QVERIFY(!Button("Check6")->isVisibleTo(form.get()));
        QCOMPARE(form->windowTitle(), QStringLiteral("Tallyrook"));
        QCOMPARE(form->findChild<QProgressBar*>(QStringLiteral("ProgressBar1"))->value(), 0);
        QVERIFY(!QApplication::overrideCursor());
    }

private Q_SLOTS:
    void initTestCase() {
        // Enough folders that the walk polls many times.
        for (int i = 0; i < 40; ++i)
            tree.file(QStringLiteral("music/album%1/track.mp3").arg(i), 100 + i);
        tree.file(QStringLiteral("photos/a/IMG_1.jpg"), 5);
        tree.file(QStringLiteral("photos/b/IMG_1.jpg"), 6);
        tree.file(QStringLiteral("docs/report.txt"), 7);
    }

    void init() {
        settings = std::make_unique<SettingsStore>();
        results = std::make_unique<ResultsModel>(global);
        dialogs = {};
        form = std::make_unique<Form1>(global, *settings, *results, &dialogs);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }

    void cleanup() { form.reset(); }

    void duplicatesTakeTheWindowsPlace() {
        Tick("Check4");
        AddEntry(tree.path(QStringLiteral("photos")));
        AddEntry(tree.path(QStringLiteral("docs")));
        settings->WriteSetting(QStringLiteral("Stop"), QStringLiteral("True"));  // a stale stop
        const QRect place = form->geometry();
        Find();
        QVERIFY(dialogs.shown.isEmpty());
        QCOMPARE(results->RowCount(), 2);
        QVERIFY(form->ResultsWindow());
        QVERIFY(form->ResultsWindow()->isVisible());
        QCOMPARE(form->ResultsWindow()->size(), place.size());
        QVERIFY(!form->isVisible());
        QCOMPARE(settings->ReadSetting(QStringLiteral("Stop")), QStringLiteral("False"));
        ExpectAtRest();
    }

    void stopButtonDuringTheWalk() {
        Tick("Check5");
        AddEntry(tree.path(QStringLiteral("music")));
        AddEntry(tree.path(QStringLiteral("photos")));
        bool stopWasShown = false;
        // Fires at the run's first look at pending events, with the stop button in Find's place.
        QTimer::singleShot(0, this, [&] {
            stopWasShown = Button("Check6")->isVisible() && !Button("Check1")->isVisible();
            QTest::mouseClick(Button("Check6"), Qt::LeftButton);
        });
        Find();
        QVERIFY(stopWasShown);
        QCOMPARE(settings->ReadSetting(QStringLiteral("Stop")), QStringLiteral("True"));
        // Stopped: no message, no results window, the inventory cut short.
        QVERIFY(dialogs.shown.isEmpty());
        QVERIFY(!form->ResultsWindow() || !form->ResultsWindow()->isVisible());
        QVERIFY(global.FileCount() < 42);
        QVERIFY(form->isVisible());
        ExpectAtRest();
    }

    void entriesRemovedDuringTheRunAreNotWalkedWrongly() {
        Tick("Check4");
        AddEntry(tree.path(QStringLiteral("music")));
        AddEntry(tree.path(QStringLiteral("photos")));
        QTimer::singleShot(
            0, this, [&] { form->findChild<QPushButton*>(QStringLiteral("Check3"))->click(); });
        Find();
        // The run took its entries at the start: both folders were walked.
        QCOMPARE(global.FileCount(), 42);
        QVERIFY(form->FolderEntries().isEmpty());
    }

    void closingDuringTheRunEndsItSilently() {
        Tick("Check4");
        AddEntry(tree.path(QStringLiteral("music")));
        AddEntry(tree.path(QStringLiteral("docs")));
        QTimer::singleShot(0, this, [&] { form->close(); });
        Find();
        QVERIFY(form->IsClosing());
        // No "No dupes", no results window, nothing more in the store.
        QVERIFY(dialogs.shown.isEmpty());
        QVERIFY(!form->ResultsWindow());
        QVERIFY(global.FileCount() < 41);
        QVERIFY(!QApplication::overrideCursor());
    }
};

TALLYROOK_TEST_GUI_MAIN(TestFindRun)
#include "test_find_run.moc"
