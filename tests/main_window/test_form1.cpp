#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDropEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QTimer>
#include <QUrl>
#include <functional>

#include "main_window/dialogs.h"
#include "main_window/folder_list.h"
#include "main_window/form1.h"
#include "results_window/form4.h"
#include "results_window/results_model.h"
#include "search/search_host.h"
#include "settings/settings_store.h"
#include "shared/global.h"
#include "shared/twips.h"
#include "support/temp_tree.h"
#include "support/test_env.h"
#include "widgets/picture_button.h"

using namespace tallyrook;
using namespace Qt::StringLiterals;

namespace {

// Dialogs that answer at once and remember what they were asked.
struct FakeDialogs : Dialogs {
    QStringList shown, browseTitles;  // messages and questions as "title:text"
    QString folderToChoose;           // empty: cancelled

    void ShowMessage(QWidget*, const QString& text, const QString& title) override {
        shown.append(title + u':' + text);
    }
    bool AskYesNo(QWidget*, const QString& text, const QString& title) override {
        ShowMessage(nullptr, text, title);
        return true;
    }
    QString BrowseForFolder(QWidget*, const QString& title) override {
        browseTitles.append(title);
        return folderToChoose;
    }
};

// A program start: its own store read from disk and its own main window.
struct Program {
    Global global;
    SettingsStore settings;
    ResultsModel results{global};
    FakeDialogs dialogs;
    std::unique_ptr<Form1> form = std::make_unique<Form1>(global, settings, results, &dialogs);
    FolderListView* list = form->findChild<FolderListView*>(u"ListView3"_s);

    QString Key(const char* key) { return settings.ReadSetting(QString::fromLatin1(key)); }
    template <typename T = QWidget>
    T* Child(const char* name) {
        return form->findChild<T*>(QString::fromLatin1(name));
    }
    bool Show() {
        form->show();
        return QTest::qWaitForWindowExposed(form.get());
    }
};

// Replaces the stored settings with `values` of the window's keys, in this order.
void StoreSettings(const QStringList& values = {}) {
    static const QStringList keys{u"WindowState"_s,   u"FormWidth"_s,     u"FormHeight"_s,
                                  u"ExactFilename"_s, u"ExactFilesize"_s, u"SimilarFilename"_s};
    QFile::remove(test::TestHome() + u"/config/Marwendel/Tallyrook.conf"_s);
    SettingsStore store;
    for (qsizetype i = 0; i < values.size(); ++i)
        store.WriteSetting(keys.at(i), values.at(i));
    QVERIFY(store.Sync());
}

QRect PixelRect(int left, int top, int width, int height) {
    return {TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height)};
}

}  // namespace

class TestForm1 : public QObject {
    Q_OBJECT

    test::TempTree tree;

