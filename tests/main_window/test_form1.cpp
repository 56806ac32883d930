#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <memory>

#include "fake_dialogs.h"
#include "main_window/folder_list.h"
#include "main_window/form1.h"
#include "results_window/picture_button.h"
#include "results_window/results_model.h"
#include "search/search_host.h"
#include "settings/settings_store.h"
#include "shared/global.h"
#include "shared/twips.h"
#include "support/test_env.h"

using namespace tallyrook;

namespace {

QString ConfigFile() {
    return test::TestHome() + QStringLiteral("/config/Marwendel/Tallyrook.conf");
}

// A fresh program start: its own store read from disk, its own window.
struct Program {
    Global global;
    SettingsStore settings;
    ResultsModel results{global};
    test::FakeDialogs dialogs;
    std::unique_ptr<Form1> form;

    Program() { form = std::make_unique<Form1>(global, settings, results, &dialogs); }
    QString Key(const char* key) { return settings.ReadSetting(QString::fromLatin1(key)); }
    template <typename T>
    T* Child(const char* name) {
        return form->findChild<T*>(QString::fromLatin1(name));
    }
};

void Store(std::initializer_list<std::pair<const char*, QString>> values) {
    QFile::remove(ConfigFile());
    SettingsStore store;
    for (const auto& [key, value] : values)
        store.WriteSetting(QString::fromLatin1(key), value);
    QVERIFY(store.Sync());
}

QRect PixelRect(int left, int top, int width, int height) {
    return {TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height)};
}

}  // namespace

