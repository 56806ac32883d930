#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <array>

#include "support/hung_view.h"
#include "support/temp_tree.h"
#include "support/test_env.h"

namespace {

const QString NoDupes = u"[No dupes] No duplicate MP3s found.\n"_qs;
const QString Usage =
    u"\nusage: tallyrook-cli [OPTION]... [--inventory FILE]... FOLDER...\n"
    u"       tallyrook-cli --save-inventory FILE FOLDER...\nTry 'tallyrook-cli --help' for more information.\n"_qs;

// A TSV row (or a JSON one, without its separator) of a file modified when most files were.
QString Tsv(QStringView path, QStringView size, QStringView type, QStringView colour, int group,
            qint64 bytes, bool json = false) {
    return (json ? uR"({"path":"%1","size":"%2","modified":"3/14/2004 2:05:31 PM","type":"%3",)"
                   uR"("colour":"%4","group":%5,"bytes":%6,"mtime":"2004-03-14T14:05:31Z"})"_qs
                 : u"%1\t%2\t3/14/2004 2:05:31 PM\t%3\t%4\t%5\t%6\t2004-03-14T14:05:31Z\n"_qs)
        .arg(path, size, type, colour, QString::number(group), QString::number(bytes));
}

}  // namespace

class TestCli : public QObject {
    Q_OBJECT

    tallyrook::test::TempTree tree_;
    // Nobody may not reach the build folder (in a home of mode 0700): copies, made as root.
    QTemporaryDir programs_{QDir::tempPath() + u"/tallyrook-programs-XXXXXX"_qs};
    QString cli_ = QStringLiteral(TALLYROOK_CLI_PATH);
    QString slowFolders_ = QStringLiteral(TALLYROOK_SLOW_FOLDERS_PATH);

    // A folder deeper than the system's path limit (4,096 bytes), and its path from the tree.
    static QString Deep() { return u"long/"_qs + QStringList(20, QString(240, u'x')).join(u'/'); }

    QStringList Slowly(int ms) const {
        return {u"LD_PRELOAD="_qs + slowFolders_,
                u"TALLYROOK_SLOW_FOLDER_MS="_qs + QString::number(ms),
                u"ASAN_OPTIONS=verify_asan_link_order=0"_qs};
    }

    // tallyrook-cli (or `program`) in the tree, in a fixed zone and locale, with NAME=value
    // `changes` (NAME= removes one). As root (who may read anything) it runs as nobody.
    void Start(QProcess& process, const QStringList& args, const QStringList& changes = {},
               const QString& program = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString& change :
             u"LC_NUMERIC= LC_TIME= LANG= LANGUAGE= LC_ALL=en_US.UTF-8 TZ=UTC"_qs.split(u' ') +
                 changes) {
            const QString name = change.section(u'=', 0, 0), value = change.section(u'=', 1);
            value.isEmpty() ? env.remove(name) : env.insert(name, value);
        }
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(tree_.root());
        QStringList command = QStringList{program.isEmpty() ? cli_ : program} + args;
        if (::geteuid() == 0)
            command =
                u"setpriv --reuid=65534 --regid=65534 --clear-groups"_qs.split(u' ') + command;
        process.start(command.takeFirst(), command);
    }

