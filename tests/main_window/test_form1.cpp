#include <unistd.h>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDropEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QScopeGuard>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>
#include <functional>

#include "host_texts/event_texts.h"
#include "main_window/dialogs.h"
#include "main_window/folder_list.h"
#include "main_window/form1.h"
#include "main_window/form1_names.h"
#include "results_window/form4.h"
#include "results_window/form4_names.h"
#include "results_window/results_model.h"
#include "search/search_host.h"
#include "settings/setting_keys.h"
#include "settings/settings_store.h"
#include "shared/global.h"
#include "shared/program.h"
#include "support/temp_tree.h"
#include "support/test_env.h"
#include "widgets/picture_button.h"

using namespace tallyrook;
using namespace Qt::StringLiterals;

namespace {

// Dialogs that answer yes at once and remember the texts they showed.
struct FakeDialogs : Dialogs {
    QStringList shown;
    QString folderToChoose;  // empty: cancelled

    void ShowMessage(QWidget*, const QString& text, const QString&) override { shown += text; }
    void ShowReport(QWidget*, const QString& title, const QString& heading,
                    const QStringList& lines, const QString& advice) override {
        QStringList sorted = lines;  // in the order the file system listed them
        sorted.sort();
        shown += QStringList{title, heading, sorted.join(u'\n'), advice}.join(u'\n');
    }
    bool AskYesNo(QWidget* w, const QString& text, const QString& title) override {
        return ShowMessage(w, text, title), true;
    }
    QString BrowseForFolder(QWidget*, const QString&) override { return folderToChoose; }
    QString fileToSave;
    QStringList filesToOpen;
    QString ChooseFileToSave(QWidget*, const QString&, const QString&, const QString&) override {
        return fileToSave;
    }
    QStringList ChooseFilesToOpen(QWidget*, const QString&, const QString&) override {
        return filesToOpen;
    }
};

// A program start: its own store read from disk and its own main window.
struct Program {
    Global global;
    SettingsStore settings;
    ResultsModel results;
    FakeDialogs dialogs;
    std::unique_ptr<Form1> form = std::make_unique<Form1>(global, settings, results, &dialogs);
    FolderListView* list = Child<FolderListView>(form1::FolderList);

    QString Key(const QString& key) { return settings.ReadSetting(key); }
    template <typename T = QWidget>
    T* Child(QLatin1StringView name) {
        return form->findChild<T*>(name);
    }
    void Trigger(QLatin1StringView action) { list->findChild<QAction*>(action)->trigger(); }
    // Find with Exact Filename on the list as it is.
    void Find() {
        Child<QCheckBox>(form1::ExactFilenameBox)->setChecked(true);
        QTest::mouseClick(Child(form1::FindButton), Qt::LeftButton);
    }
    bool Show() {
        return form->show(), form->activateWindow(), QTest::qWaitForWindowActive(form.get());
    }
    // Find pressed from the keyboard with Exact Filename on `folder`; at the run's first look at
    // events `during` acts. Whether the stop button then had the focus, in the find button's place.
    bool FindFromTheKeyboard(const QString& folder, const std::function<void()>& during) {
        if (!Show())
            return false;
        Child(form1::FindButton)->setFocus();
        Child<QCheckBox>(form1::ExactFilenameBox)->setChecked(true);
        list->AddEntry(folder);
        bool stopHasFocus = false;
        QTimer::singleShot(0, qApp, [&] {
            QWidget* stop = Child(form1::StopButton);
            stopHasFocus = QApplication::focusWidget() == stop && stop->isVisible() &&
                           !Child(form1::FindButton)->isVisible();
            during();
        });
        QTest::keyClick(Child(form1::FindButton), Qt::Key_Space);
        return stopHasFocus;
    }
};

// The German catalogue installed while this lives, if asked for.
struct Language : QTranslator {
    explicit Language(bool german) {
        QVERIFY(!german || load(u":/i18n/tallyrook_de"_s));
        if (german)
            QCoreApplication::installTranslator(this);
    }
};

// A table of one yes-or-no column: the row `no`, then the row `yes`.
void AddRows(const char* column, const char* no, const char* yes) {
    QTest::addColumn<bool>(column);
    QTest::newRow(no) << false;
    QTest::newRow(yes) << true;
}

// Replaces the stored settings with `values` for `keys`, in order.
void StoreSettings(const QStringList& values = {},
                   const QStringList& keys = {setting_keys::WindowState, setting_keys::FormWidth,
                                              setting_keys::FormHeight, setting_keys::ExactFilename,
                                              setting_keys::ExactFilesize,
                                              setting_keys::SimilarFilename}) {
    QFile::remove(test::TestHome() + u"/config/Marwendel/Tallyrook.conf"_s);
    SettingsStore store;
    for (qsizetype i = 0; i < values.size(); ++i)
        store.WriteSetting(keys.at(i), values.at(i));
    QVERIFY(store.Sync());
}

// Whether `b` comes after `a` as the window reads: below it, or beside it to the right.
bool ReadsAfter(const QWidget* a, const QWidget* b) {
    const QRect first(a->mapTo(a->window(), QPoint()), a->size());
    const QRect next(b->mapTo(b->window(), QPoint()), b->size());
    return next.top() > first.bottom() ||
           (next.left() > first.right() && next.top() <= first.bottom());
}

// Every text a person reads or hears in `window`, in a fixed order.
QStringList Texts(QWidget* window) {
    QStringList texts;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        texts << w->toolTip() << w->accessibleName() << w->accessibleDescription();
        if (auto* button = qobject_cast<QAbstractButton*>(w))
            texts << button->text();
        if (auto* frame = qobject_cast<QGroupBox*>(w))
            texts << frame->title();
        if (auto* view = qobject_cast<QAbstractItemView*>(w))
            for (int c = 0; c < 5; ++c)
                texts << view->model()->headerData(c, Qt::Horizontal).toString();
        for (QAction* action : w->actions())
            texts << action->text();
    }
    texts.removeAll(QString());
    return texts;
}

}  // namespace

