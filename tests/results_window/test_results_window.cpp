#include <unistd.h>
#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QStyleOptionViewItem>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QUrl>

#include "results_window/form4.h"
#include "results_window/recycling_bin.h"
#include "results_window/results_model.h"
#include "shared/global.h"
#include "support/test_env.h"

using namespace tallyrook;
using namespace Qt::StringLiterals;

namespace {

// Answers the Trash request's dialogs in code and remembers what they were asked.
struct FakeDialogs : TrashDialogs {
    bool answer = true;
    int cancelAt = -1;  // Advance(cancelAt) reports a cancel
    QList<QStringList> confirmations;
    int reports = 0;
    QHash<QString, QString> reasons;  // of the failures, by path

    bool Confirm(const QStringList& paths) override {
        confirmations.append(paths);
        return answer;
    }
    void BeginProgress(int) override {}
    bool Advance(int done) override { return done != cancelAt; }
    void EndProgress() override {}
    void ReportFailures(const QList<TrashFailure>& failures) override {
        ++reports;
        for (const TrashFailure& failure : failures)
            reasons.insert(failure.path, failure.reason);
    }
    void ReportNotRestored(const QList<TrashFailure>& failures) override {
        notRestored.append(failures);
    }
    QList<QList<TrashFailure>> notRestored;  // one list per report
};

QString TrashRoot() {
    return test::TestHome() + u"/data/Trash"_s;
}

// The place in the Trash of the file that came from `original`, with a record that names it
// (percent-encoded); the empty text when it is not there. A fresh Trash keeps the file's name.
QString FindInTrash(const QString& original) {
    const QString name = QFileInfo(original).fileName();
    const QString stored = TrashRoot() + u"/files/"_s + name;
    QFile record(TrashRoot() + u"/info/"_s + name + u".trashinfo"_s);
    const bool recorded =
        record.open(QIODevice::ReadOnly) &&
        QUrl::fromPercentEncoding(record.readAll()).contains(u"\nPath="_s + original + u'\n');
    return recorded && QFile::exists(stored) ? stored : QString();
}

// Makes the entries of `folder` unrenamable even for root (chattr +i), or undoes it; false if not.
bool SetLocked(const QString& folder, bool locked) {
    if (::geteuid() == 0)
        return QProcess::execute(u"chattr"_s, {locked ? u"+i"_s : u"-i"_s, folder}) == 0;
    return QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner |
                                             (locked ? QFile::Permissions() : QFile::WriteOwner));
}

// The objects the desktop program wires together; files go where the test Trash can take them.
struct Fixture {
    Global global;
    ResultsModel model{global};
    QWidget mainWindow;
    Form4 form{model, global, &mainWindow};
    FakeDialogs dialogs;
    QTemporaryDir folder{test::TestHome() + u"/files-XXXXXX"_s};

    Fixture() { form.SetTrashDialogs(&dialogs); }

    QString MakeFile(const QString& name, const QByteArray& content = "x") {
        QFile file(folder.filePath(name));
        const bool made = file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
        return made ? file.fileName() : QString();
    }
    void Add(const QString& path, bool checked = false) {
        ResultRow row;
        row.path = path;
        row.checked = checked;
        model.AppendRow(row);
        global.SetRowColor(model.RowCount() - 1,
                           model.RowCount() % 2 ? u"light blue"_s : u"blue"_s);
    }
    QStringList Paths() const {
        QStringList paths;
        for (int k = 0; k < model.RowCount(); ++k)
            paths.append(model.Row(k).path);
        return paths;
    }
    QString Marks() const {  // "1" for a checked row, "0" for the others
        QString marks;
        for (int k = 0; k < model.RowCount(); ++k)
            marks += model.IsChecked(k) ? u'1' : u'0';
        return marks;
    }
    bool AllWhite() const {
        for (int k = 0; k < global.RowColorsUsed(); ++k)
            if (global.RowColor(k) != u"white"_s)
                return false;
        return true;
    }
    void Click(const QString& button) { form.findChild<QPushButton*>(button)->click(); }
};

}  // namespace

class TestResultsWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void paintsTheColourTableByRowPosition() {
        Fixture f;
        // White, any other name and a row beyond RowColors keep the list's own colours.
        const QStringList names{u"blue"_s,  u"light blue"_s,  u"red"_s,   u"light red"_s,
                                u"green"_s, u"light green"_s, u"white"_s, u"Blue"_s};
        const QList<QColor> backgrounds{{212, 234, 255}, {242, 242, 255}, {255, 212, 213},
                                        {255, 233, 212}, {212, 255, 212}, {242, 255, 242}};
        for (const QString& name : names) {
            f.global.SetRowColor(f.model.RowCount(), name);
            f.model.AppendRow({});
        }
        f.model.AppendRow({});
        for (int k = 0; k < f.model.RowCount(); ++k) {
            const QModelIndex cell = f.model.index(k, k % ResultsModel::ColumnCount);
            const bool ours = k < backgrounds.size();
            QCOMPARE(cell.data(Qt::BackgroundRole), ours ? QBrush(backgrounds[k]) : QVariant());
            QCOMPARE(cell.data(Qt::ForegroundRole), ours ? QBrush(Qt::black) : QVariant());
        }
    }

    void windowFollowsItsDesign() {
        Fixture f;
        QVERIFY(!f.form.findChild<QLabel*>(u"Image1"_s)->pixmap().isNull());

        // The list follows the outer size, decorations included.
        f.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.form));
        auto* list = f.form.findChild<QTreeView*>(u"ListView1"_s);
        const QSize frame = f.form.frameGeometry().size() - f.form.size();
        const auto layoutAt = [&](int width, int height) {
            f.form.resize(QSize(width, height) - frame);
            return QList<int>{list->width(), list->height(), list->columnWidth(0),
                              list->columnWidth(1)};
        };
        QCOMPARE(layoutAt(800, 540), (QList<int>{776, 413, 476, 73}));  // 12000 x 8100 twips
        // Too narrow for the first column: it keeps its width, the others are set.
        list->setColumnWidth(1, 10);
        QCOMPARE(layoutAt(300, 200), (QList<int>{276, 73, 476, 73}));
        QCOMPARE(layoutAt(20, 100), (QList<int>{276, 73, 476, 73}));  // negative: skipped
    }

    void userMarksFollowTheExactPath() {
        Fixture f;
        for (const QString& path : {u"/m/Song.mp3"_s, u"/m/song.mp3"_s, u"/m/Song.mp3"_s, u"/o"_s})
            f.Add(path, f.model.RowCount() >= 2);
        f.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.form));
        auto* list = f.form.findChild<QTreeView*>(u"ListView1"_s);

        // Rows of one file can come in with different marks: a click on the row's text gives
        // that row's mark to the others of its path.
        const QPoint sizeCell = list->visualRect(f.model.index(2, 1)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, sizeCell);
        QCOMPARE(f.Marks(), u"1011"_s);
        // The mouse on the box of row 2, then the space bar whatever column has the focus.
        QStyleOptionViewItem option;
        option.initFrom(list);
        option.rect = list->visualRect(f.model.index(2, 0));
        option.features |= QStyleOptionViewItem::HasCheckIndicator;
        const QRect box =
            list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, box.center());
        QCOMPARE(f.Marks(), u"0001"_s);
        list->setFocus();
        list->setCurrentIndex(f.model.index(1, 3));
        QTest::keyClick(list, Qt::Key_Space);
        QCOMPARE(f.Marks(), u"0101"_s);

        // Uncheck all clears only the marks; then Check1 asks nothing, yet the colours reset.
        f.Click(u"Check3"_s);
        QCOMPARE(f.Marks(), u"0000"_s);
        QCOMPARE(f.global.RowColor(1), u"blue"_s);
        f.Click(u"Check1"_s);
        QVERIFY(f.dialogs.confirmations.isEmpty() && f.AllWhite());
    }

    void handOffBackAndClose() {
        Fixture f;
        f.Add(u"/a"_s, true);
        f.Add(u"/b"_s);
        f.mainWindow.setGeometry(100, 120, 700, 500);
        f.mainWindow.show();
        f.form.ShowInPlaceOf(&f.mainWindow);
        QVERIFY(f.form.isVisible() && !f.mainWindow.isVisible());
        QCOMPARE(f.form.geometry(), QRect(100, 120, 700, 500));

        f.form.setGeometry(150, 160, 720, 510);
        f.Click(u"Check2"_s);
        QVERIFY(f.mainWindow.isVisible() && !f.form.isVisible());
        QCOMPARE(f.mainWindow.geometry(), QRect(150, 160, 720, 510));
        // Hidden, the window keeps its rows, marks and colours until the next run.
        QCOMPARE(f.Paths(), (QStringList{u"/a"_s, u"/b"_s}));
        QCOMPARE(f.Marks(), u"10"_s);
        QCOMPARE(f.global.RowColor(1), u"blue"_s);

        // The window state goes forward with the hand-off.
        f.mainWindow.showMaximized();
        f.form.ShowInPlaceOf(&f.mainWindow);
        QVERIFY(f.form.isMaximized() && !f.mainWindow.isVisible());

        // Closing ends the program, though another window is open.
        f.mainWindow.show();
        QTimer::singleShot(0, &f.form, [&f] { f.form.close(); });
        QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(7); });
        QCOMPARE(QApplication::exec(), 0);
    }

    void declinedThenConfirmedRequest() {
        // Qt 6.4 puts files into "files" under the current folder when the home Trash's parent
        // is missing; the request must make the Trash first.
        QTemporaryDir cwd;
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(cwd.path()));
        const auto restore = qScopeGuard([&] { QDir::setCurrent(before); });
        QVERIFY(QDir(test::TestHome() + u"/data"_s).removeRecursively());
        Fixture f;
        const QString a = f.MakeFile(u"a song.mp3"_s, "first");
        const QString b = f.MakeFile(u"b.mp3"_s);
        const QString c = f.MakeFile(u"c.mp3"_s);
        const QString otherCase = f.MakeFile(u"A song.mp3"_s);
        for (const QString& path : {a, c, b, otherCase, a, c, a})
            f.Add(path, path == a || path == b);
        // Files gone since the run, in more runs of rows than are worth telling the view about
        // one by one, and more rows than the old 10,000-entry colour reset reached.
        for (int k = f.model.RowCount(); k < 10'050; ++k)
            f.Add(k % 5 ? u"/none"_s : u"/gone/%1"_s.arg(k), k % 5 == 0);
        QAbstractItemModelTester tester(&f.model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);

        // Declined: nothing moves, every row keeps its mark.
        f.dialogs.answer = false;
        f.Click(u"Check1"_s);
        QVERIFY(QFile::exists(a) && QFile::exists(b));
        QCOMPARE(f.Marks().left(11), u"10101010001"_s);
        QCOMPARE(f.model.RowCount(), 10'050);
        QVERIFY(f.AllWhite() && !f.model.index(10'040, 0).data(Qt::BackgroundRole).isValid());

        // Confirmed: each path once, at its last checked row, with no limit on their number.
        f.dialogs.answer = true;
        f.Click(u"Check1"_s);
        QCOMPARE(f.dialogs.confirmations.size(), 2);
        QCOMPARE(f.dialogs.confirmations[1].size(), 2 + 2'008);
        QCOMPARE(f.dialogs.confirmations[1].mid(0, 3), (QStringList{b, a, u"/gone/10"_s}));
        QVERIFY(!QFile::exists(a) && !QFile::exists(b) && !FindInTrash(b).isEmpty());
        QVERIFY(QFile::exists(c) && QFile::exists(otherCase));
        QVERIFY(!QFileInfo::exists(cwd.path() + u"/files"_s));
        QCOMPARE(f.dialogs.reasons.size(), 2'008);  // the gone ones; every row of them goes
        QCOMPARE(f.Paths(), QStringList({c, otherCase, c}) + QStringList(8'035, u"/none"_s));
        QVERIFY(!f.Marks().contains(u'1'));
        QVERIFY(QFile::rename(FindInTrash(a), a));  // what a file manager does to restore
        QCOMPARE(QFileInfo(a).size(), 5);
    }

    void failuresAreReportedAndOnlyGoneFilesLeaveTheList() {
        Fixture f;
        QAbstractItemModelTester tester(&f.model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        const QString vanished = f.MakeFile(u"vanished.mp3"_s);
        const QString moved = f.MakeFile(u"moved.mp3"_s);
        const QString late = f.MakeFile(u"late.mp3"_s);
        // The row was a file; a folder by that name now is not what the user picked.
        const QString nowFolder = f.folder.filePath(u"photo.jpg"_s);
        const QString locked = f.folder.filePath(u"locked"_s);
        QVERIFY(QDir().mkpath(nowFolder + u"/inside"_s) && QDir().mkpath(locked));
        const QString stuck = f.MakeFile(u"locked/stuck.mp3"_s);
        for (const QString& path : {stuck, vanished, moved, nowFolder, stuck, vanished, late})
            f.Add(path, true);
        QVERIFY(QFile::remove(vanished));
        f.dialogs.cancelAt = 4;  // the last file of the request: `late`
        if (!SetLocked(locked, true))
            QSKIP("No way to make a folder unwritable here.");
        {
            const auto unlock = qScopeGuard([&] { SetLocked(locked, false); });
            f.Click(u"Check1"_s);
        }
        QCOMPARE(f.dialogs.reports, 1);
        QVERIFY(f.dialogs.reasons.value(vanished).contains(u"no longer exists"_s));
        QVERIFY(f.dialogs.reasons.value(nowFolder).contains(u"folder"_s));
        QVERIFY(f.dialogs.reasons.value(late).contains(u"cancelled"_s));
        QVERIFY(f.dialogs.reasons.size() == 4 && f.dialogs.reasons.contains(stuck));
        // What stayed keeps its rows and marks; what is gone leaves the list.
        QVERIFY(QFile::exists(stuck) && QFile::exists(late) && QFileInfo(nowFolder).isDir());
        QVERIFY(FindInTrash(stuck).isEmpty() && !FindInTrash(moved).isEmpty());
        QCOMPARE(f.Paths(), (QStringList{stuck, nowFolder, stuck, late}));
        QCOMPARE(f.Marks(), u"1111"_s);
        QVERIFY(f.AllWhite());
    }

    void undoPutsFilesAndRowsBack() {
        Fixture f;
        QAbstractItemModelTester tester(&f.model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        const QString a = f.MakeFile(u"undo-a.mp3"_s, "a");
        const QString b = f.MakeFile(u"undo-b.mp3"_s, "b");
        const QString kept = f.MakeFile(u"undo-kept.mp3"_s);
        for (const QString& path : {a, kept, a, b})
            f.Add(path, path != kept);
        const QStringList colors{u"light blue"_s, u"blue"_s, u"light blue"_s, u"blue"_s};
        auto* undo = f.form.findChild<QAction*>(u"UndoAction"_s);
        QVERIFY(!undo->isEnabled());
        f.Click(u"Check1"_s);
        QCOMPARE(f.Paths(), QStringList{kept});
        QVERIFY(undo->isEnabled() && !QFile::exists(a));

        // Ctrl+Z: the files and their rows come back where they were, marks and colours with
        // them; the row that stayed keeps the mark given since.
        f.model.SetCheckedByText(kept, true);
        f.form.show();
        QVERIFY(QTest::qWaitForWindowActive(&f.form));
        QTest::keyClick(&f.form, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(f.Paths(), (QStringList{a, kept, a, b}));
        QCOMPARE(f.Marks(), u"1111"_s);
        for (int k = 0; k < 4; ++k)
            QCOMPARE(f.global.RowColor(k), colors[k]);
        QVERIFY(FindInTrash(a).isEmpty() && FindInTrash(b).isEmpty());
        QCOMPARE(QFileInfo(a).size(), 1);
        // One step only.
        QVERIFY(!undo->isEnabled());
        QTest::keyClick(&f.form, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(f.model.RowCount(), 4);
        QVERIFY(f.dialogs.notRestored.isEmpty());

        // A request that failed in part; meanwhile one path is taken again, one folder is gone
        // and one file has left the Trash. Those stay where they are, named in one report.
        QVERIFY(QDir().mkpath(f.folder.filePath(u"undo-sub"_s)));
        const QString gone = f.MakeFile(u"undo-gone.mp3"_s);
        const QString folderGone = f.MakeFile(u"undo-sub/undo-d.mp3"_s);
        const QString left = f.MakeFile(u"undo-left.mp3"_s);
        f.Add(gone, true);
        f.Add(folderGone, true);
        f.Add(left, true);
        f.model.SetCheckedByText(kept, false);
        QVERIFY(QFile::remove(gone));
        f.Click(u"Check1"_s);
        QCOMPARE(f.Paths(), QStringList{kept});
        QVERIFY(f.MakeFile(u"undo-b.mp3"_s, "new") == b);
        QVERIFY(QDir(f.folder.filePath(u"undo-sub"_s)).removeRecursively());
        const QString leftInTrash = FindInTrash(left);
        QVERIFY(QFile::remove(leftInTrash) &&
                QFile::remove(TrashRoot() + u"/info/undo-left.mp3.trashinfo"_s));
        undo->trigger();
        QCOMPARE(f.dialogs.notRestored.size(), 1);
        QHash<QString, QString> reasons;
        for (const TrashFailure& failure : f.dialogs.notRestored[0])
            reasons.insert(failure.path, failure.reason);
        QCOMPARE(reasons.size(), 3);
        QVERIFY(reasons.value(b).contains(u"Another file"_s));
        QVERIFY(reasons.value(folderGone).contains(u"folder"_s));
        QVERIFY(reasons.value(left).contains(u"no longer in the Trash"_s));
        QCOMPARE(f.Paths(), (QStringList{a, kept, a}));
        QCOMPARE(QFileInfo(b).size(), 3);
        QVERIFY(!FindInTrash(b).isEmpty());
    }

    void withoutATrashNothingIsTouched() {
        // A plain file where the Trash's "files" folder belongs: no Trash can be made.
        QVERIFY(QDir(TrashRoot()).removeRecursively() && QDir().mkpath(TrashRoot()));
        QVERIFY(QFile(TrashRoot() + u"/files"_s).open(QIODevice::WriteOnly));
        Fixture f;
        const QString a = f.MakeFile(u"a.mp3"_s);
        f.Add(a, true);
        f.Click(u"Check1"_s);
        QVERIFY(QDir(TrashRoot()).removeRecursively());
        QVERIFY(QFile::exists(a) && f.dialogs.reasons.value(a).contains(u"Trash"_s));
        QCOMPARE(f.Marks(), u"1"_s);
    }
};

TALLYROOK_TEST_GUI_MAIN(TestResultsWindow)
#include "test_results_window.moc"
