#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <unistd.h>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include "support/temp_tree.h"
#include "support/test_env.h"

namespace {

const QString NoDupes = u"[No dupes] No duplicate MP3s found.\n"_qs;

// Whole outputs compared; where they differ, diff -u shows how.
bool SameText(const QString& actual, const QString& expected) {
    if (actual == expected)
        return true;
    QTemporaryFile file;
    if (file.open() && file.write(expected.toUtf8()) >= 0 && file.flush()) {
        QProcess diff;
        diff.start(u"diff"_qs, QStringList{u"-u"_qs, u"--label=expected"_qs, u"--label=actual"_qs,
                                           file.fileName(), u"-"_qs});
        diff.write(actual.toUtf8());
        diff.closeWriteChannel();
        diff.waitForFinished();
        qInfo().noquote() << diff.readAllStandardOutput();
    }
    return false;
}

}  // namespace

class TestCli : public QObject {
    Q_OBJECT

    tallyrook::test::TempTree tree_;

    // tallyrook-cli (or `program`) in the tree, in a fixed zone and locale; `changes` are
    // NAME=value settings on top, and NAME= removes one. HOME and the XDG folders are the test's
    // own temporary ones.
    void Start(QProcess& process, const QStringList& args, const QStringList& changes = {},
               const QString& program = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString& change :
             QStringList{u"LC_NUMERIC="_qs, u"LC_TIME="_qs, u"LANG="_qs, u"LANGUAGE="_qs,
                         u"LC_ALL=en_US.UTF-8"_qs, u"TZ=UTC"_qs} +
                 changes) {
            const QString name = change.section(u'=', 0, 0), value = change.section(u'=', 1);
            value.isEmpty() ? env.remove(name) : env.insert(name, value);
        }
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(tree_.root());
        process.start(program.isEmpty() ? QStringLiteral(TALLYROOK_CLI_PATH) : program, args);
    }

