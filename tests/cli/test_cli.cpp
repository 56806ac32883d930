#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <array>

#include "support/temp_tree.h"
#include "support/test_env.h"

namespace {

const QString NoDupes = u"[No dupes] No duplicate MP3s found.\n"_qs;
const QString Usage =
    u"\nusage: tallyrook-cli [OPTION]... FOLDER...\nTry 'tallyrook-cli --help' for more information.\n"_qs;

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

    // tallyrook-cli (or `program`) in the tree, in a fixed zone and locale, with NAME=value
    // `changes` (NAME= removes one). As root (who may read anything) it runs as nobody.
    void Start(QProcess& process, const QStringList& args, const QStringList& changes = {},
               const QString& program = QStringLiteral(TALLYROOK_CLI_PATH)) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString& change :
             u"LC_NUMERIC= LC_TIME= LANG= LANGUAGE= LC_ALL=en_US.UTF-8 TZ=UTC"_qs.split(u' ') +
                 changes) {
            const QString name = change.section(u'=', 0, 0), value = change.section(u'=', 1);
            value.isEmpty() ? env.remove(name) : env.insert(name, value);
        }
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(tree_.root());
        QStringList command = QStringList{program} + args;
        if (::geteuid() == 0)
            command =
                u"setpriv --reuid=65534 --regid=65534 --clear-groups"_qs.split(u' ') + command;
        process.start(command.takeFirst(), command);
    }

