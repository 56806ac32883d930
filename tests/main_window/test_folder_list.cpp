#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>
#include <memory>

#include "fake_dialogs.h"
#include "main_window/folder_list.h"
#include "main_window/form1.h"
#include "results_window/results_model.h"
#include "settings/settings_store.h"
#include "shared/global.h"
#include "support/temp_tree.h"
#include "support/test_env.h"

using namespace tallyrook;

namespace {

QMimeData* Paths(const QStringList& paths) {
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls.append(path.contains(u':') ? QUrl(path) : QUrl::fromLocalFile(path));
    data->setUrls(urls);
    return data;
}

}  // namespace

class TestFolderList : public QObject {
    Q_OBJECT

    Global global;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<ResultsModel> results;
    test::FakeDialogs dialogs;
    std::unique_ptr<Form1> form;
    FolderListView* list = nullptr;
    test::TempTree tree;

    QStringList Entries() const { return list->Entries(); }
    QString Root() const { return tree.root(); }

    // A drop as the window system delivers it, onto the list's viewport.
    void Drop(QMimeData* data) {
        const QPoint at = list->viewport()->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(list->viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(list->viewport(), &drop);
        QVERIFY(drop.isAccepted());
        QCoreApplication::processEvents();
        delete data;
    }

    void Select(const QList<int>& rows) {
        list->clearSelection();
        for (int row : rows)
            list->topLevelItem(row)->setSelected(true);
    }

private Q_SLOTS:
    void initTestCase() {
        tree.file(QStringLiteral("Music/a.mp3"), 1);
        tree.file(QStringLiteral("Music/b.mp3"), 1);
        tree.file(QStringLiteral("Music/c.mp3"), 1);
        tree.dir(QStringLiteral("Photos"));
    }

    void init() {
        settings = std::make_unique<SettingsStore>();
        results = std::make_unique<ResultsModel>(global);
        dialogs = {};
        form = std::make_unique<Form1>(global, *settings, *results, &dialogs);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        list = form->findChild<FolderListView*>(QStringLiteral("ListView3"));
        QVERIFY(list);
    }

    void cleanup() { form.reset(); }

    void droppedFoldersAndFiles() {
        const QString music = Root() + QStringLiteral("/Music");
        // A folder as it comes, also with its closing "/"; a file stands for its folder.
        Drop(Paths({music, Root() + QStringLiteral("/Photos/")}));
        QCOMPARE(Entries(), QStringList({music, Root() + QStringLiteral("/Photos/")}));
        list->clear();
        Drop(Paths({music + QStringLiteral("/a.mp3"), music + QStringLiteral("/b.mp3"),
                    music + QStringLiteral("/c.mp3")}));
        QCOMPARE(Entries(), QStringList({music, music, music}));
        list->clear();
        Drop(Paths({music, music + QStringLiteral("/b.mp3")}));
        QCOMPARE(Entries(), QStringList({music, music}));
        list->clear();
        // The root stays "/", and a file in it (gone by now, say) stands for "/".
        Drop(Paths({QStringLiteral("/"), QStringLiteral("/tallyrook-no-such-file.txt")}));
        QCOMPARE(Entries(), QStringList({QStringLiteral("/"), QStringLiteral("/")}));
        QVERIFY(dialogs.shown.isEmpty());
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            QVERIFY(!list->topLevelItem(i)->icon(0).isNull());
    }

    void dropsWithoutLocalPaths_data() {
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<int>("kept");
        QTest::newRow("trash") << QStringList{QStringLiteral("trash:/0-a.mp3")} << 0;
        QTest::newRow("web address") << QStringList{QStringLiteral("https://example.org/a")} << 0;
        QTest::newRow("recent after a folder")
            << QStringList{Root() + QStringLiteral("/Music"), QStringLiteral("recent:/"),
                           Root() + QStringLiteral("/Photos")}
            << 1;
    }

    void dropsWithoutLocalPaths() {
        QFETCH(QStringList, paths);
        QFETCH(int, kept);
        Drop(Paths(paths));
        QCOMPARE(Entries().size(), kept);
        if (kept)
            QCOMPARE(Entries().first(), Root() + QStringLiteral("/Music"));
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown.first().title, QStringLiteral("Error"));
        QCOMPARE(dialogs.shown.first().text,
                 QStringLiteral("You can not drag and drop virtual folders like My Documents. "
                                "Instead browse to C:\\Documents and Settings\\Your Name\\My "
                                "Documents, for example, or drag and drop subfolders within My "
                                "Documents"));
        QVERIFY(!dialogs.shown.first().question);
    }

    void dropOfPlainText() {
        auto* data = new QMimeData;
        data->setText(QStringLiteral("/home"));
        Drop(data);
        QVERIFY(Entries().isEmpty());
        QCOMPARE(dialogs.Titles(), QStringList{QStringLiteral("Error")});
    }

    void deleteAndSelectAll() {
        for (const char* name : {"one", "two", "three", "four", "five"})
            list->AddEntry(QString::fromLatin1(name));
        list->setFocus();
        Select({0, 2, 3});
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(Entries(), QStringList({QStringLiteral("two"), QStringLiteral("five")}));

        // Ctrl+Shift+A and Ctrl+Alt+A select nothing new; Ctrl+A alone selects all.
        Select({1});
        QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
        QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier | Qt::AltModifier);
        QCOMPARE(list->selectedItems().size(), 1);
        QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(list->selectedItems().size(), 2);
        // Delete with a modifier held still deletes.
        QTest::keyClick(list, Qt::Key_Delete, Qt::ShiftModifier);
        QVERIFY(Entries().isEmpty());
        QVERIFY(dialogs.shown.isEmpty());
    }

    void addFolderAndClearList() {
        auto* add = form->findChild<QPushButton*>(QStringLiteral("Check2"));
        auto* clear = form->findChild<QPushButton*>(QStringLiteral("Check3"));
        dialogs.folderToChoose.clear();
        QTest::mouseClick(add, Qt::LeftButton);
        QCOMPARE(dialogs.browseTitles, QStringList{QStringLiteral("Please select folder to add:")});
        QVERIFY(Entries().isEmpty());

        for (const QString& chosen :
             {QStringLiteral("/srv/music/"), QStringLiteral("/srv/photos"), QStringLiteral("/")}) {
            dialogs.folderToChoose = chosen;
            QTest::mouseClick(add, Qt::LeftButton);
        }
        QCOMPARE(Entries(), QStringList({QStringLiteral("/srv/music"),
                                         QStringLiteral("/srv/photos"), QStringLiteral("/")}));
        QVERIFY(!add->isDown());

        QTest::mouseClick(clear, Qt::LeftButton);
        QVERIFY(Entries().isEmpty());
        QVERIFY(dialogs.shown.isEmpty());
    }
};

TALLYROOK_TEST_GUI_MAIN(TestFolderList)
#include "test_folder_list.moc"
