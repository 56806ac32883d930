#include <unistd.h>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QTreeView>

#include <map>
#include <string_view>
#include <tuple>

#include "results_window/form4.h"
#include "results_window/form4_names.h"
#include "results_window/results_model.h"
#include "results_window/trash_dialogs.h"
#include "search/formats.h"
#include "selection/list_fixture.h"
#include "support/test_env.h"

using namespace tallyrook;
using namespace Qt::StringLiterals;

namespace {

// The local paths the desktop was asked to open.
class Desktop : public QObject {
    Q_OBJECT
public:
    QStringList opened;
    Desktop() { QDesktopServices::setUrlHandler(u"file"_s, this, "Open"); }
    ~Desktop() override { QDesktopServices::unsetUrlHandler(u"file"_s); }
public Q_SLOTS:
    void Open(const QUrl& url) { opened.append(url.toLocalFile()); }
};

// Answers the next modal dialog with `button` (NoButton: its own button) and keeps its text; the
// message box's format and default button too.
struct NextDialog {
    QString text;
    Qt::TextFormat format = Qt::AutoText;
    QString defaultButton;
    explicit NextDialog(QMessageBox::StandardButton button) {
        QTimer::singleShot(0, qApp, [this, button] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
                text = box->text();
                format = box->textFormat();
                defaultButton = box->defaultButton()->text().remove(u'&');
                for (QAbstractButton* each : box->buttons()) {
                    if (button == QMessageBox::NoButton
                            ? box->buttonRole(each) == QMessageBox::ActionRole
                            : box->standardButton(each) == button)
                        each->click();
                }
            } else if (dialog) {
                auto* heading = dialog->findChild<QLabel*>(u"ReportHeading"_s);
                format = heading->textFormat();
                text =
                    heading->text() + u'\n' + dialog->findChild<QPlainTextEdit*>()->toPlainText();
                qobject_cast<QDialog*>(dialog)->accept();
            }
        });
    }
};

// Picks the command named `action` in the menu about to open; closes it if that is disabled.
void ChooseFromMenu(const QString& action) {
    QTimer::singleShot(0, qApp, [action] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu);
        QAction* chosen = nullptr;
        for (QAction* command : menu->actions()) {
            if (command->objectName() == action && command->isEnabled())
                chosen = command;
        }
        menu->setActiveAction(chosen);
        QTest::keyClick(menu, chosen ? Qt::Key_Return : Qt::Key_Escape);
    });
}