class TestForm1 : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QFile::remove(ConfigFile()); }

    void firstStartHasTheDesignWindow() {
        Program p;
        Form1& form = *p.form;
        QCOMPARE(form.windowTitle(), QStringLiteral("Tallyrook 7.0"));
        QCOMPARE(form.size(), QSize(707, 416));
        QCOMPARE(form.windowState(), Qt::WindowNoState);

        // Every control under its name; the stop button lies hidden exactly over Find.
        for (const char* name : {"Check1", "Check2", "Check3", "Check6"})
            QVERIFY2(p.Child<PictureButton>(name), name);
        for (const char* name : {"Check4", "Check5", "Check7"})
            QVERIFY2(p.Child<QCheckBox>(name) && !p.Child<QCheckBox>(name)->isChecked(), name);
        QVERIFY(p.Child<QObject>("ImageList1") && p.Child<QLabel>("Image6"));
        QWidget* find = p.Child<QWidget>("Check1");
        QWidget* stop = p.Child<QWidget>("Check6");
        QCOMPARE(find->geometry(), PixelRect(5760, 120, 1455, 1095));
        QCOMPARE(stop->geometry(), find->geometry());
        QVERIFY(find->isVisibleTo(&form));
        QVERIFY(!stop->isVisibleTo(&form));
        // 1600 x 1200 screen: ((24000 - 10605) / 2, (18000 - 6240) / 2 - 1000) twips.
        QCOMPARE(form.pos(), QPoint(TwipsToPixels(6697.5), TwipsToPixels(4880)));

        auto* frame = p.Child<QGroupBox>("Frame2");
        QCOMPARE(frame->palette().color(QPalette::WindowText), QColor(128, 128, 128));
        auto* list = p.Child<QTreeWidget>("ListView3");
        QCOMPARE(list->parentWidget(), frame);
        QCOMPARE(list->columnCount(), 1);
        QCOMPARE(list->headerItem()->text(0), QStringLiteral("Folder"));
        QCOMPARE(list->topLevelItemCount(), 0);

        // Focus order.
        QStringList order;
        QWidget* w = p.Child<QWidget>("Check2");
        for (int i = 0; i < 40 && order.size() < 8; ++i, w = w->nextInFocusChain()) {
            if (w->objectName().startsWith(u"Check") || w->objectName() == u"ListView3")
                if (!order.contains(w->objectName()))
                    order.append(w->objectName());
        }
        QCOMPARE(order, QStringList({QStringLiteral("Check2"), QStringLiteral("Check1"),
                                     QStringLiteral("Check3"), QStringLiteral("ListView3"),
                                     QStringLiteral("Check4"), QStringLiteral("Check5"),
                                     QStringLiteral("Check6"), QStringLiteral("Check7")}));

        // Start-up saves what it applied; the boxes were not changed, so nothing is written.
        QCOMPARE(p.Key("WindowState"), QStringLiteral("0"));
        QCOMPARE(p.Key("FormWidth"), QStringLiteral("10605"));
        QCOMPARE(p.Key("FormHeight"), QStringLiteral("6240"));
        QCOMPARE(p.Key("ExactFilename"), QString());
    }

    void storedSettingsAreRestoredAndWrittenBack() {
        Store({{"WindowState", QStringLiteral("0")},
               {"FormWidth", QStringLiteral("12000")},
               {"FormHeight", QStringLiteral("8000")},
               {"ExactFilename", QStringLiteral(" 1")},
               {"ExactFilesize", QStringLiteral("0")},
               {"SimilarFilename", QStringLiteral("1")}});
        Program p;
        QCOMPARE(p.form->OuterSizeTwips(), QSize(12000, 7995));
        QVERIFY(p.Child<QCheckBox>("Check4")->isChecked());
        QVERIFY(!p.Child<QCheckBox>("Check5")->isChecked());
        QVERIFY(p.Child<QCheckBox>("Check7")->isChecked());
        // The restored tick went through the box's own handler, which rewrites the key.
        QCOMPARE(p.Key("ExactFilename"), QStringLiteral("1"));
        QCOMPARE(p.Key("ExactFilesize"), QStringLiteral("0"));
        QCOMPARE(p.form->Layout().listWidth, 11400);
        auto* list = p.Child<QTreeWidget>("ListView3");
        QCOMPARE(list->columnWidth(0), TwipsToPixels(11400 * 7.0 / 8.0 - 100));
    }

    void maximisedAndMinimisedStatesKeepTheStoredSize() {
        // Applying the state saves the geometry keys; the stored size must survive that.
        Store({{"WindowState", QStringLiteral("1")},
               {"FormWidth", QStringLiteral("12000")},
               {"FormHeight", QStringLiteral("8000")}});
        {
            Program p;
            QVERIFY(p.form->windowState() & Qt::WindowMinimized);
            QCOMPARE(p.form->OuterSizeTwips(), QSize(12000, 7995));
            QCOMPARE(p.Key("WindowState"), QStringLiteral("1"));
        }
        Store({{"WindowState", QStringLiteral("2")},
               {"FormWidth", QStringLiteral("12000")},
               {"FormHeight", QStringLiteral("8000")}});
        Program p;
        QVERIFY(p.form->windowState() & Qt::WindowMaximized);
        QCOMPARE(p.form->OuterSizeTwips(), QSize(12000, 7995));
        p.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(p.form.get()));
        QCOMPARE(p.Key("WindowState"), QStringLiteral("2"));
    }

    void unusableSettingsKeepTheDesign_data() {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("height");
        QTest::addColumn<QString>("criterion");
        QTest::newRow("empty") << ""
                               << ""
                               << ""
                               << "";
        QTest::newRow("words") << "normal"
                               << "wide"
                               << "tall"
                               << "yes";
        QTest::newRow("out of 16 bits") << "65536"
                                        << "40000"
                                        << "-40000"
                                        << "70000";
        QTest::newRow("unknown state, sizes off the screen") << "3"
                                                             << "32767"
                                                             << "20000"
                                                             << "2";
        QTest::newRow("negative") << "-1"
                                  << "-12000"
                                  << "0"
                                  << "-1";
    }

    void unusableSettingsKeepTheDesign() {
        QFETCH(QString, state);
        QFETCH(QString, width);
        QFETCH(QString, height);
        QFETCH(QString, criterion);
        Store({{"WindowState", state},
               {"FormWidth", width},
               {"FormHeight", height},
               {"ExactFilename", criterion},
               {"ExactFilesize", criterion},
               {"SimilarFilename", criterion}});
        Program p;
        QCOMPARE(p.form->windowState(), Qt::WindowNoState);
        QCOMPARE(p.form->size(), QSize(707, 416));
        for (const char* name : {"Check4", "Check5", "Check7"})
            QVERIFY(!p.Child<QCheckBox>(name)->isChecked());
        // The usable design values replace the bad ones at once; the boxes' keys stay untouched.
        QCOMPARE(p.Key("WindowState"), QStringLiteral("0"));
        QCOMPARE(p.Key("FormWidth"), QStringLiteral("10605"));
        QCOMPARE(p.Key("FormHeight"), QStringLiteral("6240"));
        QCOMPARE(p.Key("ExactFilename"), criterion);
        p.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(p.form.get()));
    }

    void layoutFollowsEverySizeChange() {
        Program p;
        Form1& form = *p.form;
        form.ApplyLayout(12000, 8000);
        QCOMPARE(p.Child<QWidget>("ListView3")->geometry(), PixelRect(120, 240, 11400, 5300));
        QCOMPARE(p.Child<QWidget>("Frame2")->geometry(), PixelRect(120, 1320, 11660, 5680));
        QCOMPARE(p.Child<QWidget>("ProgressBar1")->geometry(), PixelRect(120, 7080, 11660, 375));
        QCOMPARE(p.Key("WindowState"), QStringLiteral("0"));
        QCOMPARE(p.Key("FormHeight"), QStringLiteral("8000"));
        QCOMPARE(p.Key("FormWidth"), QStringLiteral("12000"));

        // A real resize of the shown window goes the same way, and the column keeps its width.
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* list = p.Child<QTreeWidget>("ListView3");
        const int column = list->columnWidth(0);
        form.resize(900, 600);
        QTRY_COMPARE(p.Key("FormWidth"), QString::number(form.frameGeometry().width() * 15));
        QCOMPARE(p.Key("FormHeight"), QString::number(form.frameGeometry().height() * 15));
        QCOMPARE(form.Layout().listWidth, form.frameGeometry().width() * 15 - 600);
        QCOMPARE(list->columnWidth(0), column);
        QVERIFY(p.settings.Sync());

        // The next start brings that size back.
        const QSize outer = form.frameGeometry().size();
        p.form.reset();
        Program next;
        QCOMPARE(next.form->frameGeometry().size(), outer);
    }

    void minimisingSavesTheStateAndKeepsTheLayout() {
        Program p;
        p.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(p.form.get()));
        const MainLayout before = p.form->Layout();
        p.form->setWindowState(Qt::WindowMinimized);
        QTRY_COMPARE(p.Key("WindowState"), QStringLiteral("1"));
        QCOMPARE(p.form->Layout().listWidth, before.listWidth);
        QCOMPARE(p.form->Layout().listHeight, before.listHeight);
        QCOMPARE(p.Key("FormWidth"), QString::number(p.form->frameGeometry().width() * 15));
    }

    void criteriaAndStopButtonWriteTheirKeys() {
        Program p;
        p.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(p.form.get()));
        auto* box = p.Child<QCheckBox>("Check5");
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
        QCOMPARE(p.Key("ExactFilesize"), QStringLiteral("1"));
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
        QCOMPARE(p.Key("ExactFilesize"), QStringLiteral("0"));
        QCOMPARE(p.Key("ExactFilename"), QString());

        auto* stop = p.Child<QPushButton>("Check6");
        p.form->SetRunning(true);
        QVERIFY(stop->isVisible());
        QVERIFY(!p.Child<QWidget>("Check1")->isVisible());
        p.settings.WriteSetting(QStringLiteral("Stop"), QStringLiteral("False"));
        QTest::mouseClick(stop, Qt::LeftButton);
        QCOMPARE(p.Key("Stop"), QStringLiteral("True"));
        QTest::mouseClick(stop, Qt::LeftButton);
        QCOMPARE(p.Key("Stop"), QStringLiteral("True"));
        QVERIFY(!stop->isDown());
        QVERIFY(!stop->isChecked());
        QVERIFY(p.form->Host().StopRequested());
        p.form->SetRunning(false);
        QVERIFY(!stop->isVisible());
        QVERIFY(p.Child<QWidget>("Check1")->isVisible());
    }

    void pointers() {
        // No cursor file next to the test program: every rule shows the default arrow.
        QVERIFY(
            !QFile::exists(QCoreApplication::applicationDirPath() + QStringLiteral("/HAND-M.CUR")));
        Program p;
        for (const char* name : {"Check1", "Check4", "ListView3", "Frame2", "Image6"})
            QCOMPARE(p.Child<QWidget>(name)->cursor().shape(), Qt::ArrowCursor);

        // Our hand pointer file: 32 x 32 with its hotspot at the fingertip.
        const QString source = qEnvironmentVariable("TALLYROOK_SOURCE_DIR");
        if (source.isEmpty())
            QSKIP("TALLYROOK_SOURCE_DIR is not set");
        const QCursor hand = CursorFromFile(source + QStringLiteral("/resources/HAND-M.CUR"));
        QCOMPARE(hand.shape(), Qt::BitmapCursor);
        QCOMPARE(hand.pixmap().size(), QSize(32, 32));
        QCOMPARE(hand.hotSpot(), QPoint(6, 0));
        QCOMPARE(CursorFromFile(QStringLiteral("/nonexistent/HAND-M.CUR")).shape(),
                 Qt::ArrowCursor);
    }

    void closingWritesNothingMore() {
        Program p;
        p.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(p.form.get()));
        QVERIFY(p.form->Host().ProcessPendingEvents());
        const QString width = p.Key("FormWidth");
        QVERIFY(p.form->close());
        QVERIFY(p.form->IsClosing());
        QVERIFY(!p.form->Host().ProcessPendingEvents());
        p.form->ApplyLayout(12000, 8000);
        p.Child<QCheckBox>("Check4")->setChecked(true);
        p.form->Host().ClearStopRequest();
        p.form->Host().ShowMessage(QStringLiteral("late"), QStringLiteral("No dupes"));
        QVERIFY(!p.form->Host().AskYesNo(QStringLiteral("late"), QStringLiteral("Question")));
        QCOMPARE(p.Key("FormWidth"), width);
        QCOMPARE(p.Key("ExactFilename"), QString());
        QCOMPARE(p.Key("Stop"), QString());
        QVERIFY(p.dialogs.shown.isEmpty());
    }

    void pendingEventsAreThrottled() {
        Program p;
        SearchHost& host = p.form->Host();
        host.SetRunning(true);
        int handled = 0;
        QMetaObject::invokeMethod(
            this, [&] { ++handled; }, Qt::QueuedConnection);
        // The first poll of a run lets events through; one right after it does not.
        QVERIFY(host.ProcessPendingEvents());
        QCOMPARE(handled, 1);
        QMetaObject::invokeMethod(
            this, [&] { ++handled; }, Qt::QueuedConnection);
        QVERIFY(host.ProcessPendingEvents());
        QCOMPARE(handled, 1);
        QTest::qSleep(40);
        QVERIFY(host.ProcessPendingEvents());
        QCOMPARE(handled, 2);
        host.SetRunning(false);
    }
};

TALLYROOK_TEST_GUI_MAIN(TestForm1)
#include "test_form1.moc"