private Q_SLOTS:
    void initTestCase() {
        // One file per folder, folders given in order: rows in an order no file system changes.
        const QDateTime pi(QDate(2004, 3, 14), QTime(14, 5, 31), Qt::UTC);
        // clang-format off
        const std::pair<QString, qint64> files[] = {
            {u"d1/Song One.mp3"_qs, 1572864}, {u"d2/Song One.mp3"_qs, 1572864}, {u"d3/song one.MP3"_qs, 2048}, {u"d4/other.txt"_qs, 1}, {u"d5/another.doc"_qs, 1},
            {u"w1/we\\ird\tna\nme.txt"_qs, 5000000}, {u"w2/we\\ird\tna\nme.txt"_qs, 1024},
            {u"u1/alone.txt"_qs, 10}, {u"-x/alone.txt"_qs, 30}, {u"\uFEFFbom/x"_qs, 5}, {u"bom/x"_qs, 7},
            {u"c1/a b c"_qs, 1}, {u"c2/a b d"_qs, 2}, {u"c3/b d e"_qs, 3}, {u"c4/x y"_qs, 4}, {u"c5/x y z"_qs, 5},
            {u"e1/ev\x1b]0;t\x07il\r\u202Etxt.mp3"_qs, 1}, {u"e2/ev\x1b]0;t\x07il\r\u202Etxt.mp3"_qs, 1},
            {u"open/a.txt"_qs, 1}, {u"open/sub/a.txt"_qs, 1}, {u"open/locked/a.txt"_qs, 1}};
        // clang-format on
        for (const auto& [name, size] : files)
            tree_.file(name, size, pi);
        QVERIFY(::mkdir(QByteArray(tree_.rawRoot() + "/nu\xE9").constData(), 0755) == 0);
        tree_.dir(u"bad"_qs);
        tree_.rawFile(QByteArray("bad/caf\xE9.mp3"));  // Latin-1, not UTF-8
        QCOMPARE(::chmod(QByteArray(tree_.rawRoot() + "/open/locked").constData(), 0), 0);
        QCOMPARE(::chmod(tree_.rawRoot().constData(), 0755), 0);  // for nobody, below
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
            u"[Tallyrook] The results list is full: one search can list at most %1"
            u" rows. Later matches were not listed. To see them, search fewer "
            u"folders or tick fewer options.\n"_qs;
        // A blank line between groups, also where two share a colour: c3 is a group of its own,
        // in the colour of the group after it. No name reaches a terminal as a control sequence.
        row("table", "--name --similar d1 d2 e1 e2 c1 c2 c3 c4 c5", 0,
            u"TYPE      SIZE  MODIFIED              PATH\n"
            u"Name    1.5 MB  3/14/2004 2:05:31 PM  d1/Song One.mp3\n"
            u"Name    1.5 MB  3/14/2004 2:05:31 PM  d2/Song One.mp3\n\n"
            u"Name   1 Bytes  3/14/2004 2:05:31 PM  e1/ev\\x1b]0;t\\x07il\\r\\u202etxt.mp3\n"
            u"Name   1 Bytes  3/14/2004 2:05:31 PM  e2/ev\\x1b]0;t\\x07il\\r\\u202etxt.mp3\n\n"
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
        // clang-format off
        for (const auto& [name, command, error] : std::initializer_list<std::array<const char*, 3>>{
                 {"nothing", "", "no folder given"}, {"unknown", "--name --bogus /", "Unknown option 'bogus'."},
                 {"no criterion", "d1 d2", "choose at least one of --name, --size, --similar"},
                 {"header without tsv", "--name --header /", "--header goes with --tsv"}, {"both formats", "--tsv --json /", "--tsv and --json cannot be used together"},
                 {"no rows", "--name --max-rows 0 /", "--max-rows takes a whole number of 1 or more"},
                 {"all or some", "--name --all --max-rows 5 /", "--all and --max-rows cannot be used together"}})
            row(name, command, 2, {}, u"tallyrook-cli: " + QString::fromUtf8(error) + Usage);
        // clang-format on
        // Beyond the desktop program's 32,767 rows; a reader that stops early ends it quietly.
        row("every row", "--all --name --size --tsv all/a all/b | sed -n '$=;$p' | cut -f 4-6", 0,
            u"32800\nSize\tlight red\t8201\n"_qs);
        row("capped", "--name --size --tsv all/a all/b | sed -n '$=;$p' | cut -f 4-6", 0,
            u"32767\nSize\tlight red\t8201\n"_qs, full.arg(u"32,767"));
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
              {u"-c"_qs, command.contains(u"$0") ? command : u"exec \"$0\" " + command,
               QStringLiteral(TALLYROOK_CLI_PATH)},
              {}, u"/bin/sh"_qs);
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

    // On a terminal, one line on stderr rewrites itself, fits the width and is gone at the end.
    // In a pipe there is none; and there Ctrl-C ends the run at its next poll, without rows.
    // Every folder opened takes a while, so the run is surely under way meanwhile.
    void progressOnlyOnATerminal() {
        const QStringList args = u"--name --tsv d1 d2 d3 d4 d5"_qs.split(u' ');
        const auto slowly = [](int ms) {
            return QStringList{u"LD_PRELOAD=" TALLYROOK_SLOW_FOLDERS_PATH ""_qs,
                               u"TALLYROOK_SLOW_FOLDER_MS="_qs + QString::number(ms),
                               u"ASAN_OPTIONS=verify_asan_link_order=0"_qs};
        };
        int master = -1, slave = -1;
        winsize size{0, 30, 0, 0};
        QCOMPARE(::openpty(&master, &slave, nullptr, nullptr, &size), 0);
        QProcess process;
        process.setChildProcessModifier([slave] { ::dup2(slave, STDERR_FILENO); });
        Start(process, args, slowly(150));
        QVERIFY(process.waitForFinished(60000));
        ::close(slave);
        QByteArray terminal;
        char buffer[4096];
        ::fcntl(master, F_SETFL, O_NONBLOCK);
        for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;)
            terminal.append(buffer, n);
        ::close(master);
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(process.readAllStandardOutput().count('\n'), 2);  // the rows, and only they
        // Each update is "\r", at most 29 characters, then "erase to the end of the line".
        const QRegularExpression update(
            u"\r(?=[^\r\x1b]{0,29}\x1b)Tallyrook[^\r]*  \\d+%\x1b\\[K"_qs);
        const QString text = QString::fromUtf8(terminal);
        QVERIFY2(text.count(update) >= 1 && QString(text).remove(update) == u"\r\x1b[K"_qs,
                 terminal.constData());

        QProcess piped;
        Start(piped, args, slowly(1000));
        QVERIFY(!piped.waitForFinished(600));  // long enough for progress to show, were it shown
        QCOMPARE(::kill(static_cast<pid_t>(piped.processId()), SIGINT), 0);
        QVERIFY(piped.waitForFinished(30000));
        QCOMPARE(piped.exitCode(), 130);
        QCOMPARE(piped.readAllStandardOutput() + piped.readAllStandardError(), QByteArray());
    }
};

TALLYROOK_TEST_MAIN(TestCli)
#include "test_cli.moc"