// The objects the desktop program wires together; files go where the test Trash can take them.
struct Fixture : test::ListFixture<ResultsModel> {
    QWidget mainWindow;
    Form4 form{model, &mainWindow, &dialogs};
    QTreeView* list = form.findChild<QTreeView*>(form4::ResultList);
    bool Show() {
        form.show();
        return QTest::qWaitForWindowActive(&form);
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
    void listLooksAndFollowsTheWindow() {
        Fixture f;
        // Six colours with black text; a row without one: the list's own.
        for (const RowColor color : {RowColor::Blue, RowColor::LightBlue, RowColor::Red,
                                     RowColor::LightRed, RowColor::Green, RowColor::LightGreen}) {
            f.model.AppendRow({u"/music/an album with a long name/cover.jpg"_s,
                               {},
                               {},
                               Criterion::ExactFilename,
                               color,
                               50'800,
                               {},
                               1});
        }
        f.model.AppendRow({});
        QSet<QRgb> backgrounds;
        for (int k = 0; k < f.model.RowCount(); ++k) {
            const QModelIndex cell = f.model.index(k, k % f.model.columnCount());
            QCOMPARE(cell.data(Qt::BackgroundRole).isValid(), k < 6);
            QCOMPARE(cell.data(Qt::ForegroundRole), k < 6 ? QBrush(Qt::black) : QVariant());
            backgrounds.insert(cell.data(Qt::BackgroundRole).value<QBrush>().color().rgb());
        }
        QCOMPARE(backgrounds.size(), 6 + 1);  // and none
        const QStringList headers{u"Filename"_s, u"Size"_s, u"Last Modified"_s, u"Type"_s};
        for (int c = 0; c < f.model.columnCount(); ++c)
            QCOMPARE(f.model.headerData(c, Qt::Horizontal, Qt::DisplayRole), headers[c]);
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
        // The list follows the outer size, decorations included: 12000 x 8100 twips.
        f.form.resize(QSize(800, 540) - (f.form.frameGeometry().size() - f.form.size()));
        QCOMPARE((QList<int>{list->width(), list->height(), list->columnWidth(0)}),
                 (QList<int>{776, 389, 476}));
        // The status line below it, whole.
        const QRect status = f.form.findChild<QLabel*>(form4::StatusLine)->geometry();
        QVERIFY(status.top() > list->geometry().bottom() && f.form.rect().contains(status));
    }

    void marksFollowTheExactPathAndTheRowMenuLeavesThem() {
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
        // The row menu: the Menu key and Shift+F10 open it for the current row, the mouse for the
        // row under it. With no file manager on the bus, Show in Folder opens the folder.
        f.Menu(1, form4::CopyPathAction);
        QCOMPARE(QGuiApplication::clipboard()->text(), u"/m/song.mp3"_s);
        ChooseFromMenu(form4::OpenAction);
        QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
        ChooseFromMenu(form4::ShowInFolderAction);
        const QPoint at = list->visualRect(f.model.index(3, 2)).center();
        QContextMenuEvent menu(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list->viewport(), &menu);
        QCOMPARE(desktop.opened, (QStringList{u"/m/Song.mp3"_s, u"/m/song.mp3"_s, u"/"_s}));
        QCOMPARE(f.Marks(), u"0100"_s);

        // Uncheck all clears the marks; then Send to Trash asks nothing.
        f.Click(form4::UncheckAllButton);
        QCOMPARE(f.Marks(), u"0000"_s);
        f.Click(form4::SendToTrashButton);
        QVERIFY(f.dialogs.questions.isEmpty());
    }

    void helpersKeepOneOfEveryCopy() {
        Fixture f;
        // Copies {p, q, s} and {u, r}; v has none; t is gone. Rows p q r t v | u s p, t checked.
        const std::map<char, std::tuple<QString, QByteArray, int>> files{
            {'p', {u"aa/p.mp3"_s, "11", 5}}, {'q', {u"q.mp3"_s, "11", 3}},
            {'r', {u"bb/r.mp3"_s, "22", 1}}, {'t', {u"t.mp3"_s, {}, 6}},
            {'v', {u"v.mp3"_s, "33", 7}},    {'s', {u"aaa/s.mp3"_s, "11", 2}},
            {'u', {u"b/u.mp3"_s, "22", 4}}};
        QHash<char, QString> at;
        for (const auto& [name, file] : files) {
            const auto& [path, content, day] = file;
            at[name] = content.isEmpty() ? f.folder.filePath(path) : f.MakeFile(path, content, day);
        }
        for (const char name : std::string_view("pqrtvusp"))
            f.Add(at[name], name == 't', f.model.RowCount() < 5 ? 1 : 2, 2,
                  std::get<2>(files.at(name)));
        QVERIFY(f.Show());
        const int filenameWidth = f.list->columnWidth(ResultsModel::FilenameColumn);
        // The first helper compares contents; then each keeps one copy of every set, by its rule,
        // wherever the keeper stands, and unchecks the rest, t's hand-made mark too.
        for (const auto& [rule, marks] : {std::pair{form4::KeepNewestAction, u"01100010"_s},
                                          {form4::KeepOldestAction, u"11000101"_s},
                                          {form4::KeepLargestAction, u"01000110"_s},
                                          {form4::KeepShortestPathAction, u"10100011"_s}}) {
            f.Menu(0, rule);
            QVERIFY(QTest::qWaitFor([&] { return f.Marks() == marks; }));
        }
        QCOMPARE(f.All([&f](int k) {
            return f.model.index(k, ResultsModel::CopiesColumn).data().toString();
        }),
                 QStringList({u"A: 2 other copies"_s, u"A: 2 other copies"_s, u"B: 1 other copy"_s,
                              u"not compared"_s, u"no copy"_s, u"A: 1 other copy"_s,
                              u"B: 2 other copies"_s, u"B: 2 other copies"_s}));
        QCOMPARE(f.list->columnWidth(ResultsModel::FilenameColumn) +
                     f.list->columnWidth(ResultsModel::CopiesColumn),
                 filenameWidth);
        QTRY_COMPARE(f.form.findChild<QLabel*>(form4::StatusLine)->text(),
                     u"8 rows, 3 files checked (6 Bytes). Compared: 2 copy sets, 5 files with a "
                     u"copy; the extra copies take 6 Bytes"_s);

        // The next run's list has not been compared.
        f.model.ClearRows();
        QCOMPARE(f.model.columnCount(), int(ResultsModel::CopiesColumn));
        QCOMPARE(f.list->columnWidth(ResultsModel::FilenameColumn), filenameWidth);
    }

    void hardLinksAreOneFileAndEmptyFilesNoCopies() {
        Fixture f;
        const QString a = f.MakeFile(u"a.mp3"_s, "11", 1);
        const QString b = f.folder.filePath(u"b.mp3"_s);
        QVERIFY(::link(QFile::encodeName(a), QFile::encodeName(b)) == 0);
        const QString c = f.MakeFile(u"c.mp3"_s, "11", 5);
        for (const QString& path : {a, b, c})
            f.Add(path, false, 1, 2, path == c ? 5 : 1);
        for (const int day : {1, 2})
            f.Add(f.MakeFile(u"e%1"_s.arg(day), {}, day), true, 2, 0, day);
        QVERIFY(f.Show());
        // The helper keeps c and checks both names of the other file; no empty file stays checked.
        f.Menu(0, form4::KeepNewestAction);
        QVERIFY(QTest::qWaitFor([&] { return f.Marks() == u"11000"_s; }));
        QCOMPARE(f.All([&f](int k) {
            return f.model.index(k, ResultsModel::CopiesColumn).data().toString();
        }),
                 (QStringList{u"A: 1 other copy; same file as b.mp3"_s,
                              u"A: 1 other copy; same file as a.mp3"_s, u"A: 1 other copy"_s,
                              u"empty"_s, u"empty"_s}));
        QLabel* status = f.form.findChild<QLabel*>(form4::StatusLine);
        const QString compared =
            u". Compared: 1 copy set, 2 files with a copy; the extra copies take 2 Bytes"_s;
        QTRY_COMPARE(status->text(), u"5 rows, 2 files checked (2 Bytes)"_s + compared);
        // One name of a file that stays frees nothing, and says so; an empty file can still be
        // checked by hand.
        f.model.SetCheckedByText(b, false);
        f.model.SetCheckedByText(f.model.Row(3).path, true);
        QTRY_COMPARE(status->text(),
                     u"5 rows, 2 files checked. 1 checked name is another name of a "
                     u"file that stays: it frees no space"_s +
                         compared);
        f.dialogs.answer = TrashAnswer::No;
        f.Click(form4::SendToTrashButton);
        QCOMPARE(f.dialogs.questions.last().namesFreeingNothing, 1);
        QCOMPARE(f.dialogs.questions.last().bytes, 0);
    }

    void protectedFoldersKeepTheirFiles() {
        Fixture f;
        const QString kept = f.MakeFile(u"Photos/2019/x.jpg"_s, "11", 1);
        const QString phone = f.MakeFile(u"Export/x (1).jpg"_s, "11", 5);
        const QString y = f.MakeFile(u"Export/y.jpg"_s, "22", 1);
        const QString backup = f.MakeFile(u"Backup/y.jpg"_s, "22", 2);
        for (const QString& path : {kept, phone, y, backup})
            f.Add(path, path == kept, 1, 2, path == phone ? 5 : path == backup ? 2 : 1);
        QVERIFY(f.Show());
        // Protecting takes the mark of a file checked by hand, and no mark comes back.
        f.Menu(0, form4::ProtectFolderAction);
        QCOMPARE(f.Marks(), u"0000"_s);
        f.model.SetCheckedByText(kept, true);
        f.Menu(0, form4::CheckFolderAction);
        QCOMPARE(f.Marks(), u"0000"_s);
        QVERIFY(!(f.model.flags(f.model.index(0, 0)) & Qt::ItemIsUserCheckable));
        QVERIFY(f.model.index(0, 0).data(Qt::FontRole).value<QFont>().italic());
        QVERIFY(f.model.index(0, 0).data(Qt::ToolTipRole).toString().contains(u"Protected"_s));
        // Protection ends; the helper then follows its rule alone.
        f.Menu(0, form4::StopProtectingAction);
        f.Menu(0, form4::KeepNewestAction);
        QVERIFY(QTest::qWaitFor([&] { return f.Marks() == u"1010"_s; }));
    }

    // A file of another machine shows where it is before its path and cannot be opened; copies
    // joined across machines are "by fingerprint", and the question says where the other one is.
    void fileNotHereAndItsCopyByFingerprint() {
        Fixture f;
        const QString here = u"/home/me/a.jpg"_s;
        f.Add(here, false, 1, 4);
        ResultRow away{u"/media/nas/a.jpg"_s, {}, {}, Criterion::ExactFilename,
                       RowColor::Blue,        4,  {}, 1};
        away.source = u"nas: Backup"_s;
        f.model.AppendRow(away);
        ContentsResults found;
        for (const int file : {1, 2})
            found.files.push_back({1, 1, CopyState::HasCopies, NotComparedReason::None, {}, file});
        f.model.SetContents(f.model.ContentsFiles(), found, {true, true});
        QCOMPARE(f.model.index(1, 0).data().toString(), u"nas: Backup \u2014 /media/nas/a.jpg"_s);
        QCOMPARE(f.model.index(0, ResultsModel::CopiesColumn).data().toString(),
                 u"A: 1 other copy by fingerprint"_s);
        QVERIFY(f.Show());
        f.Menu(1, form4::OpenAction);  // greyed: the menu is closed without it
        QVERIFY(!f.form.findChild<QAction*>(form4::OpenAction)->isEnabled());
        TrashQuestion question;
        question.paths = {here};
        question.onlyCopyElsewhere = f.model.OnlyCopiesElsewhere({here});
        QtTrashDialogs dialogs(nullptr);
        NextDialog no(QMessageBox::No);
        dialogs.Confirm(question);
        QVERIFY(no.text.endsWith(u"\n\n/home/me/a.jpg: the other copy is on nas: Backup"_s));
    }

    void realDialogsShowTheirTextsPlain() {
        QtTrashDialogs dialogs(nullptr);
        const QString odd = u"/music/<s>old</s> mix.mp3"_s;
        const QString sure = u"Are you sure you want to move "_s;
        NextDialog no(QMessageBox::No);
        QCOMPARE(dialogs.Confirm({{odd}, -1, {}, {}, {}}), TrashAnswer::No);
        QCOMPARE(no.text, sure + u'"' + odd + u"\" to the Trash?"_s);
        QCOMPARE(no.format, Qt::PlainText);
        QCOMPARE(no.defaultButton, u"Yes"_s);
        // The size as the list shows it, and the files that keep no possible copy, by path, up
        // to ten, a long one shortened in the middle; a warning defaults to No.
        const QString size = u" ("_s + FormatSize(12'400'000) + u") to the Trash?\n\n"_s;
        const QString longPath = u"/"_s + QString(50, u'a') + u"/"_s + QString(50, u'b');
        QStringList eleven{longPath};
        for (int k = 1; k <= 10; ++k)
            eleven.append(u"/d%1/x"_s.arg(k));
        NextDialog yes(QMessageBox::Yes);
        QCOMPARE(dialogs.Confirm({{odd, u"/b"_s}, 12'400'000, eleven, {}, {}}), TrashAnswer::Yes);
        QCOMPARE(yes.defaultButton, u"No"_s);
        QCOMPARE(yes.text,
                 sure + u"these 2 files"_s + size +
                     u"11 checked files have no file of the same size left unchecked in their "
                     u"groups:\n/"_s +
                     QString(38, u'a') + u'\u2026' + QString(40, u'b') +
                     u"\n/d1/x\n/d2/x\n/d3/x\n/d4/x\n/d5/x\n/d6/x\n/d7/x\n/d8/x\n/d9/x\nand 1 "
                     u"more\nOnly files of the same size can be copies. Compare Contents (Ctrl+K) "
                     u"tells which files are true copies."_s);
        // After a comparison: what keeps no copy, and what changed since; Uncheck These answers
        // with exactly the files named.
        const TrashQuestion compared{{u"/b"_s, u"/c"_s}, -1, {}, {u"/b"_s}, {u"/b"_s, u"/c"_s}};
        NextDialog uncheck(QMessageBox::NoButton);
        QCOMPARE(dialogs.Confirm(compared), TrashAnswer::UncheckThese);
        QCOMPARE(uncheck.text,
                 sure +
                     u"these 2 files to the Trash?\n\n1 checked file has no identical copy "
                     u"left unchecked:\n/b\n\n2 checked files have changed since their contents "
                     u"were compared:\n/b\n/c"_s);
        QCOMPARE(compared.Named(), (QStringList{u"/b"_s, u"/c"_s}));
        const TrashQuestion many{{}, -1, eleven, {}, {}};
        QCOMPARE(many.Named(), eleven.mid(0, 10));
        // Failures: a heading, then each path with its reason under it.
        const QList<TrashFailure> failures{{odd, u"<b>Busy</b>"_s}, {u"/b"_s, u"Gone"_s}};
        for (const QString& heading :
             {u"1 file could not be moved to the Trash:"_s, u"2 files could not be put back:"_s}) {
            NextDialog ok(QMessageBox::Ok);
            if (heading.startsWith(u'1'))
                dialogs.ReportFailures(failures.first(1));
            else
                dialogs.ReportNotRestored(failures);
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
        // At the main window's size, narrower than this window's own, every button is whole.
        const QRect uncheck = f.form.findChild<QWidget*>(form4::UncheckAllButton)->geometry();
        QVERIFY(f.form.rect().contains(uncheck) &&
                uncheck.left() > f.form.findChild<QWidget*>(form4::SendToTrashButton)->x());

        f.form.setGeometry(150, 160, 720, 510);
        f.Click(form4::BackButton);
        QVERIFY(f.mainWindow.isVisible() && !f.form.isVisible());
        QCOMPARE(f.mainWindow.geometry(), QRect(150, 160, 720, 510));
        // Hidden, the window keeps its rows, marks and colours until the next run.
        QCOMPARE(f.Colours() << f.Marks(),
                 (QStringList{u"/a light blue"_s, u"/b blue"_s, u"10"_s}));

        // The window state goes forward; Back restores the main window if this one is restored.
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

    // Declined, asked by Delete in the list: nothing moves, every row keeps its mark and colour.
    void deleteKeyAsksAndADeclinedRequestLeavesTheList() {
        Fixture f;
        for (const QString& name : {u"a.mp3"_s, u"b.mp3"_s, u"a.mp3"_s})
            f.Add(f.MakeFile(name), name == u"a.mp3");
        const QStringList colours = f.Colours();
        f.dialogs.answer = TrashAnswer::No;
        QVERIFY(f.Show());
        f.list->setFocus();
        QTest::keyClick(f.list, Qt::Key_Delete);
        QTRY_COMPARE(f.dialogs.questions.size(), 1);
        QVERIFY(QFile::exists(f.model.Row(0).path) && QFile::exists(f.model.Row(1).path));
        QCOMPARE(f.Marks(), u"101"_s);
        QCOMPARE(f.Colours(), colours);
    }

    // What moved is on the status line until Ctrl+Z puts it back, once.
    void statusLineTellsWhatMovedUntilCtrlZPutsItBack() {
        Fixture f;
        const QStringList paths{f.MakeFile(u"a.mp3"_s), f.MakeFile(u"b.mp3"_s)};
        for (const QString& path : paths)
            f.Add(path, true);
        QVERIFY(f.Show());
        f.Click(form4::SendToTrashButton);
        QLabel* status = f.form.findChild<QLabel*>(form4::StatusLine);
        QTRY_COMPARE(
            status->text(),
            u"0 rows, no file checked. 2 files, moved to the Trash. Ctrl+Z puts them back"_s);
        QTest::keyClick(&f.form, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(f.Paths(), paths);
        QTRY_VERIFY(!status->text().contains(u"Trash"_s));
        QVERIFY(!f.form.findChild<QAction*>(form4::UndoAction)->isEnabled());
    }

    void uncheckTheseGoesBackToTheFirstFileNamed() {
        Fixture f;
        f.Add(u"/other"_s);
        f.Add(u"/a/x"_s, true, 1, 1000, 0, 1, 1);
        f.Add(u"/b/x"_s, true, 1, 1000, 0, 2, 1);
        QVERIFY(f.Show());
        f.dialogs.answer = TrashAnswer::UncheckThese;
        f.Click(form4::SendToTrashButton);
        QCOMPARE(f.Marks(), u"000"_s);
        QCOMPARE(f.list->currentIndex().row(), 1);
    }
};

TALLYROOK_TEST_GUI_MAIN(TestResultsWindow)
#include "test_results_window.moc"
