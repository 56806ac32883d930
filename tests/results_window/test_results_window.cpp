#include <unistd.h>
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QDBusConnection>
#include <QDesktopServices>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QTreeView>

#include <optional>

#include "results_window/form4.h"
#include "results_window/form4_names.h"
#include "results_window/results_model.h"
#include "results_window/trash_request.h"
#include "search/formats.h"
#include "shared/global.h"
#include "support/test_env.h"

using namespace tallyrook;
using namespace Qt::StringLiterals;

namespace {

// Answers the Trash request's dialogs in code and remembers what they were asked.
struct FakeDialogs : TrashDialogs {
    bool answer = true;
    int cancelAt = -1;  // Advance(cancelAt) reports a cancel
    QList<TrashQuestion> questions;
    int reports = 0;
    QHash<QString, QString> reasons;  // of the failures, by path

    bool Confirm(const TrashQuestion& q) override { return questions.append(q), answer; }
    void BeginProgress(int) override {}
    bool Advance(int done) override { return done != cancelAt; }
    void EndProgress() override {}
    void ReportFailures(const QList<TrashFailure>& failures) override {
        ++reports;
        for (const TrashFailure& failure : failures)
            reasons.insert(failure.path, failure.reason);
    }
    QList<QList<TrashFailure>> notRestored;  // one list per report
    void ReportNotRestored(const QList<TrashFailure>& f) override { notRestored.append(f); }
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

// What the desktop was asked to open, and what a file manager on the bus was asked to show.
class Desktop : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QList<QUrl> opened;
    QStringList shown;
    Desktop() { QDesktopServices::setUrlHandler(u"file"_s, this, "Open"); }
    ~Desktop() override { QDesktopServices::unsetUrlHandler(u"file"_s); }
public Q_SLOTS:
    void Open(const QUrl& url) { opened.append(url); }
    void ShowItems(const QStringList& uris, const QString&) { shown += uris; }
};

// Answers the next modal dialog with `button` and keeps its text; the message box's format too.
struct NextDialog {
    QString text;
    Qt::TextFormat format = Qt::AutoText;
    explicit NextDialog(QMessageBox::StandardButton button) {
        QTimer::singleShot(0, qApp, [this, button] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
                text = box->text();
                format = box->textFormat();
                box->button(button)->click();
            } else if (dialog) {
                auto* heading = dialog->findChild<QLabel*>(u"FailureHeading"_s);
                format = heading->textFormat();
                text =
                    heading->text() + u'\n' + dialog->findChild<QPlainTextEdit*>()->toPlainText();
                qobject_cast<QDialog*>(dialog)->accept();
            }
        });
    }
};

// Picks the command named `action` in the menu about to open; the texts of its enabled commands
// come back in `enabled`.
void ChooseFromMenu(const QString& action, QStringList* enabled = nullptr) {
    QTimer::singleShot(0, qApp, [action, enabled] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu);
        QAction* chosen = nullptr;
        for (QAction* command : menu->actions()) {
            if (enabled && command->isEnabled() && !command->isSeparator())
                enabled->append(command->text());
            if (command->objectName() == action && command->isEnabled())
                chosen = command;
        }
        if (chosen)
            menu->setActiveAction(chosen);
        QTest::keyClick(menu, chosen ? Qt::Key_Return : Qt::Key_Escape);
    });
}

// The objects the desktop program wires together; files go where the test Trash can take them.
struct Fixture {
    Global global;
    ResultsModel model{global};
    std::optional<QAbstractItemModelTester> tester;  // made once the rows are in: it is slow
    void TestModel() {
        tester.emplace(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    }
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
    QTreeView* list = form.findChild<QTreeView*>(form4::ResultList);
    bool Show() {
        form.show();
        form.activateWindow();
        return QTest::qWaitForWindowActive(&form);
    }
    void Add(const QString& path, bool checked = false, int group = 0, qint64 bytes = -1,
             int day = 0) {
        const QDateTime modified(QDate(2024, 1, qMax(day, 1)), QTime(12, 0), Qt::UTC);
        model.AppendRow(
            {path, {}, {}, {}, bytes, day > 0 ? modified : QDateTime(), group, checked});
        global.rowColors.SetRowColor(model.RowCount() - 1,
                                     model.RowCount() % 2 ? u"light blue"_s : u"blue"_s);
    }
    template <typename Of>
    QStringList All(Of of) const {
        QStringList all;
        for (int k = 0; k < model.RowCount(); ++k)
            all.append(of(k));
        return all;
    }
    QStringList Paths() const {
        return All([this](int k) { return model.Row(k).path; });
    }
    QString Marks() const {  // "1" for a checked row, "0" for the others
        return All([this](int k) { return model.IsChecked(k) ? u"1"_s : u"0"_s; }).join(u""_s);
    }
    QStringList Colours() const {  // "path colour" of every row
        return All([this](int k) -> QString {
            return model.Row(k).path + u' ' + global.rowColors.RowColor(k);
        });
    }
    void Click(QLatin1StringView button) { form.findChild<QPushButton*>(button)->click(); }
    // Picks `action` from the list's menu, opened with the Menu key on `row`.
    void Menu(int row, const QString& action) {
        list->setFocus();
        list->setCurrentIndex(model.index(row, 2));
        ChooseFromMenu(action);
        QTest::keyClick(list, Qt::Key_Menu);
    }
};

}  // namespace

class TestResultsWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void paintsTheColourTableByRowPosition() {
        Fixture f;
        // Six colours with black text; white, other names and rows past RowColors: the list's own.
        for (const QString& name : {u"blue"_s, u"light blue"_s, u"red"_s, u"light red"_s,
                                    u"green"_s, u"light green"_s, u"white"_s, u"Blue"_s}) {
            f.global.rowColors.SetRowColor(f.model.RowCount(), name);
            f.model.AppendRow({});
        }
        f.model.AppendRow({});
        QSet<QRgb> backgrounds;
        for (int k = 0; k < f.model.RowCount(); ++k) {
            const QModelIndex cell = f.model.index(k, k % ResultsModel::ColumnCount);
            QCOMPARE(cell.data(Qt::BackgroundRole).isValid(), k < 6);
            QCOMPARE(cell.data(Qt::ForegroundRole), k < 6 ? QBrush(Qt::black) : QVariant());
            backgrounds.insert(cell.data(Qt::BackgroundRole).value<QBrush>().color().rgb());
        }
        QCOMPARE(backgrounds.size(), 6 + 1);  // and none
        // Four headers; headers and cells left-aligned.
        const QStringList headers{u"Filename"_s, u"Size"_s, u"Last Modified"_s, u"Type"_s};
        const QVariant left = QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        QCOMPARE(ResultsModel::ColumnCount, headers.size());
        for (int c = 0; c < ResultsModel::ColumnCount; ++c) {
            QCOMPARE(f.model.headerData(c, Qt::Horizontal, Qt::DisplayRole), headers[c]);
            QCOMPARE(f.model.headerData(c, Qt::Horizontal, Qt::TextAlignmentRole), left);
            QCOMPARE(f.model.index(0, c).data(Qt::TextAlignmentRole), left);
        }
    }

    void windowFollowsItsDesign() {
        Fixture f;
        f.Add(u"/music/an album with a long name/cover.jpg"_s, false, 1, 50'800);
        QCOMPARE(f.model.index(0, ResultsModel::SizeColumn).data(Qt::ToolTipRole).toString(),
                 QLocale::system().toString(50'800) + u" bytes"_s);
        QVERIFY(f.Show());
        QTreeView* list = f.list;
        // Tips give the whole path only where the column cuts it.
        const auto tipAt = [list](int width) {
            list->setColumnWidth(0, width);
            const QPoint at = list->visualRect(list->model()->index(0, 0)).center();
            QHelpEvent help(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
            QApplication::sendEvent(list->viewport(), &help);
            return QToolTip::isVisible() ? QToolTip::text() : QString();
        };
        QCOMPARE(tipAt(1000), QString());
        QCOMPARE(tipAt(80), f.model.Row(0).path);
        QToolTip::hideText();
        // Tab visits the buttons, then the list.
        f.form.findChild<QWidget*>(form4::BackButton)->setFocus();
        QStringList visited;
        for (int i = 0; i < 4; ++i, QTest::keyClick(f.form.focusWidget(), Qt::Key_Tab))
            visited.append(f.form.focusWidget()->objectName());
        QCOMPARE(visited, (QStringList{form4::BackButton, form4::SendToTrashButton,
                                       form4::UncheckAllButton, form4::ResultList}));

        // The list follows the outer size, decorations included.
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
        QVERIFY(f.Show());
        QTreeView* list = f.list;

        // A click on the row's text gives its mark to the other rows of its path.
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
        // However many rows are selected, Space marks the current row's file only.
        list->selectAll();
        list->selectionModel()->setCurrentIndex(f.model.index(3, 2), QItemSelectionModel::NoUpdate);
        QTest::keyClick(list, Qt::Key_Space);
        QCOMPARE(f.Marks(), u"0100"_s);

        // A double-click opens the file and leaves the marks; on the box it marks and unmarks.
        Desktop desktop;
        for (const QPoint at : {sizeCell, box.center()}) {
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
            QTest::mousePress(list->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
            QCOMPARE(f.Marks(), u"0100"_s);
        }
        QCOMPARE(desktop.opened, QList<QUrl>{QUrl::fromLocalFile(u"/m/Song.mp3"_s)});

        // Uncheck all clears the marks; then Check1 asks nothing.
        f.Click(form4::UncheckAllButton);
        QCOMPARE(f.Marks(), u"0000"_s);
        f.Click(form4::SendToTrashButton);
        QVERIFY(f.dialogs.questions.isEmpty());
    }

    void rowMenuHelpsWithoutChangingMarks() {
        // A bus of our own, which starts no service by itself, with a file manager on it.
        QFile config(test::TestHome() + u"/bus.conf"_s);
        QVERIFY(config.open(QIODevice::WriteOnly) &&
                config.write("<busconfig><type>session</type><listen>unix:dir=" +
                             QFile::encodeName(test::TestHome()) +
                             "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                             "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow "
                             "eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>") > 0 &&
                config.flush());
        QProcess daemon;
        daemon.start(u"dbus-daemon"_s, {u"--nofork"_s, u"--print-address=1"_s,
                                        u"--config-file="_s + config.fileName()});
        if (!daemon.waitForReadyRead(5000))
            QSKIP("No D-Bus daemon can be started here.");
        const QString address = QString::fromLatin1(daemon.readLine().trimmed());
        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toLatin1());
        Desktop desktop;
        QDBusConnection fileManager = QDBusConnection::connectToBus(address, u"fm"_s);
        const auto done = qScopeGuard([&daemon] {
            QDBusConnection::disconnectFromBus(u"fm"_s);
            daemon.kill();
            daemon.waitForFinished();
        });
        QVERIFY(fileManager.registerObject(u"/org/freedesktop/FileManager1"_s, &desktop,
                                           QDBusConnection::ExportAllSlots));
        QVERIFY(fileManager.registerService(u"org.freedesktop.FileManager1"_s));

        Fixture f;
        for (const QString& path : {u"/m/a b.mp3"_s, u"/m/c.mp3"_s, u"/m/a b.mp3"_s})
            f.Add(path, path.contains(u' '));
        QVERIFY(f.Show());
        QTreeView* list = f.list;
        const auto rightClick = [list](QPoint at) {
            QContextMenuEvent event(QContextMenuEvent::Mouse, at,
                                    list->viewport()->mapToGlobal(at));
            QApplication::sendEvent(list->viewport(), &event);
        };
        // The Menu key and Shift+F10 open it for the current row.
        f.Menu(1, form4::CopyPathAction);
        QCOMPARE(QGuiApplication::clipboard()->text(), u"/m/c.mp3"_s);
        ChooseFromMenu(form4::OpenAction);
        QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
        QCOMPARE(desktop.opened, QList<QUrl>{QUrl::fromLocalFile(u"/m/c.mp3"_s)});
        // The mouse's menu: the file manager shows the file, or else the desktop opens its folder.
        ChooseFromMenu(form4::ShowInFolderAction);
        rightClick(list->visualRect(f.model.index(0, 1)).center());
        QTRY_COMPARE(desktop.shown, QStringList{u"file:///m/a%20b.mp3"_s});
        QVERIFY(fileManager.unregisterService(u"org.freedesktop.FileManager1"_s));
        ChooseFromMenu(form4::ShowInFolderAction);
        rightClick(list->visualRect(f.model.index(2, 3)).center());
        QTRY_COMPARE(desktop.opened.size(), 2);
        QCOMPARE(desktop.opened.last(), QUrl::fromLocalFile(u"/m/"_s));
        // Below the rows, only the commands that need no row.
        QStringList enabled;
        ChooseFromMenu(form4::OpenAction, &enabled);
        rightClick(list->viewport()->rect().bottomLeft() + QPoint(5, -5));
        QCOMPARE(enabled.size(), 4);
        QVERIFY(enabled.first().startsWith(u"In every group, check all but"_s));
        QCOMPARE(f.Marks(), u"101"_s);
    }

    void groupRules_data() {
        QTest::addColumn<int>("rule");
        QTest::addColumn<QString>("marks");
        // Ties go to the first row; rows without the measure lose; /b/x keeps group 2, so it
        // stays unchecked where group 1 would check it.
        using K = ResultsModel::Keeper;
        QTest::newRow("newest") << int(K::Newest) << u"1010101"_s;
        QTest::newRow("oldest") << int(K::Oldest) << u"1000101"_s;
        QTest::newRow("largest") << int(K::Largest) << u"0010101"_s;
        QTest::newRow("shortest path") << int(K::ShortestPath) << u"1010101"_s;
    }

    void groupRules() {
        QFETCH(int, rule);
        QFETCH(QString, marks);
        Fixture f;
        f.Add(u"/aa/x"_s, false, 1, 400, 3);
        f.Add(u"/b/x"_s, false, 1, 200, 5);
        f.Add(u"/c/x"_s, false, 1, 300, 1);
        f.Add(u"/b/x"_s, false, 2, 200, 5);
        f.Add(u"/dd/x"_s, false, 2);
        f.Add(u"/e/y"_s, true, 3, 50, 2);  // a keeper the user had checked
        f.Add(u"/f/y"_s, false, 3, 50, 2);
        f.TestModel();
        f.model.CheckAllBut(static_cast<ResultsModel::Keeper>(rule));
        QCOMPARE(f.Marks(), marks);
    }

    void folderMarksAndTheWarningBeforeAGroupLosesEveryFile() {
        Fixture f;
        // Group 1 lies in /a/b and below it, group 2 in /a/bc, which /a/b must not take in.
        for (const QString& path : {u"/a/b/x.jpg"_s, u"/a/b/sub/x.jpg"_s, u"/a/bc/y.txt"_s,
                                    u"/a/b/y.txt"_s, u"/a/bc/z.txt"_s, u"/q/z.txt"_s})
            f.Add(path, false, path.endsWith(u"x.jpg"_s) ? 1 : path.contains(u'y') ? 2 : 3, 1000);
        QVERIFY(f.Show());
        f.Menu(3, form4::CheckFolderAction);
        QCOMPARE(f.Marks(), u"110100"_s);
        f.Menu(1, form4::UncheckFolderAction);
        QCOMPARE(f.Marks(), u"100100"_s);

        // Every file of groups 1 and 3 checked: one question, which says so.
        for (const QString& path : {u"/a/b/sub/x.jpg"_s, u"/a/bc/z.txt"_s, u"/q/z.txt"_s})
            f.model.SetCheckedByText(path, true);
        f.dialogs.answer = false;
        f.Click(form4::SendToTrashButton);
        QCOMPARE(f.dialogs.questions.size(), 1);
        QCOMPARE(f.dialogs.questions[0].emptiedGroups, (QStringList{u"x.jpg"_s, u"z.txt"_s}));
        QCOMPARE(f.dialogs.questions[0].bytes, 5000);
    }

    void realDialogsShowTheirTextsPlain() {
        QtTrashDialogs dialogs(nullptr);
        const QString odd = u"/music/<s>old</s> mix.mp3"_s;
        using Ask = TrashQuestion;
        NextDialog no(QMessageBox::No);
        QVERIFY(!dialogs.Confirm(Ask{{odd}, -1, {}}));
        QCOMPARE(no.text, u"Are you sure you want to move \""_s + odd + u"\" to the Trash?"_s);
        QCOMPARE(no.format, Qt::PlainText);
        NextDialog yes(QMessageBox::Yes);
        QVERIFY(dialogs.Confirm(Ask{{odd, u"/b"_s}, -1, {}}));
        QCOMPARE(yes.text, u"Are you sure you want to move these 2 files to the Trash?"_s);
        // The size as the list shows it, and the groups that would keep no file.
        const QString size = FormatSize(12'400'000);
        QCOMPARE(QtTrashDialogs::ConfirmText(Ask{{odd}, 12'400'000, {u"cover.jpg"_s}}),
                 u"Are you sure you want to move \""_s + odd + u"\" ("_s + size +
                     u") to the Trash?\n\nEvery file of 1 group is checked, so it keeps no "
                     u"copy: cover.jpg"_s);
        const QStringList names = u"1 2 3 4 5 6 7"_s.split(u' ');
        QCOMPARE(QtTrashDialogs::ConfirmText(Ask{{odd, odd}, 12'400'000, names}),
                 u"Are you sure you want to move these 2 files ("_s + size +
                     u") to the Trash?\n\nEvery file of 7 groups is checked, so none of them "
                     u"keeps a copy: 1, 2, 3, 4, 5 and 2 more"_s);
        for (const QString& heading :
             {u"1 file could not be moved to the Trash:"_s,
              u"2 files could not be moved to the Trash:"_s, u"2 files could not be put back:"_s}) {
            QList<TrashFailure> failures{{odd, u"<b>Busy</b>"_s}};
            if (heading.startsWith(u'2'))
                failures.append({u"/b"_s, u"Gone"_s});
            NextDialog ok(QMessageBox::Ok);
            if (heading.endsWith(u"back:"_s))
                dialogs.ReportNotRestored(failures);
            else
                dialogs.ReportFailures(failures);
            QCOMPARE(ok.format, Qt::PlainText);
            QVERIFY(ok.text.startsWith(heading + u'\n' + odd + u"\n    <b>Busy</b>\n"_s));
        }
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
        f.Click(form4::BackButton);
        QVERIFY(f.mainWindow.isVisible() && !f.form.isVisible());
        QCOMPARE(f.mainWindow.geometry(), QRect(150, 160, 720, 510));
        // Hidden, the window keeps its rows, marks and colours until the next run.
        QCOMPARE(f.Colours() << f.Marks(),
                 (QStringList{u"/a light blue"_s, u"/b blue"_s, u"10"_s}));

        // The window state goes forward; Back restores the main window if this one is restored.
        f.mainWindow.showMaximized();
        f.form.ShowInPlaceOf(&f.mainWindow);
        QVERIFY(f.form.isMaximized() && !f.mainWindow.isVisible());
        f.mainWindow.showMinimized();
        f.form.ShowInPlaceOf(&f.mainWindow);
        QVERIFY(f.form.isMinimized());
        f.form.showNormal();
        f.Click(form4::BackButton);
        QVERIFY(f.mainWindow.isVisible() && !f.mainWindow.isMinimized());

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
        const auto restore = qScopeGuard([was = QDir::currentPath()] { QDir::setCurrent(was); });
        QVERIFY(QDir::setCurrent(cwd.path()));
        QVERIFY(QDir(test::TestHome() + u"/data"_s).removeRecursively());
        Fixture f;
        const QString a = f.MakeFile(u"a song.mp3"_s);
        const QString b = f.MakeFile(u"b.mp3"_s);
        const QString c = f.MakeFile(u"c.mp3"_s);
        const QString otherCase = f.MakeFile(u"A song.mp3"_s);
        for (const QString& path : {a, c, b, otherCase, a, c, a})
            f.Add(path, path == a || path == b);
        // Files gone since the run, in more runs of rows than are worth telling the view about
        // one by one, and more rows than the old 10,000-entry colour reset reached.
        for (int k = f.model.RowCount(); k < 10'050; ++k)
            f.Add(k % 5 ? u"/none"_s : u"/gone/%1"_s.arg(k), k % 5 == 0);
        f.TestModel();

        // Declined: nothing moves, every row keeps its mark and colour.
        const QStringList colours = f.Colours();
        f.dialogs.answer = false;
        f.Click(form4::SendToTrashButton);
        QVERIFY(QFile::exists(a) && QFile::exists(b));
        QCOMPARE(f.Marks().left(11), u"10101010001"_s);
        QCOMPARE(f.Colours(), colours);

        // Confirmed: each path once, at its last checked row, with no limit on their number.
        f.dialogs.answer = true;
        f.Click(form4::SendToTrashButton);
        QCOMPARE(f.dialogs.questions.size(), 2);
        QCOMPARE(f.dialogs.questions[1].paths.size(), 2 + 2'008);
        QCOMPARE(f.dialogs.questions[1].paths.mid(0, 3), (QStringList{b, a, u"/gone/10"_s}));
        QVERIFY(!QFile::exists(a) && !QFile::exists(b) && !FindInTrash(b).isEmpty());
        QVERIFY(QFile::exists(c) && QFile::exists(otherCase));
        QVERIFY(!QFileInfo::exists(cwd.path() + u"/files"_s));
        QCOMPARE(f.dialogs.reasons.size(), 2'008);  // the gone ones; every row of them goes
        QCOMPARE(f.Paths(), QStringList({c, otherCase, c}) + QStringList(8'035, u"/none"_s));
        // The rows that stay keep their colours: they leave with their rows.
        QStringList staying = colours;
        staying.removeIf([&](const QString& row) {
            return row.startsWith(a) || row.startsWith(b) || row.startsWith(u"/gone"_s);
        });
        QCOMPARE(f.Colours(), staying);
    }

    void failuresAreReportedAndOnlyGoneFilesLeaveTheList() {
        Fixture f;
        f.TestModel();
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
            f.Click(form4::SendToTrashButton);
        }
        QVERIFY(f.dialogs.reports == 1 && f.dialogs.reasons.size() == 4);
        for (const auto& [path, reason] : {std::pair{vanished, u"no longer exists"_s},
                                           {nowFolder, u"folder"_s},
                                           {late, u"cancelled"_s},
                                           {stuck, QString()}})
            QVERIFY(f.dialogs.reasons.contains(path) && f.dialogs.reasons[path].contains(reason));
        // What stayed keeps its rows and marks; what is gone leaves the list.
        QVERIFY(QFile::exists(stuck) && QFile::exists(late) && QFileInfo(nowFolder).isDir());
        QVERIFY(FindInTrash(stuck).isEmpty() && !FindInTrash(moved).isEmpty());
        QCOMPARE(f.Paths(), (QStringList{stuck, nowFolder, stuck, late}));
        QCOMPARE(f.Marks(), u"1111"_s);
    }

    void undoPutsFilesAndRowsBack() {
        Fixture f;
        f.TestModel();
        const QString a = f.MakeFile(u"undo-a.mp3"_s, "a");
        const QString b = f.MakeFile(u"undo-b.mp3"_s, "b");
        const QString kept = f.MakeFile(u"undo-kept.mp3"_s);
        for (const QString& path : {a, kept, a, b})
            f.Add(path, path != kept);
        const QStringList colours = f.Colours();
        auto* undo = f.form.findChild<QAction*>(form4::UndoAction);
        QVERIFY(!undo->isEnabled());
        f.Click(form4::SendToTrashButton);
        QCOMPARE(f.Paths(), QStringList{kept});
        QVERIFY(undo->isEnabled() && !QFile::exists(a));

        // Ctrl+Z: files and rows come back with marks and colours; the kept row keeps its new mark.
        f.model.SetCheckedByText(kept, true);
        QVERIFY(f.Show());
        QTest::keyClick(&f.form, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(f.Colours(), colours);
        QCOMPARE(f.Marks(), u"1111"_s);
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
        for (const QString& path : {gone, folderGone, left})
            f.Add(path, true);
        f.model.SetCheckedByText(kept, false);
        QVERIFY(QFile::remove(gone));
        f.Click(form4::SendToTrashButton);
        QCOMPARE(f.Paths(), QStringList{kept});
        QVERIFY(f.MakeFile(u"undo-b.mp3"_s, "new") == b);
        QVERIFY(QDir(f.folder.filePath(u"undo-sub"_s)).removeRecursively());
        QVERIFY(QFile::remove(FindInTrash(left)) &&
                QFile::remove(TrashRoot() + u"/info/undo-left.mp3.trashinfo"_s));
        f.Menu(0, form4::UndoAction);  // this time from the list's menu
        QCOMPARE(f.dialogs.notRestored.size(), 1);
        QHash<QString, QString> why;
        for (const TrashFailure& failure : f.dialogs.notRestored[0])
            why.insert(failure.path, failure.reason);
        QVERIFY(why.size() == 3 && why[b].contains(u"Another file"_s) &&
                why[folderGone].contains(u"folder"_s) &&
                why[left].contains(u"no longer in the Trash"_s));
        QCOMPARE(f.Paths(), (QStringList{a, kept, a}));
        QCOMPARE(QFileInfo(b).size(), 3);
        QVERIFY(!FindInTrash(b).isEmpty());
    }
};

TALLYROOK_TEST_GUI_MAIN(TestResultsWindow)
#include "test_results_window.moc"