class TestForm1 : public QObject {
    Q_OBJECT

    test::TempTree tree;

private Q_SLOTS:
    void initTestCase() {
        // Enough folders that the walk polls many times.
        for (int i = 0; i < 40; ++i)
            tree.file(u"music/album%1/track.mp3"_s.arg(i), 100 + i);
        for (const QString& file :
             u"photos/a/IMG_1.jpg photos/b/IMG_1.jpg docs/a.txt docs/b.txt"_s.split(u' '))
            tree.file(file);
    }

    void init() { StoreSettings(); }

    // Words and numbers out of range give the defaults, numbers round half to even; what start-up
    // applied is saved, the stored size surviving the state's saving of the keys.
    void storedSettingsAtStart_data() {
        QTest::addColumn<QStringList>("stored");  // state, width, height, the three criteria
        QTest::addColumn<int>("state");           // Qt's numbers for the states are the codes
        QTest::addColumn<QSize>("outer");
        QTest::addColumn<QList<bool>>("ticked");
        QTest::addColumn<QString>("exactFilename");  // as stored afterwards
        QTest::newRow("unreadable")
            << u"3,wide,-40000,65537,nan,-1"_s.split(u',') << 0 << QSize(10605, 6240)
            << QList{false, false, false} << u"65537"_s;
        QTest::newRow("rounded") << u"1,12000,8000, 1,0.5,0.7"_s.split(u',') << 1
                                 << QSize(12000, 7995) << QList{true, false, true} << u"1"_s;
    }
    void storedSettingsAtStart() {
        QFETCH(QStringList, stored);
        QFETCH(int, state);
        QFETCH(QSize, outer);
        StoreSettings(stored);
        Program p;
        QCOMPARE(p.form->windowState().toInt(), state);
        QCOMPARE(p.form->OuterSizeTwips(), outer);
        QList<bool> boxes;
        for (const QLatin1StringView box :
             {form1::ExactFilenameBox, form1::ExactFilesizeBox, form1::SimilarFilenameBox})
            boxes << p.Child<QCheckBox>(box)->isChecked();
        QTEST(boxes, "ticked");
        QTEST(p.Key(setting_keys::ExactFilename), "exactFilename");
        QCOMPARE(p.Key(setting_keys::WindowState), QString::number(state));
        QCOMPARE(p.Key(setting_keys::FormWidth), QString::number(outer.width()));
        QCOMPARE(p.Key(setting_keys::FormHeight), QString::number(outer.height()));
    }

    void everyButtonSaysWhatItDoes() {
        Program p;
        for (const QAbstractButton* button : p.form->findChildren<QAbstractButton*>())
            QVERIFY2(button->toolTip().endsWith(u'.'), qPrintable(button->objectName()));
    }