private Q_SLOTS:
    void initTestCase() {
        // One file per folder, and the folders given in order, so the rows' order does not
        // depend on the order a file system lists a folder in.
        const QDateTime pi(QDate(2004, 3, 14), QTime(14, 5, 31), Qt::UTC);
        tree_.file(u"d1/Song One.mp3"_qs, 1572864, pi);
        tree_.file(u"d2/Song One.mp3"_qs, 1572864, pi);
        tree_.file(u"d3/song one.MP3"_qs, 2048, pi);
        tree_.file(u"d4/other.txt"_qs, 1, QDateTime(QDate(2004, 1, 5), QTime(0, 0), Qt::UTC));
        tree_.file(u"d5/another.doc"_qs, 1, QDateTime(QDate(2004, 1, 5), QTime(9, 7, 3), Qt::UTC));
        tree_.file(u"w1/we\\ird\tna\nme.txt"_qs, 5000000, pi);
        tree_.file(u"w2/we\\ird\tna\nme.txt"_qs, 1024, pi);
        tree_.file(u"u1/alone.txt"_qs, 10, pi);
        tree_.file(u"-x/alone.txt"_qs, 30, pi);
        // Similar in a chain: the second group is one row, in the colour of the third.
        for (const char16_t* name : {u"c1/a b c", u"c2/a b d", u"c3/b d e", u"c4/x y", u"c5/x y z"})
            tree_.file(QString::fromUtf16(name), name[1] - u'0', pi);
        tree_.file(u"e1/ev\x1b]0;t\x07il\r\u202Etxt.mp3"_qs, 1, pi);
        tree_.file(u"e2/ev\x1b]0;t\x07il\r\u202Etxt.mp3"_qs, 1, pi);
        tree_.file(u"\uFEFFbom/x"_qs, 5, pi);
        tree_.file(u"bom/x"_qs, 7, pi);
        QVERIFY(::mkdir(QByteArray(tree_.rawRoot() + "/nu\xE9").constData(), 0755) == 0);
        tree_.dir(u"bad"_qs);
        tree_.rawFile(QByteArray("bad/caf\xE9.mp3"));  // Latin-1, not UTF-8
    }
    void cleanupTestCase() {
        // Qt cannot name it, so it would not clean it up.
        QCOMPARE(::unlink(QByteArray(tree_.rawRoot() + "/bad/caf\xE9.mp3").constData()), 0);
        QCOMPARE(::rmdir(QByteArray(tree_.rawRoot() + "/nu\xE9").constData()), 0);
    }

    void runs_data() {
        QTest::addColumn<QString>("command");  // NAME=value settings first, as in a shell
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        const auto row = [](const char* name, const char* command, int exit, const QString& out,
                            const QString& err = {}) {
            QTest::newRow(name) << QString::fromUtf8(command) << exit << out << err;
        };
        // A blank line between groups, also where two groups share a colour.
        row("table", "--name --size d1 d2 d4 d5", 0,
            u"TYPE     SIZE  MODIFIED              PATH\n"
            u"Name   1.5 MB  3/14/2004 2:05:31 PM  d1/Song One.mp3\n"
            u"Name   1.5 MB  3/14/2004 2:05:31 PM  d2/Song One.mp3\n\n"
            u"Size   1.5 MB  3/14/2004 2:05:31 PM  d1/Song One.mp3\n"
            u"Size   1.5 MB  3/14/2004 2:05:31 PM  d2/Song One.mp3\n\n"
            u"Size  1 Bytes  1/5/2004              d4/other.txt\n"
            u"Size  1 Bytes  1/5/2004 9:07:03 AM   d5/another.doc\n"_qs);
        row("tsv, groups of one colour", "--similar --tsv c1 c2 c3 c4 c5", 0,
            u"c1/a b c\t1 Bytes\t3/14/2004 2:05:31 PM\tClose\tlight "
            u"green\t1\t1\t2004-03-14T14:05:31Z\n"
            u"c2/a b d\t2 Bytes\t3/14/2004 2:05:31 PM\tClose\tlight "
            u"green\t1\t2\t2004-03-14T14:05:31Z\n"
            u"c3/b d e\t3 Bytes\t3/14/2004 2:05:31 PM\tClose\tgreen\t2\t3\t2004-03-14T14:05:31Z\n"
            u"c4/x y\t4 Bytes\t3/14/2004 2:05:31 PM\tClose\tgreen\t3\t4\t2004-03-14T14:05:31Z\n"
            u"c5/x y z\t5 Bytes\t3/14/2004 2:05:31 PM\tClose\tgreen\t3\t5\t2004-03-14T14:05:31Z\n"_qs);
        row("table, groups of one colour", "--similar c1 c2 c3 c4 c5", 0,
            u"TYPE      SIZE  MODIFIED              PATH\n"
            u"Close  1 Bytes  3/14/2004 2:05:31 PM  c1/a b c\n"
            u"Close  2 Bytes  3/14/2004 2:05:31 PM  c2/a b d\n\n"
            u"Close  3 Bytes  3/14/2004 2:05:31 PM  c3/b d e\n\n"
            u"Close  4 Bytes  3/14/2004 2:05:31 PM  c4/x y\n"
            u"Close  5 Bytes  3/14/2004 2:05:31 PM  c5/x y z\n"_qs);
        // The second "Song One.mp3" joins its twin's similar group as a group of its own; the
        // colour toggle and the group numbers run on across the passes.
        row("tsv, escaped", "--name --size --similar --tsv d1 d2 d3 w1 w2", 0,
            u"d1/Song One.mp3\t1.5 MB\t3/14/2004 2:05:31 PM\tName\tlight "
            u"blue\t1\t1572864\t2004-03-14T14:05:31Z\n"
            u"d2/Song One.mp3\t1.5 MB\t3/14/2004 2:05:31 PM\tName\tlight "
            u"blue\t1\t1572864\t2004-03-14T14:05:31Z\n"
            u"w1/we\\\\ird\\tna\\nme.txt\t4.77 MB\t3/14/2004 2:05:31 "
            u"PM\tName\tblue\t2\t5000000\t2004-03-14T14:05:31Z\n"
            u"w2/we\\\\ird\\tna\\nme.txt\t1 KB\t3/14/2004 2:05:31 "
            u"PM\tName\tblue\t2\t1024\t2004-03-14T14:05:31Z\n"
            u"d1/Song One.mp3\t1.5 MB\t3/14/2004 2:05:31 PM\tSize\tlight "
            u"red\t3\t1572864\t2004-03-14T14:05:31Z\n"
            u"d2/Song One.mp3\t1.5 MB\t3/14/2004 2:05:31 PM\tSize\tlight "
            u"red\t3\t1572864\t2004-03-14T14:05:31Z\n"
            u"d1/Song One.mp3\t1.5 MB\t3/14/2004 2:05:31 "
            u"PM\tClose\tgreen\t4\t1572864\t2004-03-14T14:05:31Z\n"
            u"d3/song one.MP3\t2 KB\t3/14/2004 2:05:31 "
            u"PM\tClose\tgreen\t4\t2048\t2004-03-14T14:05:31Z\n"
            u"d2/Song One.mp3\t1.5 MB\t3/14/2004 2:05:31 PM\tClose\tlight green\t5\t1572864\t2004-03-14T14:05:31Z\n"_qs);
        // Nothing a file is named reaches a terminal as a control sequence; TSV keeps all but the
        // carriage return raw, JSON escapes what a terminal could act on.
        row("table, controls in names", "--name e1 e2", 0,
            u"TYPE     SIZE  MODIFIED              PATH\n"
            u"Name  1 Bytes  3/14/2004 2:05:31 PM  e1/ev\\x1b]0;t\\x07il\\r\\u202etxt.mp3\n"
            u"Name  1 Bytes  3/14/2004 2:05:31 PM  e2/ev\\x1b]0;t\\x07il\\r\\u202etxt.mp3\n"_qs);
        row("tsv, controls in names", "--name --tsv e1 e2", 0,
            u"e1/ev\x1b]0;t\x07il\\r\u202Etxt.mp3\t1 Bytes\t3/14/2004 2:05:31 PM\tName\tlight "
            u"blue\t1\t1\t2004-03-14T14:05:31Z\n"
            u"e2/ev\x1b]0;t\x07il\\r\u202Etxt.mp3\t1 Bytes\t3/14/2004 2:05:31 PM\tName\tlight blue\t1\t1\t2004-03-14T14:05:31Z\n"_qs);
        row("json", "--name --json w1 w2 e1 e2", 0,
            uR"([
{"path":"w1/we\\ird\tna\nme.txt","size":"4.77 MB","modified":"3/14/2004 2:05:31 PM","type":"Name","colour":"light blue","group":1,"bytes":5000000,"mtime":"2004-03-14T14:05:31Z"},
{"path":"w2/we\\ird\tna\nme.txt","size":"1 KB","modified":"3/14/2004 2:05:31 PM","type":"Name","colour":"light blue","group":1,"bytes":1024,"mtime":"2004-03-14T14:05:31Z"},
)"
            u"{\"path\":\"e1/ev\\u001b]0;t\\u0007il\\u000d\\u202etxt.mp3\",\"size\":\"1 "
            u"Bytes\",\"modified\":\"3/14/2004 2:05:31 "
            u"PM\",\"type\":\"Name\",\"colour\":\"blue\",\"group\":2,\"bytes\":1,\"mtime\":\"2004-"
            u"03-14T14:05:31Z\"},\n"
            u"{\"path\":\"e2/ev\\u001b]0;t\\u0007il\\u000d\\u202etxt.mp3\",\"size\":\"1 Bytes\",\"modified\":\"3/14/2004 2:05:31 PM\",\"type\":\"Name\",\"colour\":\"blue\",\"group\":2,\"bytes\":1,\"mtime\":\"2004-03-14T14:05:31Z\"}\n]\n"_qs);
        row("json, nothing found", "--name --json u1 d4", 1, u"[]\n"_qs, NoDupes);
        row("nothing found", "--name --tsv u1 d4", 1, {}, NoDupes);
        row("nothing found, header", "--name --tsv --header u1 d4", 1,
            u"path\tsize\tmodified\ttype\tcolour\tgroup\tbytes\tmtime\n"_qs, NoDupes);
        row("quiet", "-q --name --tsv u1 d4", 1, {}, {});
        // The pair after the first would not fit: it is left out whole.
        row("max rows", "--name --max-rows 3 --tsv d1 d2 w1 w2", 0,
            u"d1/Song One.mp3\t1.5 MB\t3/14/2004 2:05:31 PM\tName\tlight "
            u"blue\t1\t1572864\t2004-03-14T14:05:31Z\n"
            u"d2/Song One.mp3\t1.5 MB\t3/14/2004 2:05:31 PM\tName\tlight blue\t1\t1572864\t2004-03-14T14:05:31Z\n"_qs,
            u"[Tallyrook] The results list is full: one search can list at most 3 rows. Later "
            u"matches were not listed. To see them, search fewer folders or tick fewer options.\n"_qs);
        row("walk messages", "--name bad", 1, {},
            u"[Skip] bad/caf\\xe9.mp3 has been skipped because it is unrecognizeable. This is "
            u"probably because it contains strange characters. Please rename the file or folder "
            u"if you would like it included next time you find dupes.\n" +
                NoDupes);
        const QString usage =
            u"\nusage: tallyrook-cli [OPTION]... FOLDER...\n"
            u"Try 'tallyrook-cli --help' for more information.\n"_qs;
        row("no folder", "--name", 2, {}, u"tallyrook-cli: no folder given" + usage);
        row("no criterion", "d1 d2", 2, {},
            u"tallyrook-cli: choose at least one of --name, --size, --similar" + usage);
        row("header without tsv", "--name --header /", 2, {},
            u"tallyrook-cli: --header goes with --tsv" + usage);
        row("nothing", "", 2, {}, u"tallyrook-cli: no folder given" + usage);
        row("unknown", "--name --bogus /", 2, {},
            u"tallyrook-cli: Unknown option 'bogus'." + usage);
        row("both formats", "--tsv --json /", 2, {},
            u"tallyrook-cli: --tsv and --json cannot be used together" + usage);
        row("no rows", "--name --max-rows 0 /", 2, {},
            u"tallyrook-cli: --max-rows takes a whole number of 1 or more" + usage);
        row("all or some", "--name --all --max-rows 5 /", 2, {},
            u"tallyrook-cli: --all and --max-rows cannot be used together" + usage);
        row("version", "--version", 0, u"tallyrook-cli 7.0\n"_qs);
        // Every folder that can be searched is, and its rows printed; but the answer is not clean.
        row("missing folder", "--name --tsv --header u1 missing d4/other.txt -- -x", 2,
            u"path\tsize\tmodified\ttype\tcolour\tgroup\tbytes\tmtime\n"
            u"u1/alone.txt\t10 Bytes\t3/14/2004 2:05:31 PM\tName\tlight "
            u"blue\t1\t10\t2004-03-14T14:05:31Z\n"
            u"-x/alone.txt\t30 Bytes\t3/14/2004 2:05:31 PM\tName\tlight blue\t1\t30\t2004-03-14T14:05:31Z\n"_qs,
            u"tallyrook-cli: cannot read missing: No such file or directory\n"
            u"tallyrook-cli: cannot read d4/other.txt: Not a directory\n"_qs);
        // Both copies of "Song One.mp3" with these size and date texts. The German locale need not
        // be installed: the texts come from Qt's own data.
        const auto songs = [](const char16_t* texts) -> QString {
            return u"d1/Song One.mp3\t" % QStringView(texts) %
                   u"\tSize\tlight red\t1\t1572864\t2004-03-14T14:05:31Z\nd2/Song One.mp3\t" %
                   QStringView(texts) % u"\tSize\tlight red\t1\t1572864\t2004-03-14T14:05:31Z\n";
        };
        row("german", "LC_ALL=de_DE.UTF-8 --size --tsv d1 d2", 0,
            songs(u"1,5 MB\t14.03.2004 14:05:31"));
        // Numbers and dates from different categories, in the zone five hours behind UTC.
        row("categories and zone",
            "LC_ALL= LANG=de_DE.UTF-8 LC_TIME=en_US.UTF-8 TZ=EST5 --size --tsv d1 d2", 0,
            songs(u"1,5 MB\t3/14/2004 9:05:31 AM"));
    }
    void runs() {
        QFETCH(QString, command);
        QFETCH(int, exit);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QStringList args = command.split(u' ', Qt::SkipEmptyParts), env;
        while (!args.isEmpty() && args.first().contains(u'='))
            env.append(args.takeFirst());
        QProcess process;
        Start(process, args, env);
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), exit);
        QVERIFY2(SameText(QString::fromUtf8(process.readAllStandardOutput()), out),
                 "stdout differs (diff above)");
        QVERIFY2(SameText(QString::fromUtf8(process.readAllStandardError()), err),
                 "stderr differs (diff above)");
        // The desktop program's settings and Trash stay untouched.
        for (const char* folder : {"XDG_CONFIG_HOME", "XDG_DATA_HOME"})
            QVERIFY(QDir(qEnvironmentVariable(folder))
                        .isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    }

    // A folder argument is the folder its bytes name: one that begins with a byte-order mark is
    // not its twin without, and one that is not UTF-8 is said to be unreadable by its name.
    void foldersByTheirBytes() {
        QProcess cli;
        Start(cli,
              {u"-c"_qs,
               u"exec \"$0\" --name --tsv \"$(printf '\\357\\273\\277bom')\" bom "
               u"\"$(printf 'nu\\351')\""_qs,
               QStringLiteral(TALLYROOK_CLI_PATH)},
              {}, u"/bin/sh"_qs);
        QVERIFY(cli.waitForFinished());
        // As bytes: decoding would drop the mark at the start.
        QCOMPARE(cli.readAllStandardOutput(),
                 QStringView(u"\uFEFFbom/x\t5 Bytes\t3/14/2004 2:05:31 PM\tName\tlight "
                             u"blue\t1\t5\t2004-03-14T14:05:31Z\n"
                             u"bom/x\t7 Bytes\t3/14/2004 2:05:31 PM\tName\tlight "
                             u"blue\t1\t7\t2004-03-14T14:05:31Z\n")
                     .toUtf8());
        QCOMPARE(QString::fromUtf8(cli.readAllStandardError()),
                 u"tallyrook-cli: cannot read nu\uFFFD: its name cannot be read. This is probably "
                 u"because it contains strange characters. Please rename the folder if you would "
                 u"like it included next time you find dupes.\n"_qs);
        QCOMPARE(cli.exitCode(), 2);
    }

    void interruptStopsWithoutRows() {
        QProcess process;
        // Every poll takes a while, so the run is surely under way when Ctrl-C comes.
        Start(process, u"--name --tsv d1 d2 d3 d4 d5"_qs.split(u' '),
              {u"TALLYROOK_CLI_POLL_DELAY_MS=200"_qs}, QStringLiteral(TALLYROOK_SLOW_CLI_PATH));
        QVERIFY(process.waitForStarted());
        process.setReadChannel(QProcess::StandardError);
        QByteArray err;
        while (!err.contains("poll delay active") && process.waitForReadyRead(10000))
            err += process.readAllStandardError();
        QVERIFY2(err.contains("poll delay active"), err.constData());
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(::kill(static_cast<pid_t>(process.processId()), SIGINT), 0);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 130);
        QCOMPARE(process.readAllStandardOutput(), QByteArray());
        // At the next poll, not after the whole run (which takes seconds at this pace).
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    }

    // On a terminal, one line on stderr rewrites itself, fits the width and is gone at the end;
    // in a pipe there is none.
    void progressOnlyOnATerminal() {
        const QStringList args = u"--name --tsv d1 d2 d3 d4 d5"_qs.split(u' ');
        const QStringList slow{u"TALLYROOK_CLI_POLL_DELAY_MS=40"_qs};
        const QString rows =
            u"d1/Song One.mp3\t1.5 MB\t3/14/2004 2:05:31 PM\tName\tlight blue\t1\t1572864\t"
            u"2004-03-14T14:05:31Z\n"
            u"d2/Song One.mp3\t1.5 MB\t3/14/2004 2:05:31 PM\tName\tlight blue\t1\t1572864\t"
            u"2004-03-14T14:05:31Z\n"_qs;

        int master = -1, slave = -1;
        winsize size{};
        size.ws_col = 30;
        QCOMPARE(::openpty(&master, &slave, nullptr, nullptr, &size), 0);
        QProcess process;
        process.setChildProcessModifier([slave] { ::dup2(slave, STDERR_FILENO); });
        QElapsedTimer clock;
        clock.start();
        Start(process, args, slow, QStringLiteral(TALLYROOK_SLOW_CLI_PATH));
        QVERIFY(process.waitForFinished(60000));
        const qint64 elapsed = clock.elapsed();
        ::close(slave);
        QByteArray terminal;
        ::fcntl(master, F_SETFL, O_NONBLOCK);
        char buffer[4096];
        for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;)
            terminal.append(buffer, n);
        ::close(master);
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(SameText(QString::fromUtf8(process.readAllStandardOutput()), rows));

        QVERIFY2(terminal.startsWith("poll delay active\r\n") && terminal.endsWith("\r\x1b[K"),
                 terminal.constData());
        const QList<QByteArray> lines = terminal.mid(19).chopped(4).split('\r');
        QVERIFY(lines.size() >= 2);
        for (const QByteArray& line : lines.sliced(1)) {
            const QString text = QString::fromUtf8(line);
            QVERIFY2(text.contains(QRegularExpression(u"^Tallyrook.*  \\d+%\x1b\\[K$"_qs)) &&
                         text.size() - 3 <= 29,
                     qPrintable(text));
        }
        QVERIFY2(lines.size() - 1 <= elapsed / 100 + 1, terminal.constData());

        QProcess piped;
        Start(piped, args, slow, QStringLiteral(TALLYROOK_SLOW_CLI_PATH));
        QVERIFY(piped.waitForFinished(60000));
        QVERIFY(SameText(QString::fromUtf8(piped.readAllStandardOutput()), rows));
        QCOMPARE(piped.readAllStandardError(), "poll delay active\n");
    }

    // A folder the walk cannot open is named, and the rest is still searched. Root may read
    // anything, so as root the command runs as nobody.
    void unreadableFolderIsNamed() {
        QTemporaryDir dir(QDir::tempPath() + u"/tallyrook-unreadable-XXXXXX"_qs);
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                      QFile::ExeOwner | QFile::ReadOther |
                                                      QFile::ExeOther));
        for (const QString& name :
             {u"open/a.txt"_qs, u"open/sub/a.txt"_qs, u"open/locked/a.txt"_qs}) {
            QVERIFY(QDir(dir.path()).mkpath(QFileInfo(name).path()));
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QVERIFY(QFile::setPermissions(dir.filePath(u"open/locked"_qs), {}));
        QStringList args{QStringLiteral(TALLYROOK_CLI_PATH), u"--name"_qs, u"--tsv"_qs, u"open"_qs};
        if (::geteuid() == 0)
            args =
                QStringList{u"--reuid=65534"_qs, u"--regid=65534"_qs, u"--clear-groups"_qs} + args;
        QProcess process;
        process.setWorkingDirectory(dir.path());
        process.start(::geteuid() == 0 ? u"setpriv"_qs : args.takeFirst(), args);
        QVERIFY(process.waitForFinished(60000));
        QVERIFY(QFile::setPermissions(dir.filePath(u"open/locked"_qs),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const QList<QByteArray> rows = process.readAllStandardOutput().split('\n');
        QCOMPARE(rows.size(), 3);
        QVERIFY2(rows[0].startsWith("open/a.txt\t") && rows[1].startsWith("open/sub/a.txt\t"),
                 rows[0].constData());
        QCOMPARE(process.readAllStandardError(),
                 "tallyrook-cli: cannot read open/locked: Permission denied\n");
        QCOMPARE(process.exitCode(), 2);
    }

    // Beyond the desktop program's 32,767 rows; and a reader that stops early.
    void allRowsAndAClosedPipe() {
        tallyrook::test::TempTree big;
        // Name twins: 16,400 rows; all of one size: 16,400 more.
        for (int i = 0; i < 8200; ++i) {
            big.file(u"a/f%1"_qs.arg(i));
            big.file(u"b/f%1"_qs.arg(i));
        }
        const QStringList args{u"--name"_qs, u"--size"_qs, u"--tsv"_qs, big.path(u"a"_qs),
                               big.path(u"b"_qs)};
        QProcess process;
        for (const QString& all : {u"--all"_qs, u"--quiet"_qs}) {
            Start(process, QStringList{all} + args);
            QVERIFY(process.waitForFinished(60000));
            QCOMPARE(process.exitCode(), 0);
            const QList<QByteArray> lines = process.readAllStandardOutput().split('\n');
            QCOMPARE(lines.size() - 1, all == u"--all" ? 32800 : 32767);
            QCOMPARE(lines.at(lines.size() - 2).split('\t').sliced(3, 3),
                     (QList<QByteArray>{"Size", "light red", "8201"}));
            QCOMPARE(process.readAllStandardError(),
                     all == u"--all" ? QByteArray()
                                     : "[Tallyrook] The results list is full: one search can list "
                                       "at most 32,767 rows. Later matches were not listed. To see "
                                       "them, search fewer folders or tick fewer options.\n");
        }
        // Quietly, with the status the rows gave, not killed by SIGPIPE.
        Start(process,
              QStringList{u"-c"_qs, u"\"$0\" \"$@\" | head -1 >/dev/null; echo ${PIPESTATUS[0]}"_qs,
                          QStringLiteral(TALLYROOK_CLI_PATH), u"--all"_qs} +
                  args,
              {u"LC_ALL=C"_qs}, u"bash"_qs);
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.readAllStandardOutput(), "0\n");
        QCOMPARE(process.readAllStandardError(), QByteArray());
    }
};

TALLYROOK_TEST_MAIN(TestCli)
#include "test_cli.moc"