private Q_SLOTS:
    void initTestCase() {
        if (::geteuid() == 0) {
            QCOMPARE(::chmod(QFile::encodeName(programs_.path()).constData(), 0755), 0);
            for (QString* program : {&cli_, &slowFolders_}) {
                const QString copy = programs_.filePath(QFileInfo(*program).fileName());
                QVERIFY(QFile::copy(std::exchange(*program, copy), copy));
            }
        }
        // One file per folder, folders given in order: rows in an order no file system changes.
        const QDateTime pi(QDate(2004, 3, 14), QTime(14, 5, 31), Qt::UTC);
        // clang-format off
        const std::pair<QString, qint64> files[] = {
            {u"d1/Song One.mp3"_qs, 1572864}, {u"d2/Song One.mp3"_qs, 1572864}, {u"d3/song one.MP3"_qs, 2048}, {u"d4/other.txt"_qs, 1}, {u"d5/another.doc"_qs, 1},
            {u"w1/we\\ird\tna\nme.txt"_qs, 5000000}, {u"w2/we\\ird\tna\nme.txt"_qs, 1024},
            {u"u1/alone.txt"_qs, 10}, {u"-x/alone.txt"_qs, 30}, {u"\uFEFFbom/x"_qs, 5}, {u"bom/x"_qs, 7},
            {u"c1/a b c"_qs, 1}, {u"c2/a b d"_qs, 2}, {u"c3/b d e"_qs, 3}, {u"c4/x y"_qs, 4}, {u"c5/x y z"_qs, 5},
            {u"e1/ev\x1b]0;t\x07il\r\u202Etxt.mp3"_qs, 1}, {u"e2/ev\x1b]0;t\x07il\r\u202Etxt.mp3"_qs, 1},
            {u"i1/\u200E\u2028\u2029\U000E0001\u00AD"_qs, 1}, {u"i2/\u200E\u2028\u2029\U000E0001\u00AD"_qs, 1},
            {u"open/a.txt"_qs, 1}, {u"open/sub/a.txt"_qs, 1}, {u"open/locked/a.txt"_qs, 1}};
        // clang-format on
        for (const auto& [name, size] : files)
            tree_.file(name, size, pi);
        // Contents of one size: two that differ in the last byte, one nobody may read.
        for (const char* name : {"k1/a.bin", "k2/b.bin", "k3/c.bin"})
            tree_.write(QString::fromLatin1(name), QByteArray("ab") + name[1], pi);
        QVERIFY(QFile::setPermissions(tree_.path(u"k3/c.bin"_qs), {}));
        // Made a folder at a time: no call may name the whole path.
        const QString deep =
            u"mkdir -p long && cd long && for i in $(seq 20); do mkdir %1 && cd -P %1; "
            u"done && truncate -s 1572864 s && touch -d '2004-03-14 14:05:31Z' s "
            u"&& mv s 'Song One.mp3'"_qs.arg(QString(240, u'x'));
        QCOMPARE(
            QProcess::execute(u"bash"_qs, {u"-c"_qs, u"cd \"$0\" && "_qs + deep, tree_.root()}), 0);
        QVERIFY(::mkdir(QByteArray(tree_.rawRoot() + "/nu\xE9").constData(), 0755) == 0);
        tree_.dir(u"bad"_qs);
        tree_.rawFile(QByteArray("bad/caf\xE9.mp3"));  // Latin-1, not UTF-8
        QCOMPARE(::chmod(QByteArray(tree_.rawRoot() + "/open/locked").constData(), 0), 0);
        QCOMPARE(::chmod(tree_.rawRoot().constData(), 0755), 0);  // for nobody, below
        // 1,097 folders, half of them with subfolders: more than the read-ahead may hold open
        // under a low descriptor limit.
        for (int i = 0; i < 512; ++i) {
            const QString folder = u"many/a%1/b%2/c%3/"_qs.arg(i / 64).arg(i / 8 % 8).arg(i % 8);
            tree_.file(folder + u"f"_qs);
            tree_.file(folder + u"d/g"_qs);
        }
        // Name twins: 16,400 rows; all of one size: 16,400 more.
        for (int i = 0; i < 16400; ++i)
            tree_.file(u"all/%1/f%2"_qs.arg(QChar(u'a' + i % 2)).arg(i / 2));
    }
    void cleanupTestCase() {
        QCOMPARE(::unlink(QByteArray(tree_.rawRoot() + "/bad/caf\xE9.mp3").constData()), 0);
        QCOMPARE(::rmdir(QByteArray(tree_.rawRoot() + "/nu\xE9").constData()), 0);
        QCOMPARE(::chmod(QByteArray(tree_.rawRoot() + "/open/locked").constData(), 0700), 0);
    }

    void runs_data() {
        QTest::addColumn<QString>("command");  // a shell's, "$0" the command
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        const auto row = [](const char* name, const char* command, int exit, const QString& out,
                            const QString& err = {}) {
            QTest::newRow(name) << QString::fromUtf8(command) << exit << out << err;
        };
        const QString full =
            u"[Tallyrook] The results list is full: this search lists at most %1 rows. Later "
            u"matches were not listed. To see them, give a larger --max-rows N, or --all for "
            u"every row.\n"_qs;
        // A blank line between groups, also where two share a colour: c3 is a group of its own,
        // in the colour of the group after it. No name reaches a terminal as a control sequence.
        row("table", "--name --similar d1 d2 e1 e2 i1 i2 c1 c2 c3 c4 c5", 0,
            u"TYPE      SIZE  MODIFIED              PATH\n"
            u"Name    1.5 MB  3/14/2004 2:05:31 PM  d1/Song One.mp3\n"
            u"Name    1.5 MB  3/14/2004 2:05:31 PM  d2/Song One.mp3\n\n"
            u"Name   1 Bytes  3/14/2004 2:05:31 PM  e1/ev\\x1b]0;t\\x07il\\r\\u202etxt.mp3\n"
            u"Name   1 Bytes  3/14/2004 2:05:31 PM  e2/ev\\x1b]0;t\\x07il\\r\\u202etxt.mp3\n\n"
            u"Name   1 Bytes  3/14/2004 2:05:31 PM  i1/\\u200e\\u2028\\u2029\\U000e0001\\u00ad\n"
            u"Name   1 Bytes  3/14/2004 2:05:31 PM  i2/\\u200e\\u2028\\u2029\\U000e0001\\u00ad\n\n"
            u"Close  1 Bytes  3/14/2004 2:05:31 PM  c1/a b c\n"
            u"Close  2 Bytes  3/14/2004 2:05:31 PM  c2/a b d\n\n"
            u"Close  3 Bytes  3/14/2004 2:05:31 PM  c3/b d e\n\n"
            u"Close  4 Bytes  3/14/2004 2:05:31 PM  c4/x y\n"
            u"Close  5 Bytes  3/14/2004 2:05:31 PM  c5/x y z\n"_qs);
        // Colours and group numbers run on across the passes.
        const auto songs = [](QStringView type, QStringView colour, int group) -> QString {
            return Tsv(u"d1/Song One.mp3", u"1.5 MB", type, colour, group, 1572864) +
                   Tsv(u"d2/Song One.mp3", u"1.5 MB", type, colour, group, 1572864);
        };
        // TSV escapes only the carriage return of the control characters.
        const QString evil = u"e1/ev\x1b]0;t\x07il\\r\u202Etxt.mp3"_qs;
        const auto evils = [&](QStringView type, QStringView colour, int group) -> QString {
            return Tsv(evil, u"1 Bytes", type, colour, group, 1) +
                   Tsv(QString(evil).replace(1, 1, u'2'), u"1 Bytes", type, colour, group, 1);
        };
        row("tsv, escaped", "--name --size --similar --tsv d1 d2 d3 w1 w2 e1 e2", 0,
            songs(u"Name", u"light blue", 1) +
                Tsv(u"w1/we\\\\ird\\tna\\nme.txt", u"4.77 MB", u"Name", u"blue", 2, 5000000) +
                Tsv(u"w2/we\\\\ird\\tna\\nme.txt", u"1 KB", u"Name", u"blue", 2, 1024) +
                evils(u"Name", u"light blue", 3) + songs(u"Size", u"red", 4) +
                evils(u"Size", u"light red", 5) +
                Tsv(u"d1/Song One.mp3", u"1.5 MB", u"Close", u"green", 6, 1572864) +
                Tsv(u"d3/song one.MP3", u"2 KB", u"Close", u"green", 6, 2048) +
                Tsv(u"d2/Song One.mp3", u"1.5 MB", u"Close", u"light green", 7, 1572864));
        const QString jsonEvil = u"e1/ev\\u001b]0;t\\u0007il\\u000d\\u202etxt.mp3"_qs;
        const QStringList json{
            Tsv(u"w1/we\\\\ird\\tna\\nme.txt", u"4.77 MB", u"Name", u"light blue", 1, 5000000,
                true),
            Tsv(u"w2/we\\\\ird\\tna\\nme.txt", u"1 KB", u"Name", u"light blue", 1, 1024, true),
            Tsv(jsonEvil, u"1 Bytes", u"Name", u"blue", 2, 1, true),
            Tsv(QString(jsonEvil).replace(1, 1, u'2'), u"1 Bytes", u"Name", u"blue", 2, 1, true)};
        row("json", "--name --json w1 w2 e1 e2", 0, u"[\n" + json.join(u",\n") + u"\n]\n");
        row("json, nothing found", "--name --json u1 d4", 1, u"[]\n"_qs, NoDupes);
        row("nothing found, header, quiet", "-q --name --tsv --header u1 d4", 1,
            u"path\tsize\tmodified\ttype\tcolour\tgroup\tbytes\tmtime\n"_qs);
        // The pair after the first would not fit: it is left out whole.
        row("max rows", "--name --max-rows 3 --tsv d1 d2 w1 w2", 0,
            songs(u"Name", u"light blue", 1), full.arg(3));
        // A group of three after a pair, with room for four: the list ends before it.
        row("max rows inside a group", "--size --max-rows 4 --tsv d1 d2 k1 k2 k3", 0,
            songs(u"Size", u"light red", 1), full.arg(4));
        // Duplicates found, none of them listable: not "none found".
        row("first group larger than the list", "--size --max-rows 2 k1 k2 k3", 0, {}, full.arg(2));
        // A folder argument is the folder its bytes name (a byte-order mark kept, "--" ends the
        // options); every folder that can be searched is, but the answer is not clean.
        row("folders by their bytes",
            R"x(--name --tsv --header "$(printf '\357\273\277bom')" bom "$(printf 'nu\351')" )x"
            "open missing d4/other.txt bad u1 -- -x",
            2,
            u"path\tsize\tmodified\ttype\tcolour\tgroup\tbytes\tmtime\n"_qs +
                Tsv(u"\uFEFFbom/x", u"5 Bytes", u"Name", u"light blue", 1, 5) +
                Tsv(u"bom/x", u"7 Bytes", u"Name", u"light blue", 1, 7) +
                Tsv(u"open/a.txt", u"1 Bytes", u"Name", u"blue", 2, 1) +
                Tsv(u"open/sub/a.txt", u"1 Bytes", u"Name", u"blue", 2, 1) +
                Tsv(u"u1/alone.txt", u"10 Bytes", u"Name", u"light blue", 3, 10) +
                Tsv(u"-x/alone.txt", u"30 Bytes", u"Name", u"light blue", 3, 30),
            u"tallyrook-cli: cannot read nu\uFFFD: its name cannot be read. This is probably "
            u"because it contains strange characters. Please rename the folder if you would "
            u"like it included next time you find dupes.\n"
            u"tallyrook-cli: cannot read missing: No such file or directory\n"
            u"tallyrook-cli: cannot read d4/other.txt: Not a directory\n"
            u"tallyrook-cli: cannot read open/locked: Permission denied\n"
            u"[Skip] bad/caf\\xe9.mp3 has been skipped because it is unrecognizeable. This is "
            u"probably because it contains strange characters. Please rename the file or folder "
            u"if you would like it included next time you find dupes.\n"_qs);
        QTest::newRow("folder past the path limit, named a folder at a time")
            << u"--name --tsv "_qs + Deep() + u" d1"_qs << 0
            << Tsv(QString(Deep() + u"/Song One.mp3"), u"1.5 MB", u"Name", u"light blue", 1,
                   1572864) +
                   Tsv(u"d1/Song One.mp3", u"1.5 MB", u"Name", u"light blue", 1, 1572864)
            << QString();
        // With --contents two more fields: the copy set, none for a file without a copy or not
        // compared, which is named; and the file, none for a file no other row names.
        const auto copy = [](QString line, const char* set) {
            const QString value = QString::fromLatin1(set);
            return line.insert(line.size() - 1,
                               line.endsWith(u'}')
                                   ? QString(u",\"copy\":"_qs + value + u",\"file\":null")
                                   : QString(u"\t"_qs + value + u'\t'));
        };
        row("contents, tsv", "--size --contents --tsv --header d1 d2 k1 k2 k3", 0,
            u"path\tsize\tmodified\ttype\tcolour\tgroup\tbytes\tmtime\tcopy\tfile\n"_qs +
                copy(Tsv(u"d1/Song One.mp3", u"1.5 MB", u"Size", u"light red", 1, 1572864), "1") +
                copy(Tsv(u"d2/Song One.mp3", u"1.5 MB", u"Size", u"light red", 1, 1572864), "1") +
                copy(Tsv(u"k1/a.bin", u"3 Bytes", u"Size", u"red", 2, 3), "") +
                copy(Tsv(u"k2/b.bin", u"3 Bytes", u"Size", u"red", 2, 3), "") +
                copy(Tsv(u"k3/c.bin", u"3 Bytes", u"Size", u"red", 2, 3), ""),
            u"tallyrook-cli: not compared: k3/c.bin: it could not be read\n"_qs);
        row("contents, json", "--size --contents --json k1 k2 d4 d5", 0,
            u"[\n"_qs +
                copy(Tsv(u"k1/a.bin", u"3 Bytes", u"Size", u"light red", 1, 3, true), "null") +
                u",\n" +
                copy(Tsv(u"k2/b.bin", u"3 Bytes", u"Size", u"light red", 1, 3, true), "null") +
                u",\n" + copy(Tsv(u"d4/other.txt", u"1 Bytes", u"Size", u"red", 2, 1, true), "1") +
                u",\n" +
                copy(Tsv(u"d5/another.doc", u"1 Bytes", u"Size", u"red", 2, 1, true), "1") +
                u"\n]\n");
        row("contents, table", "--size --contents k1 k2 d4 d5", 0,
            u"TYPE     SIZE  MODIFIED              COPY  FILE  PATH\n"
            u"Size  3 Bytes  3/14/2004 2:05:31 PM              k1/a.bin\n"
            u"Size  3 Bytes  3/14/2004 2:05:31 PM              k2/b.bin\n\n"
            u"Size  1 Bytes  3/14/2004 2:05:31 PM     1        d4/other.txt\n"
            u"Size  1 Bytes  3/14/2004 2:05:31 PM     1        d5/another.doc\n"_qs);
        // Alone, --contents is Exact Contents: a group per copy set; near-copies are none, a file
        // that cannot be read is named. --min-size leaves smaller files out.
        const auto copies = [&copy](QStringView path, QStringView size, QStringView colour, int set,
                                    qint64 bytes) {
            return copy(Tsv(path, size, u"Copy", colour, set, bytes),
                        QByteArray::number(set).constData());
        };
        row("exact contents", "--contents --tsv d1 d2 d3 d4 d5 k1 k2 k3", 0,
            copies(u"d1/Song One.mp3", u"1.5 MB", u"light yellow", 1, 1572864) +
                copies(u"d2/Song One.mp3", u"1.5 MB", u"light yellow", 1, 1572864) +
                copies(u"d4/other.txt", u"1 Bytes", u"yellow", 2, 1) +
                copies(u"d5/another.doc", u"1 Bytes", u"yellow", 2, 1),
            u"tallyrook-cli: not compared: k3/c.bin: it could not be read\n"_qs);
        row("exact contents, table", "--contents d1 d2 k1 k2", 0,
            u"TYPE    SIZE  MODIFIED              COPY  FILE  PATH\n"
            u"Copy  1.5 MB  3/14/2004 2:05:31 PM     1        d1/Song One.mp3\n"
            u"Copy  1.5 MB  3/14/2004 2:05:31 PM     1        d2/Song One.mp3\n"_qs);
        row("exact contents, min size", "--contents --min-size 2 --tsv d1 d2 d4 d5", 0,
            copies(u"d1/Song One.mp3", u"1.5 MB", u"light yellow", 1, 1572864) +
                copies(u"d2/Song One.mp3", u"1.5 MB", u"light yellow", 1, 1572864));
        row("exact contents, min size in MiB", "--contents --min-size 2M d1 d2", 1, {}, NoDupes);
        // clang-format off
        for (const auto& [name, command, error] : std::initializer_list<std::array<const char*, 3>>{
                 {"nothing", "", "no folder given"}, {"unknown", "--name --bogus /", "Unknown option 'bogus'."},
                 {"no criterion", "d1 d2", "choose at least one of --name, --size, --similar, --contents"},
                 {"min size with another criterion", "--name --contents --min-size 1 /", "--min-size goes with --contents alone"},
                 {"min size not a size", "--contents --min-size 1T /", "--min-size takes a number of bytes, with K, M or G for KiB, MiB or GiB"},
                 {"header without tsv", "--name --header /", "--header goes with --tsv"}, {"both formats", "--tsv --json /", "--tsv and --json cannot be used together"},
                 {"no pair", "--name --max-rows 1 /", "--max-rows takes a whole number of 2 or more: a group of duplicates lists at least 2 files"},
                 {"all or some", "--name --all --max-rows 5 /", "--all and --max-rows cannot be used together"},
                 {"select without contents", "--size --select newest /", "--select goes with --contents: only compared contents make copies"},
                 {"unknown rule", "--size --contents --select first /", "--select takes newest, oldest, largest or shortest"},
                 {"protect without select", "--size --contents --protect d1 /", "--protect goes with --select"},
                 {"protect a missing folder", "--size --contents --select oldest --protect nowhere /", "--protect nowhere: not a folder"}})
            row(name, command, 2, {}, u"tallyrook-cli: " + QString::fromUtf8(error) + Usage);
        // clang-format on
        // Beyond the desktop program's 32,767 rows; a reader that stops early ends it quietly.
        row("every row", "--all --name --size --tsv all/a all/b | sed -n '$=;$p' | cut -f 4-6", 0,
            u"32800\nSize\tlight red\t8201\n"_qs);
        // The size group of 16,400 rows does not fit after the 16,400 name rows: left out whole.
        row("capped", "--name --size --tsv all/a all/b | sed -n '$=;$p' | cut -f 4-6", 0,
            u"16400\nName\tblue\t8200\n"_qs, full.arg(u"32,767"));
        // Under "ulimit -n 16" the workers take only their share: every folder is read, none is
        // said to be unreadable.
        row("low descriptor limit",
            "ulimit -n 16; TALLYROOK_WALK_WORKERS=64 \"$0\" --name --tsv many | wc -l", 0,
            u"1024\n"_qs);
        row("closed pipe", "--all --name --size --tsv all/a all/b | head -1 >/dev/null", 0, {});
        // Numbers and dates from different categories, in the zone five hours behind UTC.
        row("categories and zone",
            "LC_ALL= LANG=de_DE.UTF-8 LC_TIME=en_US.UTF-8 TZ=EST5 exec \"$0\" --size --tsv d1 d2",
            0,
            songs(u"Size", u"light red", 1)
                .replace(u"1.5 MB\t3/14/2004 2:05:31"_qs, u"1,5 MB\t3/14/2004 9:05:31"_qs)
                .replace(u" PM"_qs, u" AM"_qs));
    }
    void runs() {
        QFETCH(QString, command);
        QFETCH(int, exit);
        // Through the shell: arguments of any bytes, pipes and settings.
        QProcess process;
        Start(process,
              {u"-c"_qs, command.contains(u"$0") ? command : u"exec \"$0\" " + command, cli_}, {},
              u"/bin/sh"_qs);
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), exit);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QCOMPARE(process.readAllStandardOutput(), out.toUtf8());
        QCOMPARE(process.readAllStandardError(), err.toUtf8());
        // As bytes (decoding drops a leading byte-order mark); settings and Trash untouched.
        for (const char* folder : {"XDG_CONFIG_HOME", "XDG_DATA_HOME"})
            QVERIFY(QDir(qEnvironmentVariable(folder))
                        .isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    }

    // On a terminal, one line on stderr rewrites itself, fits the width and is gone at the end,
    // also when SIGTERM or SIGHUP ends the run; an ignored SIGINT (a script's background job)
    // stays ignored. In a pipe there is none, and Ctrl-C ends the run at its next poll, rowless.
    void progressOnlyOnATerminal() {
#if defined(__SANITIZE_THREAD__)
        QSKIP("A child set up between fork and exec can hang in ThreadSanitizer's own locks.");
#endif
        const QString args = u"--name --tsv d1 d2 d3 d4 d5"_qs;
        // Each update is "\r", at most 29 characters, then "erase to the end of the line".
        const QRegularExpression update(
            u"\r(?=[^\r\x1b]{0,29}\x1b)Tallyrook[^\r]*  \\d+%\x1b\\[K"_qs);
        for (const int signal : {0, SIGTERM, SIGHUP, SIGINT}) {
            int master = -1, slave = -1;
            winsize size{0, 30, 0, 0};
            QCOMPARE(::openpty(&master, &slave, nullptr, nullptr, &size), 0);
            ::fcntl(master, F_SETFL, O_NONBLOCK);
            QByteArray terminal;
            const auto read = [&] {
                char buffer[4096];
                for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;)
                    terminal.append(buffer, n);
                return terminal.contains("%\x1b[K");
            };
            QProcess process;
            process.setChildProcessModifier([slave] { ::dup2(slave, STDERR_FILENO); });
            const QString trap = signal == SIGINT ? u"trap '' INT; "_qs : QString();
            Start(process, {u"-c"_qs, trap + u"exec \"$0\" "_qs + args, cli_},
                  Slowly(signal ? 1000 : 150), u"/bin/sh"_qs);
            QVERIFY(QTest::qWaitFor(read, 30000));  // the first update
            if (signal)
                ::kill(static_cast<pid_t>(process.processId()), signal);
            QVERIFY(process.waitForFinished(60000));
            ::close(slave);
            read();
            ::close(master);
            const QString text = QString::fromUtf8(terminal);
            QVERIFY2(QString(text).remove(update) == u"\r\x1b[K"_qs, terminal.constData());
            const bool ended = signal == SIGTERM || signal == SIGHUP;
            QCOMPARE(process.exitStatus(), ended ? QProcess::CrashExit : QProcess::NormalExit);
            // The rows, and only they, unless the run was ended.
            QCOMPARE(process.readAllStandardOutput().count('\n'), ended ? 0 : 2);
        }

        QProcess piped;
        Start(piped, args.split(u' '), Slowly(1000));
        QVERIFY(!piped.waitForFinished(600));  // long enough for progress to show, were it shown
        QCOMPARE(::kill(static_cast<pid_t>(piped.processId()), SIGINT), 0);
        QVERIFY(piped.waitForFinished(30000));
        QCOMPARE(piped.exitCode(), 130);
        QCOMPARE(piped.readAllStandardOutput() + piped.readAllStandardError(), QByteArray());
    }

    // A contents check waiting on a share that does not answer ends on Ctrl-C, rowless, and on
    // SIGTERM.
    void endsWhileAReadDoesNotAnswer() {
        for (const int signal : {SIGINT, SIGTERM}) {
            tallyrook::test::HungView view(tree_.root());
            if (!view.Missing().isEmpty())
                QSKIP(qPrintable(view.Missing()));
            QProcess process;
            Start(process,
                  {u"--size"_qs, u"--contents"_qs, view.path(u"d1"_qs), view.path(u"d2"_qs)});
            QVERIFY(view.WaitFor("waits"));
            ::kill(static_cast<pid_t>(process.processId()), signal);
            // Only a watchdog: ending the view ends the read.
            const bool ended = process.waitForFinished(30000);
            view.End();
            QVERIFY(ended);
            QCOMPARE(process.exitStatus(),
                     signal == SIGINT ? QProcess::NormalExit : QProcess::CrashExit);
            QVERIFY(signal != SIGINT || process.exitCode() == 130);
            QCOMPARE(process.readAllStandardOutput(), QByteArray());
        }
    }

    // Ctrl-C while an inventory is saved leaves the one before, and nothing beside it.
    void ctrlCLeavesTheOldInventory() {
#if defined(__SANITIZE_THREAD__)
        QSKIP("ThreadSanitizer's own interceptors come before the shim that slows the folders.");
#endif
        QTemporaryDir out(QDir::tempPath() + u"/tallyrook-inventory-XXXXXX"_qs);
        QCOMPARE(::chmod(QFile::encodeName(out.path()).constData(), 0777), 0);
        const QString file = out.filePath(u"saved.inv"_qs);
        QProcess first, second;
        Start(first, {u"-q"_qs, u"--save-inventory"_qs, file, u"d1"_qs});
        QVERIFY(first.waitForFinished(30000));
        QCOMPARE(first.exitCode(), 0);
        const auto contents = [&file] {
            QFile saved(file);
            return saved.open(QIODevice::ReadOnly) ? saved.readAll() : QByteArray();
        };
        const QByteArray before = contents();
        QVERIFY(!before.isEmpty());
        Start(second, u"--save-inventory %1 d1 d2 d3"_qs.arg(file).split(u' '), Slowly(1000));
        QVERIFY(!second.waitForFinished(600));
        QCOMPARE(::kill(static_cast<pid_t>(second.processId()), SIGINT), 0);
        QVERIFY(second.waitForFinished(30000));
        QCOMPARE(second.exitCode(), 130);
        QCOMPARE(contents(), before);
        QCOMPARE(QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{u"saved.inv"_qs});
    }
};

TALLYROOK_TEST_MAIN(TestCli)
#include "test_cli.moc"
