#include <unistd.h>
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
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

namespace {

// Answers the Trash request's dialogs in code and remembers what they were asked.
class FakeDialogs : public TrashDialogs {
public:
    bool answer = true;
    int cancelBefore = -1;  // Advance(n) with n == cancelBefore reports a cancel
    QList<QStringList> confirmations;
    int progressRuns = 0;
    QList<QList<TrashFailure>> reports;

    bool Confirm(const QStringList& paths) override {
        confirmations.append(paths);
        return answer;
    }
    void BeginProgress(int) override { ++progressRuns; }
    bool Advance(int done) override { return done != cancelBefore; }
    void EndProgress() override {}
    void ReportFailures(const QList<TrashFailure>& failures) override { reports.append(failures); }

    QString ReasonFor(const QString& path) const {
        for (const auto& report : reports) {
            for (const TrashFailure& failure : report) {
                if (failure.path == path)
                    return failure.reason;
            }
        }
        return {};
    }
};

QString TrashRoot() {
    return test::TestHome() + QStringLiteral("/data/Trash");
}

// A fresh folder for one test's files, on the same file system as the test Trash.
QString FreshFolder(const QString& name) {
    const QString path = test::TestHome() + QStringLiteral("/files/") + name;
    QDir(path).removeRecursively();
    QDir().mkpath(path);
    return path;
}

QString MakeFile(const QString& folder, const QString& name, const QByteArray& content = "x") {
    const QString path = folder + u'/' + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return {};
    return path;
}

// Where the Trash keeps the file that came from `original`, found through the Path of its
// record; the empty text when it is not there.
QString FindInTrash(const QString& original) {
    QDirIterator it(TrashRoot() + QStringLiteral("/info"), {QStringLiteral("*.trashinfo")},
                    QDir::Files);
    while (it.hasNext()) {
        const QString info = it.next();
        // The record's Path is percent-encoded.
        QFile file(info);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (line.startsWith("Path=") && QUrl::fromPercentEncoding(line.mid(5)) == original) {
                const QString name = it.fileName().chopped(int(qstrlen(".trashinfo")));
                const QString stored = TrashRoot() + QStringLiteral("/files/") + name;
                return QFile::exists(stored) ? stored : QString();
            }
        }
    }
    return {};
}

// What a user's file manager does to restore: move the file back to the record's Path.
bool RestoreFromTrash(const QString& original) {
    const QString stored = FindInTrash(original);
    if (stored.isEmpty() || !QFile::rename(stored, original))
        return false;
    return QFile::remove(TrashRoot() + QStringLiteral("/info/") + QFileInfo(stored).fileName() +
                         QStringLiteral(".trashinfo"));
}

QByteArray ContentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A folder whose entries cannot be renamed, honestly, even for root: the immutable attribute.
class LockedFolder {
public:
    explicit LockedFolder(const QString& path) : path_(path) {
        if (::geteuid() == 0) {
            locked_ =
                QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), path}) == 0;
            viaAttribute_ = locked_;
        } else {
            locked_ = QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
        }
    }
    ~LockedFolder() {
        if (viaAttribute_)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), path_});
        else if (locked_)
            QFile::setPermissions(path_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    bool locked() const { return locked_; }

private:
    QString path_;
    bool locked_ = false;
    bool viaAttribute_ = false;
};

// The objects the desktop program wires together, with rows of the given paths and group
// colours in the usual alternation.
struct Fixture {
    Global global;
    ResultsModel model{global};
    QWidget mainWindow;
    Form4 form{model, global, &mainWindow};
    FakeDialogs dialogs;

    Fixture() { form.SetTrashDialogs(&dialogs); }

    void Add(const QString& path, bool checked = false, const QString& type = {}) {
        ResultRow row;
        row.path = path;
        row.type = type.isEmpty() ? QStringLiteral("Name") : type;
        row.checked = checked;
        model.AppendRow(row);
        const int k = model.RowCount() - 1;
        global.SetRowColor(k, k % 2 ? QStringLiteral("blue") : QStringLiteral("light blue"));
    }
    QStringList Paths() const {
        QStringList paths;
        for (int k = 0; k < model.RowCount(); ++k)
            paths.append(model.Row(k).path);
        return paths;
    }
    QList<bool> Marks() const {
        QList<bool> marks;
        for (int k = 0; k < model.RowCount(); ++k)
            marks.append(model.IsChecked(k));
        return marks;
    }
    bool AllWhite() const {
        for (int k = 0; k < global.RowColorsUsed(); ++k) {
            if (global.RowColor(k) != QStringLiteral("white"))
                return false;
        }
        return true;
    }
    QTreeView* List() const { return form.findChild<QTreeView*>(QStringLiteral("ListView1")); }
    void Click(const char* button) {
        auto* widget = form.findChild<QPushButton*>(QString::fromLatin1(button));
        QVERIFY(widget);
        QTest::mouseClick(widget, Qt::LeftButton);
    }
};

}  // namespace