    // A drop as the window system delivers it onto the list; no paths: a drop of plain text.
    static void Drop(FolderListView* list, const QStringList& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls.append(path.contains(u':') ? QUrl(path) : QUrl::fromLocalFile(path));
        if (urls.isEmpty())
            data.setText(u"/home"_s);
        else
            data.setUrls(urls);
        const QPoint at = list->viewport()->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(list->viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(list->viewport(), &drop);
        QVERIFY(drop.isAccepted());
        QCoreApplication::processEvents();
    }

    // Presses Find on `folders` of the tree, with the mouse or from the keyboard; `during` runs
    // at the run's first look at events.
    void Find(Program& p, const char* box, const QStringList& folders,
              const std::function<void()>& during = {}, bool keyboard = false) {
        QVERIFY(p.Show());
        p.Child<QCheckBox>(box)->setChecked(true);
        for (const QString& folder : folders)
            p.list->AddEntry(tree.path(folder));
        if (during)
            QTimer::singleShot(0, this, during);
        if (keyboard)
            QTest::keyClick(p.Child("Check1"), Qt::Key_Space);
        else
            QTest::mouseClick(p.Child("Check1"), Qt::LeftButton);
    }

    static void ExpectAtRest(Program& p) {
        QVERIFY(p.Child("Check1")->isVisibleTo(p.form.get()));
        QVERIFY(!p.Child("Check6")->isVisibleTo(p.form.get()));
        QCOMPARE(p.form->windowTitle(), u"Tallyrook"_s);
        QCOMPARE(p.Child<QProgressBar>("ProgressBar1")->value(), 0);
        QVERIFY(!QApplication::overrideCursor());
    }

private Q_SLOTS:
    void initTestCase() {
        // Enough folders that the walk polls many times.
        for (int i = 0; i < 40; ++i)
            tree.file(u"music/album%1/track.mp3"_s.arg(i), 100 + i);
        tree.file(u"photos/a/IMG_1.jpg"_s, 5);
        tree.file(u"photos/b/IMG_1.jpg"_s, 6);
        tree.file(u"docs/report.txt"_s, 7);
        tree.file(u"docs/notes.txt"_s, 8);
    }

    void init() { StoreSettings(); }

    void startUp_data() {
        // Stored: state, width, height, the three criteria (none: a first start). Expected: the
        // state's code, the outer size in twips, the ticks and the first criterion's key.
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("expected");
        QTest::newRow("absent") << QString() << u"0,10605,6240,000,"_s;
        QTest::newRow("words") << u"normal,wide,tall,yes,nan,inf"_s << u"0,10605,6240,000,yes"_s;
        QTest::newRow("unknown state, sizes off the screen")
            << u"3,32767,20000,2,2,2"_s << u"0,10605,6240,000,2"_s;
        QTest::newRow("out of 16 bits")
            << u"65538,40000,-40000,65537,65537,65537"_s << u"0,10605,6240,000,65537"_s;
        QTest::newRow("negative") << u"-1,-12000,0,-1,-1,-1"_s << u"0,10605,6240,000,-1"_s;
        // Numbers round half to even; the stored size survives the state's saving of the keys.
        QTest::newRow("normal") << u"0,12000,8000, 1,0.5,0.7"_s << u"0,12000,7995,101,1"_s;
        QTest::newRow("minimised") << u"1,12000,8000,0,1,0"_s << u"1,12000,7995,010,0"_s;
        QTest::newRow("maximised") << u"2,12000,8000,1,0,0"_s << u"2,12000,7995,100,1"_s;
    }

    void startUp() {
        QFETCH(QString, stored);
        QFETCH(QString, expected);
        if (!stored.isNull())
            StoreSettings(stored.split(u','));
        Program p;
        Form1& form = *p.form;
        const QSize outer = form.OuterSizeTwips();
        QString ticks;
        for (const char* name : {"Check4", "Check5", "Check7"})
            ticks += p.Child<QCheckBox>(name)->isChecked() ? u'1' : u'0';
        // Qt's numbers for the three states are the stored codes.
        const QStringList want = expected.split(u',');
        QCOMPARE(QStringList({QString::number(form.windowState().toInt()),
                              QString::number(outer.width()), QString::number(outer.height()),
                              ticks, p.Key("ExactFilename")}),
                 want);
        // What start-up applied is saved at once; a restored tick rewrites its key.
        QCOMPARE(QStringList({p.Key("WindowState"), p.Key("FormWidth"), p.Key("FormHeight")}),
                 want.mid(0, 3));
        QCOMPARE(p.list->columnWidth(0), TwipsToPixels((outer.width() - 600) * 7.0 / 8.0 - 100));
        QCOMPARE(form.windowTitle(), u"Tallyrook 7.0"_s);
        // 1600 x 1200 screen: ((24000 - 10605) / 2, (18000 - 6240) / 2 - 1000) twips.
        QCOMPARE(form.pos(), QPoint(TwipsToPixels(6697.5), TwipsToPixels(4880)));
        // The stop button lies hidden exactly over Find.
        QCOMPARE(p.Child("Check6")->geometry(), p.Child("Check1")->geometry());
        QVERIFY(p.Child("Check1")->isVisibleTo(&form) && !p.Child("Check6")->isVisibleTo(&form));
        QCOMPARE(p.list->headerItem()->text(0), u"Folder"_s);
        QStringList order;
        QWidget* w = p.Child("Check2");
        for (int i = 0; i < 40; ++i, w = w->nextInFocusChain()) {
            if ((w->objectName().startsWith(u"Check") || w == p.list) &&
                !order.contains(w->objectName()))
                order.append(w->objectName());
        }
        QCOMPARE(order,
                 u"Check2 Check1 Check3 ListView3 Check4 Check5 Check6 Check7"_s.split(u' '));
        // No cursor file next to the test program: every rule shows the default arrow.
        for (const char* name : {"Check1", "Check4", "ListView3", "Frame2", "Image6"})
            QCOMPARE(p.Child(name)->cursor().shape(), Qt::ArrowCursor);
        // Our hand pointer: 32 x 32 with its hotspot at the fingertip.
        const QString cursorFile = QFINDTESTDATA("../../resources/HAND-M.CUR");
        const QCursor hand = CursorFromFile(cursorFile);
        QCOMPARE(hand.pixmap().size(), QSize(32, 32));
        QCOMPARE(hand.hotSpot(), QPoint(6, 0));
        // An installed program keeps it in its shared data folder rather than beside itself.
        test::TempTree installed;
        installed.dir(u"usr/bin"_s);
        installed.dir(u"usr/share/tallyrook"_s);
        QVERIFY(QFile::copy(cursorFile, installed.path(u"usr/share/tallyrook/HAND-M.CUR"_s)));
        QCOMPARE(HandCursor(installed.path(u"usr/bin"_s)).hotSpot(), QPoint(6, 0));
        QVERIFY(p.Show());
    }

    void sizeChangesAreLaidOutAndSaved() {
        Program p;
        Form1& form = *p.form;
        // list width, list height, frame width, frame height, bar left, bar width, bar top
        auto resize = [&](int width, int height) {
            form.ApplyLayout(width, height);
            const MainLayout& l = form.Layout();
            return QList({l.listWidth, l.listHeight, l.frameWidth, l.frameHeight, l.progressLeft,
                          l.progressWidth, l.progressTop});
        };
        QCOMPARE(resize(12000, 8000), QList({11400, 5300, 11660, 5680, 120, 11660, 7080}));
        QCOMPARE(p.list->geometry(), PixelRect(120, 240, 11400, 5300));
        QCOMPARE(p.Child("ProgressBar1")->geometry(), PixelRect(120, 7080, 11660, 375));
        // Negative sizes are refused and the rest follows the kept ones; zero is a size.
        QCOMPARE(resize(500, 2000), QList({11400, 5300, 11660, 5680, 120, 11660, 1080}));
        QCOMPARE(resize(600, 2700), QList({0, 0, 260, 380, 120, 260, 1780}));

        // A real resize of the shown window goes the same way, and the column keeps its width.
        QVERIFY(p.Show());
        const int column = p.list->columnWidth(0);
        form.resize(900, 600);
        const QSize outer = form.frameGeometry().size() * 15;
        QTRY_COMPARE(p.Key("FormWidth"), QString::number(outer.width()));
        QCOMPARE(p.Key("FormHeight"), QString::number(outer.height()));
        QCOMPARE(p.list->columnWidth(0), column);

        // Minimising saves the state and leaves the size alone.
        form.setWindowState(Qt::WindowMinimized);
        QTRY_COMPARE(p.Key("WindowState"), u"1"_s);
        QCOMPARE(p.Key("FormWidth"), QString::number(outer.width()));
        QVERIFY(p.settings.Sync());
        p.form.reset();
        QCOMPARE(Program().form->OuterSizeTwips(), outer);
    }

    void pendingEventsAreThrottled() {
        Program p;
        SearchHost& host = p.form->Host();
        host.SetRunning(true);
        int handled = 0;
        // The run's first poll lets events through, the next only once 30 ms have passed.
        for (int expected : {1, 1, 3}) {
            if (expected == 3)
                QTest::qSleep(40);
            QMetaObject::invokeMethod(
                this, [&] { ++handled; }, Qt::QueuedConnection);
            QVERIFY(host.ProcessPendingEvents());
            QCOMPARE(handled, expected);
        }
    }

    void drops_data() {
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<QStringList>("entries");
        const QString music = tree.path(u"music"_s), docs = tree.path(u"docs"_s);
        // A folder as it comes; a file stands for its folder, a file in the root (gone) for "/".
        const QString photos = tree.path(u"photos/"_s), file = u"/tallyrook-no-such-file.txt"_s;
        QTest::newRow("local")
            << QStringList{music,  photos, docs + u"/report.txt"_s, docs + u"/notes.txt"_s,
                           u"/"_s, file}
            << QStringList{music, photos, docs, docs, u"/"_s, u"/"_s};
        // Anything else ends the drop with the message, keeping what came before.
        const QString error =
            u"Error:You can not drag and drop virtual folders like My Documents. Instead browse to "
            u"C:\\Documents and Settings\\Your Name\\My Documents, for example, or drag and drop "
            u"subfolders within My Documents"_s;
        QTest::newRow("trash") << QStringList{u"trash:/0-a.mp3"_s} << QStringList{error};
        QTest::newRow("web after a folder")
            << QStringList{music, u"https://example.org/a"_s, docs} << QStringList{music, error};
        QTest::newRow("plain text") << QStringList{} << QStringList{error};
    }

    void drops() {
        QFETCH(QStringList, paths);
        QFETCH(QStringList, entries);
        Program p;
        QVERIFY(p.Show());
        Drop(p.list, paths);
        // The entries, then the messages shown.
        QCOMPARE(p.list->Entries() + p.dialogs.shown, entries);
        for (int i = 0; i < p.list->topLevelItemCount(); ++i)
            QVERIFY(!p.list->topLevelItem(i)->icon(0).isNull());
    }

    void listKeysAndButtons() {
        Program p;
        QVERIFY(p.Show());
        // Add Folder: cancelled first; one closing "/" goes, the root stays "/".
        // Enter presses a focused picture button, as Space does; so does the list's menu.
        auto* addFolder = p.list->findChild<QAction*>(u"AddFolderAction"_s);
        auto* remove = p.list->findChild<QAction*>(u"RemoveAction"_s);
        for (const QString& chosen : {QString(), u"/a/"_s, u"/b"_s, u"/"_s, u"/c"_s, u"/d"_s}) {
            p.dialogs.folderToChoose = chosen;
            if (chosen == u"/c"_s)
                QTest::keyClick(p.Child("Check2"), Qt::Key_Return);
            else if (chosen == u"/d"_s)
                addFolder->trigger();
            else
                QTest::mouseClick(p.Child("Check2"), Qt::LeftButton);
        }
        QCOMPARE(p.dialogs.browseTitles.first(), u"Please select folder to add:"_s);
        QCOMPARE(p.list->Entries(), u"/a /b / /c /d"_s.split(u' '));
        p.list->setFocus();
        QVERIFY(!remove->isEnabled());
        for (int row : {0, 2})
            p.list->topLevelItem(row)->setSelected(true);
        QTest::keyClick(p.list, Qt::Key_Delete);
        p.list->topLevelItem(1)->setSelected(true);
        QVERIFY(remove->isEnabled());
        remove->trigger();
        QCOMPARE(p.list->Entries(), u"/b /d"_s.split(u' '));
        QVERIFY(!remove->isEnabled());
        // Ctrl+Shift+A and Ctrl+Alt+A select nothing new; Ctrl+A alone selects all.
        p.list->setCurrentItem(p.list->topLevelItem(1));
        QTest::keyClick(p.list, Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
        QTest::keyClick(p.list, Qt::Key_A, Qt::ControlModifier | Qt::AltModifier);
        QCOMPARE(p.list->selectedItems().size(), 1);
        QTest::keyClick(p.list, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(p.list->selectedItems().size(), 2);
        QTest::keyClick(p.list, Qt::Key_Delete, Qt::ShiftModifier);  // the modifier is ignored
        QVERIFY(p.list->Entries().isEmpty());
        QVERIFY(p.dialogs.shown.isEmpty());
    }

    void commandLineFolders() {
        Program p;
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(tree.root()));
        // Relative or not; a file adds its folder; a path that does not exist is taken as given.
        p.form->AddCommandLineFolders(
            {u"music/"_s, tree.path(u"docs/report.txt"_s), u"/"_s, u"no/such"_s, QString()});
        QDir::setCurrent(before);
        QCOMPARE(p.list->Entries(), (QStringList{tree.path(u"music"_s), tree.path(u"docs"_s),
                                                 u"/"_s, tree.path(u"no/such"_s)}));
    }

    void realMessageBoxesShowPlainText() {
        QtDialogs dialogs;
        for (const bool question : {false, true}) {
            QString text;
            Qt::TextFormat format = Qt::AutoText;
            QTimer::singleShot(0, qApp, [&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                text = box->text();
                format = box->textFormat();
                box->button(question ? QMessageBox::No : QMessageBox::Ok)->click();
            });
            if (question)
                QVERIFY(!dialogs.AskYesNo(nullptr, u"<b>/a</b>\r2"_s, u"Question"_s));
            else
                dialogs.ShowMessage(nullptr, u"<b>/a</b>\r2"_s, u"Skip"_s);
            QCOMPARE(text, u"<b>/a</b>\n2"_s);
            QCOMPARE(format, Qt::PlainText);
        }
    }

    void findShowsTheDuplicatesInTheWindowsPlace() {
        Program p;
        p.settings.WriteSetting(u"Stop"_s, u"True"_s);  // a stale stop
        QVERIFY(p.Show());
        p.form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(p.form.get()));
        p.Child("Check1")->setFocus();
        // Find from the keyboard: the stop button takes the focus, so the next Space stops the
        // run instead of clearing the list. The run took its entries at the start: Clear List
        // does not change its walk.
        QWidget* focusDuringRun = nullptr;
        Find(
            p, "Check4", {u"photos"_s, u"docs"_s},
            [&] {
                focusDuringRun = QApplication::focusWidget();
                QTest::mouseClick(p.Child("Check3"), Qt::LeftButton);
            },
            true);
        QCOMPARE(focusDuringRun, p.Child("Check6"));
        QCOMPARE(p.form->focusWidget(), p.Child("Check1"));
        QCOMPARE(p.global.FileCount(), 4);
        QVERIFY(p.list->Entries().isEmpty());
        QVERIFY(p.dialogs.shown.isEmpty());
        QCOMPARE(p.results.RowCount(), 2);
        QVERIFY(p.form->ResultsWindow() && p.form->ResultsWindow()->isVisible());
        QCOMPARE(p.form->ResultsWindow()->size(), p.form->size());
        QVERIFY(!p.form->isVisible());
        QCOMPARE(p.Key("Stop"), u"False"_s);
        ExpectAtRest(p);
        // Every picture button of both windows has a name for assistive technology.
        for (QWidget* window :
             {static_cast<QWidget*>(p.form.get()), static_cast<QWidget*>(p.form->ResultsWindow())})
            for (const PictureButton* button : window->findChildren<PictureButton*>())
                QVERIFY2(!button->accessibleName().isEmpty(), qPrintable(button->objectName()));

        // Closing the hidden main window ends the program.
        QTimer::singleShot(0, p.form.get(), [&p] { p.form->close(); });
        QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(7); });
        QCOMPARE(QApplication::exec(), 0);
    }

    void stopButtonDuringTheWalk() {
        Program p;
        bool stopWasShown = false;
        Find(p, "Check5", {u"music"_s, u"photos"_s}, [&] {
            stopWasShown = p.Child("Check6")->isVisible() && !p.Child("Check1")->isVisible();
            QTest::mouseClick(p.Child("Check6"), Qt::LeftButton);
        });
        QVERIFY(stopWasShown);
        QCOMPARE(p.Key("Stop"), u"True"_s);
        // Stopped: no message, no results window, the inventory cut short.
        QVERIFY(p.dialogs.shown.isEmpty());
        QVERIFY(!p.form->ResultsWindow() || !p.form->ResultsWindow()->isVisible());
        QVERIFY(p.global.FileCount() < 42);
        QVERIFY(p.form->isVisible());
        ExpectAtRest(p);
    }

    void closingEndsTheProgramAtOnce() {
        Program p;
        // The criteria are saved on every change, until the window closes.
        auto* box = p.Child<QCheckBox>("Check5");
        box->click();
        QCOMPARE(p.Key("ExactFilesize"), u"1"_s);
        box->click();
        QString width;
        Find(p, "Check4", {u"music"_s, u"docs"_s}, [&] {
            width = p.Key("FormWidth");
            p.form->close();
        });
        // No "No dupes", no results window, the walk cut short.
        QVERIFY(p.form->IsClosing());
        QVERIFY(!p.form->ResultsWindow());
        QVERIFY(p.global.FileCount() < 41);
        QVERIFY(!QApplication::overrideCursor());
        // Nothing more is written or shown.
        SearchHost& host = p.form->Host();
        QVERIFY(!host.ProcessPendingEvents());
        p.form->ApplyLayout(12000, 8000);
        box->setChecked(true);
        p.settings.WriteSetting(u"Stop"_s, u"True"_s);
        host.ClearStopRequest();
        host.ShowMessage(u"late"_s, u"No dupes"_s);
        QVERIFY(!host.AskYesNo(u"late"_s, u"Question"_s));
        QCOMPARE(QStringList({p.Key("FormWidth"), p.Key("ExactFilesize"), p.Key("Stop")}),
                 QStringList({width, u"0"_s, u"True"_s}));
        QVERIFY(p.dialogs.shown.isEmpty());
    }
};

TALLYROOK_TEST_GUI_MAIN(TestForm1)
#include "test_form1.moc"
