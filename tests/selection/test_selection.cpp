#include <QTest>
#include <memory>

#include "selection/copy_choice.h"
#include "support/temp_tree.h"
#include "support/test_env.h"

using namespace tallyrook;
using namespace Qt::StringLiterals;

class TestSelection : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TempTree> tree;
    QStringList names;  // the list's paths, relative to the tree
    ProtectedFolders protectedFolders;
    CopyChoice choice;

    // A file of `size` bytes of the pattern `seed`, last written `minute` minutes after noon.
    void Write(const QString& name, qint64 size, int seed, int minute = 0) {
        tree->write(name, test::Pattern(size, seed),
                    QDateTime(QDate(2024, 5, 1), QTime(12, minute), Qt::UTC));
    }
    // Lists `names`, compares their contents and makes the choice of them.
    void Compare() {
        QList<ContentsFile> files;
        for (const QString& name : names) {
            const QFileInfo info(tree->path(name));
            files.append({info.filePath(), info.size(), info.lastModified()});
        }
        choice = CopyChoice(files, CheckContents(files).files);
    }
    // `a` (written at noon) and its hard link `b`, and `other` of a's size, the pattern `seed`
    // and `minute`: listed a, other, b, and compared.
    void LinkedPair(const QString& a, const QString& b, const QString& other, int seed,
                    int minute = 0) {
        Write(a, 5000, 1);
        tree->hardLink(b, a);
        Write(other, 5000, seed, minute);
        names = {a, other, b};
        Compare();
    }
    int At(const QString& name) const { return choice.IndexOf(tree->path(name)); }
    // The names a helper checks, in list order.
    QStringList Checked(KeeperRule rule) const {
        const std::vector<bool> checked = choice.Choose(rule, protectedFolders);
        QStringList result;
        for (const QString& name : names) {
            if (checked[size_t(At(name))] && !result.contains(name))
                result.append(name);
        }
        return result;
    }
    CopyChoice::Space SpaceOf(const QStringList& checked) const {
        QList<int> paths;
        for (const QString& name : checked)
            paths.append(At(name));
        return choice.SpaceFreed(paths);
    }

private Q_SLOTS:
    void init() {
        tree = std::make_unique<test::TempTree>();
        names.clear();
        protectedFolders.Clear();
    }

    // Hard links

    void hardLinkPairIsOneFileAndNoCopySet() {
        LinkedPair(u"a"_s, u"b"_s, u"other"_s, 2);
        QCOMPARE(choice.CopySet(At(u"a"_s)), 0);
        QCOMPARE(choice.FileNumber(At(u"a"_s)), 1);
        QCOMPARE(choice.FileNumber(At(u"b"_s)), 1);
        QCOMPARE(choice.FileNumber(At(u"other"_s)), 0);
        QCOMPARE(choice.OtherNames(At(u"b"_s)), QList<int>{At(u"a"_s)});
        QCOMPARE(Checked(KeeperRule::Newest), QStringList());
        // Its bytes count once, when both names go.
        QCOMPARE(SpaceOf({u"a"_s, u"b"_s}).bytes, 5000);
    }

    void hardLinkPairWithACopyGoesTogether() {
        LinkedPair(u"a"_s, u"z/longer/b"_s, u"copy"_s, 1, 5);
        QCOMPARE(choice.CopySetCount(), 1);
        QCOMPARE(choice.OtherCopyCount(At(u"copy"_s)), 1);
        QCOMPARE(choice.OtherCopies(At(u"copy"_s)).size(), 2);
        QCOMPARE(Checked(KeeperRule::Newest), (QStringList{u"a"_s, u"z/longer/b"_s}));
        QCOMPARE(Checked(KeeperRule::Oldest), QStringList{u"copy"_s});
        // The file's shortest name counts.
        QCOMPARE(Checked(KeeperRule::ShortestPath), QStringList{u"copy"_s});
    }

    void fileWithNamesOutsideTheListFreesNothing() {
        Write(u"a"_s, 5000, 1);
        tree->hardLink(u"unlisted"_s, u"a"_s);
        Write(u"copy"_s, 5000, 1);
        names = {u"a"_s, u"copy"_s};
        Compare();
        const CopyChoice::Space space = SpaceOf({u"a"_s});
        QCOMPARE(space.bytes, -1);
        QCOMPARE(space.files, 0);
        QCOMPARE(space.namesFreeingNothing, 1);
    }

    // Protected folders

    void nestedAndRepeatedFoldersProtectOnce() {
        QVERIFY(protectedFolders.Add(u"/data/Photos"_s));
        QVERIFY(!protectedFolders.Add(u"/data/Photos/"_s));
        QVERIFY(protectedFolders.Add(u"/data/Photos/2019"_s));
        QVERIFY(protectedFolders.Protects(u"/data/Photos/2019/a.jpg"_s));
        QVERIFY(!protectedFolders.Protects(u"/data/Photos2/a.jpg"_s));
        // Stopping at a file below both takes both away.
        QVERIFY(protectedFolders.RemoveHolding(u"/data/Photos/2019/a.jpg"_s));
        QVERIFY(protectedFolders.IsEmpty());
        QVERIFY(!protectedFolders.RemoveHolding(u"/data/Photos/2019/a.jpg"_s));
    }

    void protectedHardLinkKeepsItsFileWhole() {
        LinkedPair(u"Loose/a"_s, u"Keep/a"_s, u"Loose/copy"_s, 1, 9);
        protectedFolders.Add(tree->path(u"Keep"_s));
        QCOMPARE(Checked(KeeperRule::Oldest), QStringList{u"Loose/copy"_s});
    }
};

TALLYROOK_TEST_MAIN(TestSelection)
#include "test_selection.moc"