class TestForm4 : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void windowHasItsDesignLayout() {
        Fixture f;
        QCOMPARE(f.form.windowTitle(), QStringLiteral("Tallyrook 7.0"));
        QCOMPARE(f.form.palette().color(QPalette::Window), QColor(Qt::white));
        const auto geometryOf = [&](const char* name) {
            auto* widget = f.form.findChild<QWidget*>(QString::fromLatin1(name));
            return widget ? widget->geometry() : QRect();
        };
        QCOMPARE(geometryOf("Image1"), QRect(-4, -4, 279, 92));
        QCOMPARE(geometryOf("Check2"), QRect(280, 8, 137, 73));
        QCOMPARE(geometryOf("Check1"), QRect(424, 8, 145, 73));
        QCOMPARE(geometryOf("Check3"), QRect(576, 8, 145, 73));
        QCOMPARE(geometryOf("ListView1").topLeft(), QPoint(8, 88));
        QVERIFY(!f.form.findChild<QLabel*>(QStringLiteral("Image1"))->pixmap().isNull());
        QCOMPARE(f.form.findChild<QWidget*>(QStringLiteral("Check1"))->toolTip(),
                 QStringLiteral("Delete checked files."));
        QCOMPARE(f.form.findChild<QWidget*>(QStringLiteral("Check3"))->toolTip(),
                 QStringLiteral("Clear out all checkmarks."));
        QVERIFY(f.form.findChild<QWidget*>(QStringLiteral("Check2"))->toolTip().isEmpty());
        QWidget* check2 = f.form.findChild<QWidget*>(QStringLiteral("Check2"));
        QCOMPARE(check2->nextInFocusChain()->objectName(), QStringLiteral("Check1"));
        QCOMPARE(check2->nextInFocusChain()->nextInFocusChain()->objectName(),
                 QStringLiteral("Check3"));