    // The folder frame keeps its margins to the window's right and bottom edges; the list stays
    // in it, the progress bar below it, as wide, and in the window.
    void frameAndProgressBarFollowTheWindow() {
        Program p;
        QVERIFY(p.Show());
        QWidget* frame = p.Child(form1::FolderFrame);
        QWidget* bar = p.Child(form1::ProgressBar);
        const auto margins = [&p, frame] {
            return QPoint(p.form->width(), p.form->height()) - frame->geometry().bottomRight();
        };
        const QPoint designMargins = margins();
        p.form->resize(640, 420);
        QTRY_COMPARE(p.form->size(), QSize(640, 420));
        QVERIFY((margins() - designMargins).manhattanLength() <= 2);
        QVERIFY(frame->rect().contains(p.list->geometry()));
        QCOMPARE(bar->x(), frame->x());
        QCOMPARE(bar->width(), frame->width());
        QVERIFY(bar->y() > frame->geometry().bottom());
        QVERIFY(p.form->rect().contains(bar->geometry()));
    }

    void sizeAndStateReachTheNextStart() {
        Program p;
        QVERIFY(p.Show());
        p.form->resize(640, 420);
        const QSize outer = p.form->OuterSizeTwips();
        QTRY_COMPARE(p.Key(setting_keys::FormWidth), QString::number(outer.width()));
        p.form->setWindowState(Qt::WindowMinimized);  // leaves the size alone
        QTRY_COMPARE(p.Key(setting_keys::WindowState), u"1"_s);
        QVERIFY(p.settings.Sync());
        QCOMPARE(Program().form->OuterSizeTwips(), outer);
    }

    // Relative or not; a file adds its folder; one that names no folder is left out, and why.
    void commandLineFolders() {
        Program p;
        QVERIFY(QDir::setCurrent(tree.root()));
        QCOMPARE(p.form->AddCommandLineFolders({u"music/"_s, tree.path(u"docs/a.txt"_s), u"/"_s,
                                                u"no/such"_s, u"docs/a.txt/x"_s, QString()}),
                 (QStringList{u"no/such: No such file or directory"_s,
                              u"docs/a.txt/x: Not a directory"_s}));
        QCOMPARE(p.list->Entries(),
                 (QStringList{tree.path(u"music"_s), tree.path(u"docs"_s), u"/"_s}));
    }

