#include <sqlite3.h>
#include <QCryptographicHash>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include "inventory/inventory_file.h"
#include "shared/file_names.h"
#include "support/temp_tree.h"
#include "support/test_env.h"

using tallyrook::Inventory;
using tallyrook::InventoryError;

namespace {

struct Run {
    int status;
    QString out, err;
};

// tallyrook-cli in a fixed zone and locale.
Run Cli(const QStringList& args, const QString& in) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"LC_ALL"_qs, u"en_US.UTF-8"_qs);
    env.insert(u"TZ"_qs, u"UTC"_qs);
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(in);
    process.start(QStringLiteral(TALLYROOK_CLI_PATH), args);
    process.waitForFinished(60000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// The inventory as if its drive were unplugged and it came from the machine "nas".
void Unplug(const QString& from, const QString& to) {
    Inventory inventory;
    QVERIFY(!tallyrook::LoadInventory(from, inventory));
    inventory.machine = u"nas"_qs;
    for (Inventory::Volume& volume : inventory.volumes) {
        volume.id = u"uuid:gone"_qs;
        volume.label = u"Backup"_qs;
    }
    QVERIFY(!tallyrook::SaveInventory(to, inventory));
}

// The TSV rows' copy fields (or, with --select, checked fields) by path.
QMap<QString, QString> FieldByPath(const QString& tsv, int field) {
    QMap<QString, QString> fields;
    for (const QString& line : tsv.split(u'\n', Qt::SkipEmptyParts))
        fields.insert(line.section(u'\t', 0, 0), line.section(u'\t', field, field));
    return fields;
}

}  // namespace

class TestInventory : public QObject {
    Q_OBJECT

    tallyrook::test::TempTree tree_;
    QString Path(const QString& name) const { return tree_.path(name); }

    // Files here and on a drive: "same" in h1, h2 and away/a, "ABCD" in h3 (the newest) and
    // away/b. The drive saved with fingerprints (a.inv), and as if unplugged (n.inv). Returns the
    // drive's folder as its rows show it.
    QString MakeAway() {
        const QDateTime pi(QDate(2004, 3, 14), QTime(14, 5, 31), Qt::UTC);
        for (const char* name : {"h1/x", "h2/x", "away/a/y"})
            tree_.write(QString::fromLatin1(name), "same", pi);
        tree_.write(u"away/b/z"_qs, "ABCD", pi);
        tree_.write(u"h3/w"_qs, "ABCD", pi.addSecs(60));
        [&] {
            QCOMPARE(
                Cli(u"-q --save-inventory a.inv --fingerprints away"_qs.split(u' '), tree_.root())
                    .status,
                0);
            Unplug(Path(u"a.inv"_qs), Path(u"n.inv"_qs));
        }();
        return Path(u"away/"_qs);
    }

private Q_SLOTS:
    void init() {
        const QDateTime pi(QDate(2004, 3, 14), QTime(14, 5, 31), Qt::UTC);
        // clang-format off
        const std::pair<QString, qint64> files[] = {
            {u"t/d1/Song One.mp3"_qs, 1572864}, {u"t/d2/Song One.mp3"_qs, 1572864},
            {u"t/d3/song one.MP3"_qs, 2048}, {u"t/d4/we\\ird\tna\nme.txt"_qs, 5},
            {u"t/d5/we\\ird\tna\nme.txt"_qs, 2048}, {u"t/\uFEFFbom/x"_qs, 5}, {u"t/bom/x"_qs, 7},
            {u"t/e/ev\x1b]0;t\x07il\u202Etxt"_qs, 7}, {u"t/c/a b c"_qs, 1}, {u"t/c/a b d"_qs, 2},
            {u"t/c/b d e"_qs, 3}, {u"t/c/x y"_qs, 4}, {u"t/c/x y z"_qs, 5}};
        // clang-format on
        for (const auto& [name, size] : files)
            tree_.file(name, size, pi);
        QCOMPARE(Cli({u"-q"_qs, u"--save-inventory"_qs, u"t.inv"_qs, u"t"_qs}, tree_.root()).status,
                 0);
    }