        // A click on a column header never sorts.
        f.Add(QStringLiteral("/z"));
        f.Add(QStringLiteral("/a"));
        f.form.show();
        QHeaderView* header = f.List()->header();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(0) + 5, header->height() / 2));
        QCOMPARE(f.List()->model()->index(0, 0).data().toString(), QStringLiteral("/z"));
    }

    void listFollowsTheWindowSize() {
        Fixture f;
        f.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.form));
        QTreeView* list = f.List();
        // The rules work on the outer size, decorations included.
        const QSize frame = f.form.frameGeometry().size() - f.form.size();
        const auto resizeOuter = [&](int w, int h) { f.form.resize(QSize(w, h) - frame); };
        // Outer 800 x 540 (12000 x 8100 twips): list 11640 x 6200 twips, first column 7140.
        resizeOuter(800, 540);
        QCOMPARE(list->size(), QSize(776, 413));
        QCOMPARE(list->columnWidth(0), 476);
        QCOMPARE(list->columnWidth(1), 73);
        QCOMPARE(list->columnWidth(2), 153);
        QCOMPARE(list->columnWidth(3), 47);
        // Narrower than 4860 twips: the first column keeps its width, the others are set.
        list->setColumnWidth(1, 10);
        resizeOuter(300, 200);
        QCOMPARE(list->size(), QSize(276, 73));
        QCOMPARE(list->columnWidth(0), 476);
        QCOMPARE(list->columnWidth(1), 73);
        // Negative sizes are skipped.
        resizeOuter(20, 100);
        QCOMPARE(list->size(), QSize(276, 73));
    }

    void userMarksFollowTheFile() {
        Fixture f;
        f.Add(QStringLiteral("/m/Song.mp3"));                                 // 0
        f.Add(QStringLiteral("/m/song.mp3"));                                 // 1
        f.Add(QStringLiteral("/m/Song.mp3"), false, QStringLiteral("Size"));  // 2
        f.Add(QStringLiteral("/o/other.mp3"), true);                          // 3
        f.form.resize(900, 600);
        f.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.form));
        QTreeView* list = f.List();

        // The mouse on the box of row 2.
        QStyleOptionViewItem option;
        option.initFrom(list);
        option.rect = list->visualRect(f.model.index(2, 0));
        option.features |= QStyleOptionViewItem::HasCheckIndicator;
        const QRect box =
            list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, box.center());
        QCOMPARE(f.Marks(), (QList<bool>{true, false, true, true}));

        // The space bar on row 1, whatever column has the focus.
        list->setFocus();
        list->setCurrentIndex(f.model.index(1, 2));
        QTest::keyClick(list, Qt::Key_Space);
        QCOMPARE(f.Marks(), (QList<bool>{true, true, true, true}));
        list->setCurrentIndex(f.model.index(0, 3));
        QTest::keyClick(list, Qt::Key_Space);
        QCOMPARE(f.Marks(), (QList<bool>{false, true, false, true}));

        // A click on the row's text gives that row's mark to the others of its path.
        f.model.ClearRows();
        f.Add(QStringLiteral("/m/Song.mp3"), true);
        f.Add(QStringLiteral("/m/Song.mp3"), false);
        f.Add(QStringLiteral("/m/song.mp3"), true);
        const QRect sizeCell = list->visualRect(f.model.index(1, 1));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, sizeCell.center());
        QCOMPARE(f.Marks(), (QList<bool>{false, false, true}));

        // Uncheck all clears the marks and nothing else.
        f.Click("Check3");
        QCOMPARE(f.Marks(), (QList<bool>{false, false, false}));
        QCOMPARE(f.model.RowCount(), 3);
        QCOMPARE(f.global.RowColor(1), QStringLiteral("blue"));
        QVERIFY(f.dialogs.confirmations.isEmpty());
    }

    void handOffAndBack() {
        Fixture f;
        f.Add(QStringLiteral("/a"), true);
        f.Add(QStringLiteral("/b"));
        f.mainWindow.setGeometry(100, 120, 700, 500);
        f.mainWindow.show();
        f.form.ShowInPlaceOf(&f.mainWindow);
        QVERIFY(f.form.isVisible());
        QVERIFY(!f.mainWindow.isVisible());
        QCOMPARE(f.form.geometry(), QRect(100, 120, 700, 500));

        f.form.setGeometry(150, 160, 720, 510);
        f.Click("Check2");
        QVERIFY(f.mainWindow.isVisible());
        QVERIFY(!f.form.isVisible());
        QCOMPARE(f.mainWindow.geometry(), QRect(150, 160, 720, 510));
        // Hidden, the window keeps its rows, marks and colours until the next run.
        QCOMPARE(f.Paths(), (QStringList{QStringLiteral("/a"), QStringLiteral("/b")}));
        QCOMPARE(f.Marks(), (QList<bool>{true, false}));
        QCOMPARE(f.global.RowColor(1), QStringLiteral("blue"));
        f.model.ClearRows();
        QCOMPARE(f.List()->model()->rowCount(), 0);

        // The window state goes forward with the hand-off.
        f.mainWindow.showMaximized();
        f.form.ShowInPlaceOf(&f.mainWindow);
        QVERIFY(f.form.isMaximized());
        QVERIFY(!f.mainWindow.isVisible());
    }

    void closingEndsTheProgram() {
        Fixture f;
        f.mainWindow.show();  // another window stays open: the close itself must end it
        f.form.show();
        QTimer::singleShot(0, &f.form, [&f] { f.form.close(); });
        QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(7); });
        QCOMPARE(QApplication::exec(), 0);
    }

    void confirmedRequestMovesFilesToTheTrash() {
        Fixture f;
        const QString folder = FreshFolder(QStringLiteral("confirmed"));
        const QString a = MakeFile(folder, QStringLiteral("a song.mp3"), "first");
        const QString b = MakeFile(folder, QStringLiteral("b.mp3"), "second");
        const QString c = MakeFile(folder, QStringLiteral("c.mp3"), "kept");
        f.Add(a);
        f.Add(c);
        f.Add(b);
        f.Add(a, false, QStringLiteral("Size"));
        f.Add(c, false, QStringLiteral("Size"));
        f.model.SetCheckedByText(a, true);
        f.model.SetCheckedByText(b, true);
        f.Click("Check1");

        QCOMPARE(f.dialogs.confirmations, (QList<QStringList>{{b, a}}));
        QVERIFY(f.dialogs.reports.isEmpty());
        QVERIFY(!QFile::exists(a));
        QVERIFY(!QFile::exists(b));
        QCOMPARE(ContentOf(c), QByteArray("kept"));
        QVERIFY(!FindInTrash(a).isEmpty());
        QVERIFY(!FindInTrash(b).isEmpty());
        QCOMPARE(f.Paths(), (QStringList{c, c}));
        QCOMPARE(f.Marks(), (QList<bool>{false, false}));
        QVERIFY(f.AllWhite());

        // Restorable from the Trash, content intact.
        QVERIFY(RestoreFromTrash(a));
        QCOMPARE(ContentOf(a), QByteArray("first"));
        QVERIFY(FindInTrash(a).isEmpty());
    }

    void decliningMovesNothing() {
        Fixture f;
        const QString folder = FreshFolder(QStringLiteral("declined"));
        const QString a = MakeFile(folder, QStringLiteral("a.mp3"));
        const QString b = MakeFile(folder, QStringLiteral("b.mp3"));
        f.Add(a, true);
        f.Add(b);
        f.dialogs.answer = false;
        f.Click("Check1");
        QCOMPARE(f.dialogs.confirmations.size(), 1);
        QCOMPARE(f.dialogs.progressRuns, 0);
        QVERIFY(QFile::exists(a));
        QVERIFY(QFile::exists(b));
        QCOMPARE(f.Paths(), (QStringList{a, b}));
        QCOMPARE(f.Marks(), (QList<bool>{true, false}));
        QVERIFY(f.AllWhite());
    }

    void nothingCheckedAsksNothingButResetsColours() {
        Fixture f;
        // More rows than the old 10,000-entry reset reached.
        for (int k = 0; k < 10'050; ++k)
            f.Add(QStringLiteral("/none/%1").arg(k));
        f.Click("Check1");
        QVERIFY(f.dialogs.confirmations.isEmpty());
        QCOMPARE(f.model.RowCount(), 10'050);
        QVERIFY(f.AllWhite());
        QVERIFY(!f.model.data(f.model.index(10'040, 0), Qt::BackgroundRole).isValid());
    }

    void threeRowsOfOneFileMakeOneEntry() {
        Fixture f;
        const QString folder = FreshFolder(QStringLiteral("three"));
        const QString a = MakeFile(folder, QStringLiteral("Track 01.mp3"));
        const QString other = MakeFile(folder, QStringLiteral("track 01.mp3"));
        f.Add(a, false, QStringLiteral("Name"));
        f.Add(other, false, QStringLiteral("Name"));
        f.Add(a, false, QStringLiteral("Size"));
        f.Add(a, false, QStringLiteral("Close"));
        f.model.SetCheckedByText(a, true);
        f.Click("Check1");
        QCOMPARE(f.dialogs.confirmations, (QList<QStringList>{{a}}));
        QCOMPARE(f.Paths(), (QStringList{other}));
        QVERIFY(QFile::exists(other));
        QVERIFY(!FindInTrash(a).isEmpty());
    }

    void failuresAreReportedAndOnlyGoneFilesLeaveTheList() {
        Fixture f;
        const QString folder = FreshFolder(QStringLiteral("failures"));
        const QString vanished = MakeFile(folder, QStringLiteral("vanished.mp3"));
        const QString moved = MakeFile(folder, QStringLiteral("moved.mp3"));
        QDir().mkpath(folder + QStringLiteral("/locked"));
        const QString stuck =
            MakeFile(folder + QStringLiteral("/locked"), QStringLiteral("stuck.mp3"));
        f.Add(stuck, true);
        f.Add(vanished, true);
        f.Add(moved, true);
        f.Add(stuck, true, QStringLiteral("Size"));
        f.Add(vanished, true, QStringLiteral("Size"));
        QVERIFY(QFile::remove(vanished));
        {
            LockedFolder lock(folder + QStringLiteral("/locked"));
            if (!lock.locked())
                QSKIP("No way to make a folder unwritable here (chattr +i refused).");
            f.Click("Check1");
        }
        QCOMPARE(f.dialogs.reports.size(), 1);
        QCOMPARE(f.dialogs.reports.first().size(), 2);
        QVERIFY(f.dialogs.ReasonFor(vanished).contains(QStringLiteral("no longer exists")));
        QVERIFY(!f.dialogs.ReasonFor(stuck).isEmpty());
        QVERIFY(f.dialogs.ReasonFor(moved).isEmpty());
        // The stuck file stays, with both its rows and their marks; the gone ones leave.
        QCOMPARE(ContentOf(stuck), QByteArray("x"));
        QVERIFY(FindInTrash(stuck).isEmpty());
        QVERIFY(!FindInTrash(moved).isEmpty());
        QCOMPARE(f.Paths(), (QStringList{stuck, stuck}));
        QCOMPARE(f.Marks(), (QList<bool>{true, true}));
        QVERIFY(f.AllWhite());
    }

    void cancellingLeavesTheRestInPlace() {
        Fixture f;
        const QString folder = FreshFolder(QStringLiteral("cancel"));
        const QString a = MakeFile(folder, QStringLiteral("a.jpg"));
        const QString b = MakeFile(folder, QStringLiteral("b.jpg"));
        const QString c = MakeFile(folder, QStringLiteral("c.jpg"));
        f.Add(a, true);
        f.Add(b, true);
        f.Add(c, true);
        f.dialogs.cancelBefore = 1;
        f.Click("Check1");
        QVERIFY(!QFile::exists(a));
        QVERIFY(QFile::exists(b));
        QVERIFY(QFile::exists(c));
        QCOMPARE(f.dialogs.reports.size(), 1);
        QCOMPARE(f.dialogs.reports.first().size(), 2);
        QCOMPARE(f.Paths(), (QStringList{b, c}));
        QCOMPARE(f.Marks(), (QList<bool>{true, true}));
    }

    void aFolderNowAtThePathIsNeverTrashed() {
        Fixture f;
        const QString folder = FreshFolder(QStringLiteral("became_folder"));
        const QString path = folder + QStringLiteral("/photo.jpg");
        f.Add(path, true);
        QVERIFY(QDir().mkpath(path));
        MakeFile(path, QStringLiteral("inside.jpg"));
        f.Click("Check1");
        QVERIFY(QFile::exists(path + QStringLiteral("/inside.jpg")));
        QVERIFY(f.dialogs.ReasonFor(path).contains(QStringLiteral("folder")));
        QCOMPARE(f.Paths(), (QStringList{path}));
    }

    void withoutATrashNothingIsTouched() {
        Fixture f;
        const QString folder = FreshFolder(QStringLiteral("no_trash"));
        const QString a = MakeFile(folder, QStringLiteral("a.mp3"));
        f.Add(a, true);
        // A plain file where the Trash's "files" folder belongs: no Trash can be made.
        QDir(TrashRoot()).removeRecursively();
        QVERIFY(QDir().mkpath(TrashRoot()));
        QVERIFY(!MakeFile(TrashRoot(), QStringLiteral("files")).isEmpty());
        f.Click("Check1");
        QDir(TrashRoot()).removeRecursively();
        QCOMPARE(ContentOf(a), QByteArray("x"));
        QCOMPARE(f.dialogs.reports.size(), 1);
        QVERIFY(f.dialogs.ReasonFor(a).contains(QStringLiteral("Trash")));
        QCOMPARE(f.Paths(), (QStringList{a}));
        QCOMPARE(f.Marks(), (QList<bool>{true}));
    }

    void missingDataFolderStillLeadsToTheHomeTrash() {
        // Qt 6.4 puts files into "files" under the current folder when the home Trash's parent
        // is missing; the request must make the Trash first.
        QTemporaryDir cwd;
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(cwd.path()));
        QVERIFY(QDir(test::TestHome() + QStringLiteral("/data")).removeRecursively());
        Fixture f;
        const QString folder = FreshFolder(QStringLiteral("no_data_folder"));
        const QString a = MakeFile(folder, QStringLiteral("a.mp3"));
        f.Add(a, true);
        f.Click("Check1");
        QDir::setCurrent(before);
        QVERIFY(f.dialogs.reports.isEmpty());
        QVERIFY(!QFile::exists(a));
        QVERIFY(!FindInTrash(a).isEmpty());
        QVERIFY(!QFileInfo::exists(cwd.path() + QStringLiteral("/files")));
        QCOMPARE(f.model.RowCount(), 0);
    }
};

TALLYROOK_TEST_GUI_MAIN(TestForm4)
#include "test_form4.moc"