    // Dropped folders come as they are, a file stands for its folder, a file in the root (gone)
    // for "/". Anything else ends the drop with the message, keeping what came before.
    void droppedFolders() {
        Program p;
        QVERIFY(p.Show());
        const QString music = tree.path(u"music"_s), docs = tree.path(u"docs"_s);
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(music), QUrl::fromLocalFile(tree.path(u"photos/"_s)),
                      QUrl::fromLocalFile(docs + u"/a.txt"_s), QUrl::fromLocalFile(u"/"_s),
                      QUrl::fromLocalFile(u"/tallyrook-no-such-file.txt"_s),
                      QUrl(u"https://example.org/a"_s), QUrl::fromLocalFile(docs)});
        const QPoint at = p.list->viewport()->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(p.list->viewport(), &enter);
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(p.list->viewport(), &drop);
        QCoreApplication::processEvents();
        QCOMPARE(p.list->Entries(),
                 (QStringList{music, tree.path(u"photos/"_s), docs, u"/"_s, u"/"_s}));
        QVERIFY(enter.isAccepted());
        QCOMPARE(p.dialogs.shown.size(), 1);
        QVERIFY(p.dialogs.shown.first().contains(u"drag and drop virtual folders"_s));
    }

    // Cancelling adds nothing, one closing "/" goes, the root stays "/"; Enter presses too.
    void addFolderButton() {
        Program p;
        QVERIFY(p.Show());
        for (const QString& chosen : {QString(), u"/a/"_s, u"/b"_s, u"/"_s, u"/c"_s}) {
            p.dialogs.folderToChoose = chosen;
            QTest::keyClick(p.Child(form1::AddFolderButton), Qt::Key_Return);
        }
        QCOMPARE(p.list->Entries(), u"/a /b / /c"_s.split(u' '));
    }

    void deleteKeyRemovesTheSelection() {
        Program p;
        QVERIFY(p.Show());
        for (const QString& folder : u"/a /b / /c"_s.split(u' '))
            p.list->AddEntry(folder);
        p.list->setFocus();
        for (int row : {0, 2})
            p.list->topLevelItem(row)->setSelected(true);
        QTest::keyClick(p.list, Qt::Key_Delete);
        QCOMPARE(p.list->Entries(), (QStringList{u"/b"_s, u"/c"_s}));
        QVERIFY(p.dialogs.shown.isEmpty());
    }

    // A stored size too large for where the window was centred moves it just onto the screen.
    void windowStaysOnTheScreen() {
        StoreSettings({u"0"_s, u"23850"_s, u"17850"_s});  // 1590 x 1190 on a 1600 x 1200 screen
        Program p;
        QCOMPARE(p.form->frameGeometry().bottomRight(),
                 p.form->screen()->availableGeometry().bottomRight());
    }

    // At every scale the window opens whole on the screen; a stored size too large for it is
    // reduced to fit and stays stored until the user sizes the window; the banner is drawn for
    // the screen's pixels. Each scale is a run of this program of its own on a 1920 x 1080 screen.
    void windowFitsTheScreenAtEveryScale_data() {
        QTest::addColumn<QString>("scale");
        for (const char* scale : {"1", "1.25", "1.5", "2"})
            QTest::newRow(scale) << QString::fromLatin1(scale);
    }
    void windowFitsTheScreenAtEveryScale() {
        QFETCH(QString, scale);
        if (qEnvironmentVariable("QT_SCALE_FACTOR") != scale) {
            QProcess run;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(u"QT_SCALE_FACTOR"_s, scale);
            env.insert(u"TALLYROOK_TEST_SCREEN"_s, u"1920x1080"_s);
            run.setProcessEnvironment(env);
            run.setProcessChannelMode(QProcess::MergedChannels);
            run.start(QCoreApplication::applicationFilePath(),
                      {QString::fromLatin1(QTest::currentTestFunction()) + u':' + scale});
            QVERIFY(run.waitForFinished(60000));
            QVERIFY2(run.exitCode() == 0, run.readAll().constData());
            return;
        }
        StoreSettings({u"0"_s, u"20400"_s, u"12900"_s});  // 1360 x 860 pixels at scale 1
        Program p;
        QVERIFY(p.Show());
        const QRect free = p.form->screen()->availableGeometry();
        QVERIFY(free.contains(p.form->frameGeometry()));
        if (free.width() * 15 >= 20400 && free.height() * 15 >= 12900)
            QCOMPARE(p.form->OuterSizeTwips(), QSize(20400, 12900));
        QCOMPARE(p.Key(setting_keys::FormWidth), u"20400"_s);
        QCOMPARE(p.Key(setting_keys::FormHeight), u"12900"_s);
        QVERIFY(p.Child<QLabel>(form1::Banner)->pixmap().devicePixelRatio() >=
                p.form->devicePixelRatio());
        p.form->resize(p.form->size() - QSize(40, 30));
        QTRY_COMPARE(p.Key(setting_keys::FormWidth).toInt(), p.form->OuterSizeTwips().width());
    }

    // In both windows Tab visits every control once, as the window reads: from the control at the
    // top left, left to right, then down (the AT-SPI test hears their names).
    void tabVisitsEveryControlInReadingOrder_data() {
        AddRows("results", "main window", "results window");
    }
    void tabVisitsEveryControlInReadingOrder() {
        QFETCH(bool, results);
        Program p;
        QVERIFY(p.Show());
        if (results)
            p.form->ShowResults();
        QWidget* window = results ? p.form->ResultsWindow() : static_cast<QWidget*>(p.form.get());
        QVERIFY(QTest::qWaitForWindowActive(window));
        QStringList controls, visited;
        QWidget* first = nullptr;
        for (QWidget* w : window->findChildren<QWidget*>()) {
            if (!w->isVisible() || !(w->focusPolicy() & Qt::TabFocus) || w->focusProxy())
                continue;
            controls << w->objectName();
            const QPoint at = w->mapTo(window, QPoint()),
                         best = first ? first->mapTo(window, QPoint()) : at;
            if (!first || std::pair(at.y(), at.x()) < std::pair(best.y(), best.x()))
                first = w;
        }
        QWidgetList chain;
        for (QWidget* at = first; !chain.contains(at); at = QApplication::focusWidget()) {
            chain << at;
            visited << at->objectName();
            QTest::keyClick(at, Qt::Key_Tab);
        }
        for (qsizetype k = 1; k < chain.size(); ++k)
            QVERIFY2(ReadsAfter(chain[k - 1], chain[k]), qPrintable(visited.join(u' ')));
        QCOMPARE(QSet<QString>(visited.begin(), visited.end()),
                 QSet<QString>(controls.begin(), controls.end()));
    }

    void everyPictureButtonHasAKey() {
        Program p;
        p.form->ShowResults();
        for (QWidget* window :
             {static_cast<QWidget*>(p.form->ResultsWindow()), static_cast<QWidget*>(p.form.get())})
            for (const PictureButton* button : window->findChildren<PictureButton*>())
                QVERIFY2(!button->shortcut().isEmpty(), qPrintable(button->objectName()));
    }

    // In English and in German every menu command has a mnemonic of its own in its menu.
    void menuCommandsHaveMnemonicsOfTheirOwn_data() { AddRows("german", "English", "German"); }
    void menuCommandsHaveMnemonicsOfTheirOwn() {
        QFETCH(bool, german);
        const Language language(german);
        Program p;
        p.form->ShowResults();
        QWidgetList menus{p.list};
        for (QMenu* menu :
             p.form->findChildren<QMenu*>() + p.form->ResultsWindow()->findChildren<QMenu*>())
            menus << menu;
        for (QWidget* menu : menus) {
            QString keys;
            for (QAction* action : menu->actions()) {
                const QString text = action->text();
                const qsizetype at = text.indexOf(u'&');
                if (action->isSeparator())
                    continue;
                QVERIFY2(at >= 0 && !keys.contains(text.at(at + 1).toLower()), qPrintable(text));
                keys += text.at(at + 1).toLower();
            }
        }
    }

    void findButtonShowsItsFocus() {
        Program p;
        QVERIFY(p.Show());
        auto* find = p.Child<PictureButton>(form1::FindButton);
        const auto ringPixels = [find] {
            const QImage face = find->grab().toImage();
            const QRgb ring = find->palette().color(QPalette::Active, QPalette::Highlight).rgb();
            qsizetype count = 0;
            for (int y = 0; y < face.height(); ++y)
                for (int x = 0; x < face.width(); ++x)
                    count += face.pixel(x, y) == ring;
            return count;
        };
        const qsizetype without = ringPixels();
        find->setFocus();
        QVERIFY(ringPixels() - without >= 2 * (find->width() + find->height()));
    }

    // With the German catalogue no text of either window is left in English.
    void germanCatalogueCoversBothWindows() {
        QStringList english, german;
        for (QStringList* texts : {&english, &german}) {
            const Language language(texts == &german);
            Program p;
            p.form->ShowResults();
            *texts = Texts(p.form.get()) + Texts(p.form->ResultsWindow());
        }
        QCOMPARE(german.size(), english.size());
        for (qsizetype k = 0; k < english.size(); ++k)
            QVERIFY2(german[k] != english[k] || english[k] == ProgramName, qPrintable(english[k]));
    }

    void criteriaFitTheirBoxes_data() { AddRows("german", "English", "German"); }
    void criteriaFitTheirBoxes() {
        QFETCH(bool, german);
        const Language language(german);
        Program p;
        for (const QCheckBox* box : p.form->findChildren<QCheckBox*>())
            QVERIFY2(box->sizeHint().width() <= box->width(), qPrintable(box->text()));
    }

    // Names that are not UTF-8 are told in one report once the walk is over, before the messages
    // of a run without a criterion; the walk asks nothing per name.
    void skippedNamesInOneReportAfterTheWalk() {
        test::TempTree bad;
        bad.rawFile("caf\xE9.mp3");
        bad.rawFile("\xFF.txt");
        QCOMPARE(::mkdir(QByteArray(bad.rawRoot() + "/sub\xE9").constData(), 0755), 0);
        Program p;
        p.list->AddEntry(bad.root());
        QTest::mouseClick(p.Child(form1::FindButton), Qt::LeftButton);
        const QString root = bad.root() + u'/';
        QCOMPARE(p.dialogs.shown.mid(1),
                 (QStringList{MessageFor({SearchEvent::Kind::NoCriterion}, {}).text,
                              u"No duplicate MP3s found."_s}));
        const SkipReport report = SkipReportFor(3, {});
        QCOMPARE(p.dialogs.shown.value(0),
                 QStringList({report.title, report.heading, root + u"\\xff.txt"_s,
                              root + u"caf\\xe9.mp3"_s, root + u"sub\\xe9"_s, report.advice})
                     .join(u'\n'));
    }

    // A folder the walk could not read (root reads them all) waits for the same report.
    void unreadableFolderInTheReportBeforeTheMessage() {
        Program p;
        p.form->Host().Notify(
            {SearchEvent::Kind::UnreadableFolder, u"/x/locked"_s, u"Permission denied"_s});
        p.form->Host().Notify({SearchEvent::Kind::NoDuplicates});
        const SkipReport folders = SkipReportFor(0, {}, 1);
        QCOMPARE(p.dialogs.shown,
                 (QStringList{QStringList({folders.title,
                                           u"1 folder could not be read, so its files were not "
                                           u"searched:"_s,
                                           u"/x/locked: Permission denied"_s, folders.advice})
                                  .join(u'\n'),
                              u"No duplicate MP3s found."_s}));
    }

    // Protecting an entry's folder stores it (the list is not stored) and shows the entries it
    // holds as protected.
    void protectingStoresTheFolderAndShowsItsEntries() {
        Program p;
        p.list->AddEntry(tree.path(u"photos/a"_s));
        p.list->AddEntry(tree.path(u"photos"_s));
        QAction* protect = p.list->findChild<QAction*>(form1::ProtectAction);
        QVERIFY(!protect->isEnabled());
        p.list->topLevelItem(1)->setSelected(true);
        protect->trigger();
        QCOMPARE(p.Key(setting_keys::ProtectedFolders), tree.path(u"photos/"_s));
        QVERIFY(p.list->topLevelItem(0)->font(0).italic());
        QVERIFY(!p.list->topLevelItem(0)->toolTip(0).isEmpty());
    }

    // At the next start its entry shows as protected, and a search's results start with it so.
    void storedProtectionReachesTheResults() {
        StoreSettings({tree.path(u"photos/"_s)}, {setting_keys::ProtectedFolders});
        Program p;
        p.list->AddEntry(tree.path(u"photos"_s));
        QVERIFY(p.list->topLevelItem(0)->font(0).italic());
        p.Child<QCheckBox>(form1::ExactFilenameBox)->setChecked(true);
        QTest::mouseClick(p.Child(form1::FindButton), Qt::LeftButton);
        QCOMPARE(p.results.RowCount(), 2);
        QVERIFY(p.results.IsProtected(0));
        QVERIFY(p.results.IsProtected(1));
    }

    void stopProtectingTakesTheFolderOutOfTheStore() {
        StoreSettings({tree.path(u"photos/"_s)}, {setting_keys::ProtectedFolders});
        Program p;
        p.list->AddEntry(tree.path(u"photos"_s));
        p.list->topLevelItem(0)->setSelected(true);
        p.list->findChild<QAction*>(form1::StopProtectingAction)->trigger();
        QCOMPARE(p.Key(setting_keys::ProtectedFolders), QString());
        QVERIFY(!p.list->topLevelItem(0)->font(0).italic());
    }

    // Saved from the list's folders, an inventory is added as one entry of its own and remembered;
    // its files here, unchanged, are rows like any other, and one changed since is not here.
    void savedInventoryIsListedRememberedAndSearched() {
        const QString file = test::TestHome() + u"/photos.tallyrook"_s;
        const auto removeFile = qScopeGuard([&file] { QFile::remove(file); });
        {
            Program p;
            p.list->AddEntry(tree.path(u"photos"_s));
            p.dialogs.fileToSave = file;
            p.Trigger(form1::SaveInventoryAction);
            QVERIFY(QFile::exists(file));
            p.list->clear();
            p.dialogs.filesToOpen = {file, file};
            p.Trigger(form1::AddInventoryAction);
            QCOMPARE(p.list->topLevelItemCount(), 1);
            QVERIFY(p.list->topLevelItem(0)->text(0).startsWith(u"photos (inventory of "_s +
                                                                QSysInfo::machineHostName()));
        }
        Program p;
        QCOMPARE(p.form->InventoryFiles(), QStringList{file});
        QCOMPARE(p.Key(setting_keys::Inventories), file);
        p.list->AddEntry(tree.path(u"docs"_s));
        p.Find();
        QCOMPARE(p.results.RowCount(), 2);
        QVERIFY(p.results.IsHere(0) && p.results.IsHere(1));
        QFile changed(tree.path(u"photos/b/IMG_1.jpg"_s));
        QVERIFY(changed.open(QIODevice::Append) && changed.write("more") == 4);
        changed.close();
        p.form->ResultsWindow()->OnBack();
        p.Find();
        const int away = p.results.IsHere(0) ? 1 : 0;
        QVERIFY(p.results.IsHere(1 - away) && !p.results.IsHere(away));
        QVERIFY(!(p.results.flags(p.results.index(away, 0)) & Qt::ItemIsUserCheckable));
        const QString shown = p.results.data(p.results.index(away, 0), Qt::DisplayRole).toString();
        QVERIFY(shown.startsWith(QSysInfo::machineHostName() + u": "_s));
        QVERIFY(shown.endsWith(u"/photos/b/IMG_1.jpg"_s));
        p.list->topLevelItem(0)->setSelected(true);
        p.list->RemoveSelectedEntries();
        QCOMPARE(p.Key(setting_keys::Inventories), QString());
    }

    void fileThatIsNoInventoryIsRefused() {
        Program p;
        const QString file = tree.path(u"docs/a.txt"_s);
        p.dialogs.filesToOpen = {file};
        p.Trigger(form1::AddInventoryAction);
        QCOMPARE(p.list->topLevelItemCount(), 0);
        QCOMPARE(p.dialogs.shown.size(), 1);
        QVERIFY2(p.dialogs.shown.first().contains(file + u": not a Tallyrook inventory"_s),
                 qPrintable(p.dialogs.shown.first()));
        QCOMPARE(p.Key(setting_keys::Inventories), QString());
    }

    // Stop during Save Inventory leaves no file, finished or half, and says nothing.
    void stoppedSaveLeavesNoFile() {
        Program p;
        QVERIFY(p.Show());
        QTemporaryDir folder(test::TestHome() + u"/saved-XXXXXX"_s);
        p.list->AddEntry(tree.root());
        p.dialogs.fileToSave = folder.filePath(u"all.tallyrook"_s);
        QTimer::singleShot(0, qApp,
                           [&p] { QTest::mouseClick(p.Child(form1::StopButton), Qt::LeftButton); });
        p.Trigger(form1::SaveInventoryAction);
        QCOMPARE(
            QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList());
        QVERIFY(p.dialogs.shown.isEmpty());
        QVERIFY(p.Child(form1::FindButton)->isVisible());
    }

    // As a user starts it: --help and --version need no display; without one, or when it cannot
    // be opened, the program says what it needs; Qt's own options are taken, others refused.
    void commandLine() {
        const QString needs = u"Tallyrook's window needs a desktop session. Start it from one"_s;
        const QString usage = u"usage: tallyrook [OPTION]... [FOLDER]...\n"_s;
        for (const auto& [args, setting, exit, said] :
             std::initializer_list<std::tuple<const char*, const char*, int, QString>>{
                 {"--help", "", 0, usage + u"\nFinds duplicate files"_s},
                 {"x --version", "", 0, u"tallyrook "_s + ProgramVersion + u'\n'},
                 {"music", "", 2, u"(DISPLAY and WAYLAND_DISPLAY are unset).\n"_s + needs},
                 {"", "DISPLAY=:4093", 2, u"tallyrook: the display cannot be opened.\n"_s + needs},
                 {"-style fusion --bogus", "QT_QPA_PLATFORM=offscreen", 2,
                  u"tallyrook: Unknown option 'bogus'.\n"_s + usage}}) {
            QProcess program;
            program.setProcessChannelMode(QProcess::MergedChannels);
            const auto words = [](const char* text) {
                return QString::fromLatin1(text).split(u' ', Qt::SkipEmptyParts);
            };
            program.start(u"env"_s, words("-u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM") +
                                        words(setting) + QStringList{TALLYROOK_APP_PATH ""_L1} +
                                        words(args));
            QVERIFY(program.waitForFinished(60000));
            const QString output = QString::fromUtf8(program.readAll());
            QVERIFY2(output.contains(said), qPrintable(output));
            QCOMPARE(program.exitCode(), exit);
        }
    }

    void realMessageBoxShowsPlainText() {
        QString text;  // as shown, if shown as plain text
        QTimer::singleShot(0, qApp, [&text] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            text = box->textFormat() == Qt::PlainText ? box->text() : QString();
            box->button(QMessageBox::No)->click();
        });
        QVERIFY(!QtDialogs().AskYesNo(nullptr, u"<b>/a</b>\r2"_s, u"Question"_s));
        QCOMPARE(text, u"<b>/a</b>\n2"_s);
    }

    // Find from the keyboard gives the stop button the focus, so the next Space stops the run
    // rather than clearing the list. Clear List during the run does not change its walk, nor does
    // a stale stop request end it; the results window takes the main window's place.
    void findRunsToTheEnd() {
        Program p;
        p.settings.WriteSetting(setting_keys::Stop, u"True"_s);
        QVERIFY(p.FindFromTheKeyboard(tree.root(), [&p] {
            QTest::mouseClick(p.Child(form1::ClearListButton), Qt::LeftButton);
        }));
        QVERIFY(p.dialogs.shown.isEmpty());
        QCOMPARE(p.global.inventory.FileCount(), 44);
        QCOMPARE(p.results.RowCount(), 42);
        QCOMPARE(p.form->focusWidget(), p.Child(form1::FindButton));
        QVERIFY(p.list->Entries().isEmpty());
        QVERIFY(!p.form->isVisible());
        QCOMPARE(p.Key(setting_keys::Stop), u"False"_s);
    }

    void closingTheHiddenMainWindowEndsTheProgram() {
        Program p;
        QVERIFY(p.Show());
        p.form->ShowResults();
        QObject guard;
        QTimer::singleShot(0, p.form.get(), [&p] { p.form->close(); });
        QTimer::singleShot(5000, &guard, [] { QCoreApplication::exit(7); });
        QCOMPARE(QApplication::exec(), 0);
    }

    // Stopped or closed, a run is cut short with no message, no results window and the cursor
    // back. Criteria are saved on every change and messages shown until the window closes.
    void runCutShort_data() { AddRows("closing", "stopped", "window closed"); }
    void runCutShort() {
        QFETCH(bool, closing);
        Program p;
        QVERIFY(p.FindFromTheKeyboard(tree.root(), [&p, closing] {
            closing ? void(p.form->close())
                    : QTest::mouseClick(p.Child(form1::StopButton), Qt::LeftButton);
        }));
        QVERIFY(p.dialogs.shown.isEmpty());
        QVERIFY(p.global.inventory.FileCount() < 44);
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(!p.form->ResultsWindow() || !p.form->ResultsWindow()->isVisible());
        QCOMPARE(p.Child(form1::FindButton)->isVisible(), !closing);
        QCOMPARE(p.Key(setting_keys::Stop), closing ? u"False"_s : u"True"_s);
        p.Child<QCheckBox>(form1::ExactFilesizeBox)->setChecked(true);
        QCOMPARE(p.Key(setting_keys::ExactFilesize), closing ? QString() : u"1"_s);
        p.form->Host().Notify({SearchEvent::Kind::NoDuplicates});
        QCOMPARE(p.dialogs.shown.size(), closing ? 0 : 1);
    }

    // A store of before Exact Contents starts with its box unticked; ticked, it is stored, and a
    // run lists the copies with what their comparison found: Copies needs no second one.
    void exactContentsAndItsCopies() {
        test::TempTree copies;
        for (const char* name : {"a/song.mp3", "b/copy of song.mp3"})
            copies.write(QString::fromLatin1(name), "tune");
        copies.write(u"b/near.mp3"_s, "tuna");
        copies.write(u"b/locked.mp3"_s, "tune");
        QVERIFY(QFile::setPermissions(copies.path(u"b/locked.mp3"_s), {}));
        Program p;
        auto* box = p.Child<QCheckBox>(form1::ExactContentsBox);
        QVERIFY(!box->isChecked() && p.Key(setting_keys::ExactContents).isEmpty());
        box->setChecked(true);
        QCOMPARE(p.Key(setting_keys::ExactContents), u"1"_s);
        p.list->AddEntry(copies.path(u"a"_s));
        p.list->AddEntry(copies.path(u"b"_s));
        QVERIFY(p.Show());
        QTest::mouseClick(p.Child(form1::FindButton), Qt::LeftButton);
        // The superuser reads a file without permissions: then it is a copy like the others.
        const bool locked = ::geteuid() != 0;
        QCOMPARE(p.results.RowCount(), locked ? 2 : 3);
        QCOMPARE(p.dialogs.shown.size(), locked ? 1 : 0);
        QVERIFY(!locked || p.dialogs.shown.first().contains(u"b/locked.mp3: "_s));
        QCOMPARE(p.results.index(0, ResultsModel::TypeColumn).data().toString() + u' ' +
                     p.results.index(0, ResultsModel::CopiesColumn).data().toString(),
                 locked ? u"Copy A: 1 other copy"_s : u"Copy A: 2 other copies"_s);
        QCOMPARE(p.results.index(0, 0).data(Qt::BackgroundRole).value<QBrush>().color(),
                 *ResultsModel::BackgroundOf(RowColor::LightYellow));
        QVERIFY(p.settings.Sync());
        QVERIFY(Program().Child<QCheckBox>(form1::ExactContentsBox)->isChecked());
    }
};

TALLYROOK_TEST_GUI_MAIN(TestForm1)
#include "test_form1.moc"