    // Every field back as written, names as bytes.
    void roundTripKeepsEveryField_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<qint64>("modifiedMs");
        QTest::newRow("plain") << QByteArray("a.txt") << 1LL << 0LL;
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF.key") << 0LL << 1LL;
        QTest::newRow("control characters") << QByteArray("a\n\t\\\x1b") << 2LL << -1LL;
        QTest::newRow("beyond 16 bits") << QByteArray("\xF0\x9F\x8E\xB5") << 3LL << 4LL;
        QTest::newRow("largest size")
            << QByteArray("big") << std::numeric_limits<qint64>::max() << 253402300799000LL;
        QTest::newRow("unknown size and date") << QByteArray("x") << -1LL << Inventory::NoDate;
        QTest::newRow("year 1601") << QByteArray("old") << 5LL << -11644473600000LL;
    }
    void roundTripKeepsEveryField() {
        QFETCH(QByteArray, name);
        QFETCH(qint64, size);
        QFETCH(qint64, modifiedMs);
        Inventory written;
        written.machine = u"m\u00E9"_qs;
        written.walkedAt = QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5, 6), Qt::UTC);
        written.roots = {tallyrook::DecodeFileName("/r\xFF")};
        written.volumes = {{u"uuid:1"_qs, u"L"_qs, u"/"_qs}, {u"uuid:2"_qs, {}, u"/m"_qs}};
        written.folders = {{u"/r/"_qs, 1}};
        written.files = {
            {0, tallyrook::DecodeFileName(name), size, modifiedMs, -7, 1ULL << 63, ~0ULL, 3}};
        QVERIFY(!tallyrook::SaveInventory(Path(u"r.inv"_qs), written));
        Inventory read;
        QVERIFY(!tallyrook::LoadInventory(Path(u"r.inv"_qs), read));
        QCOMPARE(read.machine, written.machine);
        QCOMPARE(read.walkedAt, written.walkedAt);
        QCOMPARE(read.roots, written.roots);
        QCOMPARE(read.SourceText(1), u"m\u00E9: /m"_qs);
        QCOMPARE(read.folders.at(0).volume, 1);
        const Inventory::File& file = read.files.at(0);
        QCOMPARE(QFile::encodeName(file.name), name);
        QCOMPARE(file.size, size);
        QCOMPARE(file.modifiedMs, modifiedMs);
        QCOMPARE(file.modifiedNs, -7);
        QCOMPARE(file.device, 1ULL << 63);
        QCOMPARE(file.inode, ~0ULL);
        QCOMPARE(file.links, 3);
    }

    void refusesWhatIsNotAnInventory_data() {
        QTest::addColumn<QString>("sql");  // empty: a text file
        QTest::addColumn<QString>("message");
        QTest::newRow("text") << QString() << u"not a Tallyrook inventory"_qs;
        QTest::newRow("other database")
            << u"CREATE TABLE t (x)"_qs << u"not a Tallyrook inventory"_qs;
        QTest::newRow("newer schema")
            << u"PRAGMA application_id = 1414679369; PRAGMA user_version = 2"_qs
            << u"made by a newer Tallyrook (inventory schema 2; this one reads up to 1)"_qs;
    }
    void refusesWhatIsNotAnInventory() {
        QFETCH(QString, sql);
        QFETCH(QString, message);
        const QString path = Path(u"other"_qs);
        QFile::remove(path);
        if (sql.isEmpty()) {
            QFile text(path);
            QVERIFY(text.open(QIODevice::WriteOnly) && text.write("notes\n") == 6);
        } else {
            QCOMPARE(QProcess::execute(u"sqlite3"_qs, {path, sql}), 0);
        }
        const Run search = Cli({u"--name"_qs, u"--inventory"_qs, path}, tree_.root());
        QCOMPARE(search.status, 2);
        QCOMPARE(search.err, u"tallyrook-cli: "_qs + path + u": " + message + u'\n');
        // Nor is it replaced by a new one.
        const QByteArray before = [&] {
            QFile f(path);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        QCOMPARE(Cli({u"--save-inventory"_qs, path, u"t"_qs}, tree_.root()).status, 2);
        QFile after(path);
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(), before);
    }

    void interruptedWriteLeavesTheOldFile() {
        Inventory newer;
        newer.machine = u"newer"_qs;
        newer.folders = {{u"/"_qs, 0}};
        newer.volumes = {{u"v"_qs, {}, u"/"_qs}};
        newer.files.resize(10000);
        int asked = 0;
        const InventoryError error =
            tallyrook::SaveInventory(Path(u"t.inv"_qs), newer, [&asked] { return ++asked < 2; });
        QVERIFY(error);
        Inventory read;
        QVERIFY(!tallyrook::LoadInventory(Path(u"t.inv"_qs), read));
        QCOMPARE(read.files.size(), 13u);
        QCOMPARE(QDir(tree_.root()).entryList({u".t.inv*"_qs}, QDir::Files | QDir::Hidden),
                 QStringList());
    }

    // The rows of the saved tree, unplugged or mounted and unchanged, are the walk's.
    void searchEqualsTheWalk_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("unplugged");
        for (const bool unplugged : {false, true}) {
            const char* where = unplugged ? "unplugged" : "mounted";
            QTest::addRow("%s, all criteria, --all", where)
                << u"--name --size --similar --all"_qs.split(u' ') << unplugged;
            QTest::addRow("%s, capped", where)
                << u"--name --size --similar --max-rows 7"_qs.split(u' ') << unplugged;
            QTest::addRow("%s, size only", where) << QStringList{u"--size"_qs} << unplugged;
        }
    }
    void searchEqualsTheWalk() {
        QFETCH(QStringList, options);
        QFETCH(bool, unplugged);
        if (unplugged)
            Unplug(Path(u"t.inv"_qs), Path(u"t.inv"_qs));
        const Run walk = Cli(options + QStringList{u"--tsv"_qs, Path(u"t"_qs)}, tree_.root());
        const Run saved = Cli(options + u"--tsv --inventory t.inv"_qs.split(u' '), tree_.root());
        QCOMPARE(saved.status, walk.status);
        QVERIFY(walk.out.count(u'\n') >= 2);
        QString expected = walk.out;
        expected.replace(u'\n', unplugged ? u"\tnas: Backup\n"_qs : u"\t\n"_qs);
        QCOMPARE(saved.out, expected);
    }

    // Mounted here: an unchanged file is live, a changed one is shown as it was recorded.
    void changedFileKeepsItsSource() {
        tree_.file(u"t/d2/Song One.mp3"_qs, 3);
        const Run saved = Cli(u"--name --tsv --inventory t.inv"_qs.split(u' '), tree_.root());
        const QString rows = saved.out;
        const QString date = u"\t1.5 MB\t3/14/2004 2:05:31 PM\tName\t"_qs;
        const QString end = u"\t1572864\t2004-03-14T14:05:31Z\t"_qs;
        QVERIFY(rows.contains(
            QRegularExpression(QRegularExpression::escape(Path(u"t/d1/Song One.mp3"_qs) + date) +
                               u".*" + end + u"\n")));
        QVERIFY(rows.contains(
            QRegularExpression(QRegularExpression::escape(Path(u"t/d2/Song One.mp3"_qs) + date) +
                               u".*" + end + QSysInfo::machineHostName() + u": /\n")));
    }

    // A folder walked now is the walk's: the mounted inventory's files of it are left out.
    void walkedFolderWins() {
        const Run walk = Cli(u"--name --tsv t"_qs.split(u' '), tree_.root());
        const Run both = Cli(u"--name --tsv --inventory t.inv t"_qs.split(u' '), tree_.root());
        QCOMPARE(both.out, QString(walk.out).replace(u'\n', u"\t\n"_qs));
    }

    // A file that breaks off mid-search is said as unreadable; the files before it still count.
    void damagedInventorySaysSo() {
        QCOMPARE(QProcess::execute(u"sqlite3"_qs, {Path(u"t.inv"_qs),
                                                   u"UPDATE files SET folder = 999 "
                                                   "WHERE CAST(name AS TEXT) = 'x y z'"_qs}),
                 0);
        const Run saved = Cli(u"--name --tsv --inventory t.inv"_qs.split(u' '), tree_.root());
        QCOMPARE(saved.status, 2);
        QVERIFY(saved.err.contains(u"cannot read t.inv"_qs +
                                   u": a damaged inventory: a file of a folder it does not list"));
        QCOMPARE(saved.out.count(u"Song One.mp3"_qs), 2);
    }

    // Of two inventories of one drive the newer counts, whichever is named first.
    void newestInventoryWins() {
        Unplug(Path(u"t.inv"_qs), Path(u"old.inv"_qs));
        QVERIFY(QFile::remove(Path(u"t/d1/Song One.mp3"_qs)));
        QCOMPARE(Cli({u"-q"_qs, u"--save-inventory"_qs, u"t.inv"_qs, u"t"_qs}, tree_.root()).status,
                 0);
        Unplug(Path(u"t.inv"_qs), Path(u"new.inv"_qs));
        for (const QString& order :
             {u"new.inv --inventory old.inv"_qs, u"old.inv --inventory new.inv"_qs}) {
            const Run saved =
                Cli(QString(u"--name --tsv --inventory "_qs + order).split(u' '), tree_.root());
            QCOMPARE(saved.out.count(u"Song One.mp3"_qs), 0);
        }
    }

    // The SQL of docs/inventory.md over two attached inventories.
    void fleetSqlGroupsAcrossInventories() {
        QCOMPARE(
            Cli({u"-q"_qs, u"--save-inventory"_qs, u"c.inv"_qs, u"t/c"_qs}, tree_.root()).status,
            0);
        QFile doc(qEnvironmentVariable("TALLYROOK_SOURCE_DIR") + u"/docs/inventory.md");
        QVERIFY(doc.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(doc.readAll());
        QStringList blocks;
        for (const QRegularExpressionMatch& m :
             QRegularExpression(u"```sql\n(.*?)```"_qs,
                                QRegularExpression::DotMatchesEverythingOption)
                 .globalMatch(text))
            blocks.append(m.captured(1));
        QCOMPARE(blocks.size(), 3);
        QProcess sql;
        sql.setWorkingDirectory(tree_.root());
        sql.start(u"sqlite3"_qs, {u":memory:"_qs});
        sql.write(QString(u"ATTACH 't.inv' AS i1; ATTACH 'c.inv' AS i2;\n"_qs + blocks.join(u'\n'))
                      .toUtf8());
        sql.closeWriteChannel();
        QVERIFY(sql.waitForFinished());
        QCOMPARE(sql.readAllStandardError(), QByteArray());
        // Sizes 1 to 5 twice (t/c in both), 2048 and 1572864 twice; names of t/c twice too.
        const QStringList lines = QString::fromUtf8(sql.readAllStandardOutput()).split(u'\n');
        QCOMPARE(lines.mid(0, 8),
                 u"1|2|1 2|2|1 3|2|1 4|2|1 5|4|1 7|2|1 2048|2|1 1572864|2|1"_qs.split(u' '));
        QVERIFY(lines.contains(u"Song One.mp3|2|1"_qs));
        QVERIFY(lines.contains(u"a b c|2|1"_qs));
    }

    // Sizes 1,572,864, 2,048, 5 (three files) and 7 occur twice or more; 1 to 4 once.
    void fingerprintsOnlyForSharedSizes() {
        QCOMPARE(
            Cli(u"-q --save-inventory t.inv --fingerprints t"_qs.split(u' '), tree_.root()).status,
            0);
        Inventory saved;
        QVERIFY(!tallyrook::LoadInventory(Path(u"t.inv"_qs), saved));
        QCOMPARE(saved.fingerprints.size(), 9);
        for (auto at = saved.fingerprints.cbegin(); at != saved.fingerprints.cend(); ++at)
            QVERIFY(saved.files[size_t(at.key())].size >= 5);
    }

    // A size that occurs once here and once in a named inventory counts as shared.
    void namedInventorySharesItsSizes() {
        tree_.file(u"o/four"_qs, 4);
        QCOMPARE(Cli(u"-q --save-inventory o.inv o"_qs.split(u' '), tree_.root()).status, 0);
        Unplug(Path(u"o.inv"_qs), Path(u"o.inv"_qs));
        QCOMPARE(Cli(u"-q --save-inventory t.inv --fingerprints --inventory o.inv t"_qs.split(u' '),
                     tree_.root())
                     .status,
                 0);
        Inventory saved;
        QVERIFY(!tallyrook::LoadInventory(Path(u"t.inv"_qs), saved));
        QCOMPARE(saved.fingerprints.size(), 10);
        QVERIFY(saved.fingerprints.values().contains(
            QCryptographicHash::hash(QByteArray(4, '\0'), QCryptographicHash::Sha256)));
    }

    // A second run reads only what changed since the first: by last write, to the nanosecond,
    // or by inode.
    void fingerprintsKeptWhileUnchanged_data() {
        QTest::addColumn<QString>("change");  // a shell's, in the tree
        QTest::addColumn<QString>("save");
        QTest::addColumn<QString>("read");
        const QString again = u"--save-inventory t.inv --fingerprints t"_qs;
        const QString song = u"t/d3/song one.MP3"_qs;
        QTest::newRow("unchanged") << QString() << again << u"0 of them read (0 bytes)"_qs;
        QTest::newRow("from an older inventory named")
            << QString() << u"--save-inventory new.inv --fingerprints --inventory t.inv t"_qs
            << u"0 of them read (0 bytes)"_qs;
        QTest::newRow("touched") << u"touch -d '2004-03-14 14:05:31.000000001Z' '%1'"_qs.arg(song)
                                 << again << u"1 of them read (2,048 bytes)"_qs;
        QTest::newRow("rewritten, same size") << u"head -c 2048 /dev/urandom >'%1'"_qs.arg(song)
                                              << again << u"1 of them read (2,048 bytes)"_qs;
        QTest::newRow("replaced, same size and time")
            << u"cp -p '%1' n && mv n '%1'"_qs.arg(song) << again
            << u"1 of them read (2,048 bytes)"_qs;
    }
    void fingerprintsKeptWhileUnchanged() {
        QFETCH(QString, change);
        QFETCH(QString, save);
        QFETCH(QString, read);
        QVERIFY(Cli(u"--save-inventory t.inv --fingerprints t"_qs.split(u' '), tree_.root())
                    .err.contains(u"9 fingerprints, 9 of them read (3,149,853 bytes)"_qs));
        if (!change.isEmpty())
            QCOMPARE(
                QProcess::execute(u"sh"_qs, {u"-c"_qs, u"cd \"$0\" && "_qs + change, tree_.root()}),
                0);
        const Run second = Cli(save.split(u' '), tree_.root());
        QCOMPARE(second.status, 0);
        QVERIFY2(second.err.contains(u"9 fingerprints, "_qs + read), qPrintable(second.err));
    }

    // Across machines copies are "by fingerprint"; here they are still byte for byte, and a
    // file here whose only copy is elsewhere is by fingerprint too.
    void copiesByFingerprintAcrossMachines() {
        const QString away = MakeAway();
        const Run run =
            Cli(u"--size --contents --tsv --inventory n.inv h1 h2 h3"_qs.split(u' '), tree_.root());
        const QMap<QString, QString> copies = FieldByPath(run.out, 8);
        QCOMPARE(copies.value(u"h1/x"_qs), u"1"_qs);
        QCOMPARE(copies.value(u"h2/x"_qs), u"1"_qs);
        QCOMPARE(copies.value(away + u"a/y"_qs), u"1 by fingerprint"_qs);
        QCOMPARE(copies.value(u"h3/w"_qs), u"2 by fingerprint"_qs);
        QCOMPARE(copies.value(away + u"b/z"_qs), u"2 by fingerprint"_qs);
    }

    // The copy elsewhere stays, though the rule would keep the newer one here.
    void selectKeepsTheCopyElsewhere() {
        const QString away = MakeAway();
        const Run run =
            Cli(u"--size --contents --select newest --tsv --inventory n.inv h3"_qs.split(u' '),
                tree_.root());
        const QMap<QString, QString> checked = FieldByPath(run.out, 11);
        QCOMPARE(checked.value(u"h3/w"_qs), u"1"_qs);
        QCOMPARE(checked.value(away + u"b/z"_qs), u"0"_qs);
    }

    // A file of a drive mounted here that changed since is not what its fingerprint says: taken
    // for a copy that stays, it would let the only copy here go.
    void changedFileOfAMountedDriveIsNoCopy() {
        MakeAway();
        tree_.write(u"away/b/z"_qs, "WXYZ");
        const Run run =
            Cli(u"--size --contents --select newest --tsv --inventory a.inv h3"_qs.split(u' '),
                tree_.root());
        QCOMPARE(FieldByPath(run.out, 8).value(u"h3/w"_qs), QString());
        QCOMPARE(FieldByPath(run.out, 11).value(u"h3/w"_qs), u"0"_qs);
    }
};

TALLYROOK_TEST_MAIN(TestInventory)
#include "test_inventory.moc"
