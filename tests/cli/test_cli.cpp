#include <signal.h>
#include <QJsonDocument>
#include <QProcess>
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

    // In the tree, in a fixed zone and locale; `changes` are NAME=value settings on top, and
    // NAME= removes one. HOME and the XDG folders are the test's own temporary ones.
    void Start(QProcess& process, const QStringList& args, const QStringList& changes = {}) {
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
        process.start(QStringLiteral(TALLYROOK_CLI_PATH), args);
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
        tree_.dir(u"bad"_qs);
        tree_.rawFile(QByteArray("bad/caf\xE9.mp3"));  // Latin-1, not UTF-8
    }
    void cleanupTestCase() {
        // Qt cannot name it, so it would not clean it up.
        QCOMPARE(::unlink(QByteArray(tree_.rawRoot() + "/bad/caf\xE9.mp3").constData()), 0);
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
        // A blank line between groups: another type, or the same type in another colour.
        row("table", "--name --size d1 d2 d4 d5", 0,
            u"TYPE     SIZE  MODIFIED              PATH\n"
            u"Name   1.5 MB  3/14/2004 2:05:31 PM  d1/Song One.mp3\n"
            u"Name   1.5 MB  3/14/2004 2:05:31 PM  d2/Song One.mp3\n\n"
            u"Size   1.5 MB  3/14/2004 2:05:31 PM  d1/Song One.mp3\n"
            u"Size   1.5 MB  3/14/2004 2:05:31 PM  d2/Song One.mp3\n\n"
            u"Size  1 Bytes  1/5/2004              d4/other.txt\n"
            u"Size  1 Bytes  1/5/2004 9:07:03 AM   d5/another.doc\n"_qs);
        // The second "Song One.mp3" joins its twin's similar group as a group of its own; the
        // colour toggle runs on across the passes.
        row("tsv, escaped", "--name --size --similar --tsv d1 d2 d3 w1 w2", 0,
            u"d1/Song One.mp3\t1.5 MB\t3/14/2004 2:05:31 PM\tName\tlight blue\n"
            u"d2/Song One.mp3\t1.5 MB\t3/14/2004 2:05:31 PM\tName\tlight blue\n"
            u"w1/we\\\\ird\\tna\\nme.txt\t4.77 MB\t3/14/2004 2:05:31 PM\tName\tblue\n"
            u"w2/we\\\\ird\\tna\\nme.txt\t1 KB\t3/14/2004 2:05:31 PM\tName\tblue\n"
            u"d1/Song One.mp3\t1.5 MB\t3/14/2004 2:05:31 PM\tSize\tlight red\n"
            u"d2/Song One.mp3\t1.5 MB\t3/14/2004 2:05:31 PM\tSize\tlight red\n"
            u"d1/Song One.mp3\t1.5 MB\t3/14/2004 2:05:31 PM\tClose\tgreen\n"
            u"d3/song one.MP3\t2 KB\t3/14/2004 2:05:31 PM\tClose\tgreen\n"
            u"d2/Song One.mp3\t1.5 MB\t3/14/2004 2:05:31 PM\tClose\tlight green\n"_qs);
        // Raw characters in JSON, not the escapes of --tsv (compared after a parse).
        row("json", "--name --json w1 w2", 0,
            uR"([{"bytes":5000000,"colour":"light blue","modified":"3/14/2004 2:05:31 PM",)"
            uR"("mtime":"2004-03-14T14:05:31Z","path":"w1/we\\ird\tna\nme.txt","size":"4.77 MB",)"
            uR"("type":"Name"},{"bytes":1024,"colour":"light blue","modified":"3/14/2004 2:05:31 )"
            uR"(PM","mtime":"2004-03-14T14:05:31Z","path":"w2/we\\ird\tna\nme.txt","size":"1 KB",)"
            uR"("type":"Name"}])"_qs);
        row("nothing found", "--name --tsv u1 d4", 1, {}, NoDupes);
        row("missing folder", "--name u1 missing", 1, {},
            u"tallyrook-cli: 'missing' is not a folder; it adds no files\n" + NoDupes);
        row("no criterion", "d1 d2", 1, {},
            u"[Choose] Please select at least one option at the upper right: Exact Filename, "
            u"Exact Filesize, Similar Filename\n" +
                NoDupes);
        row("walk messages", "--name bad", 1, {},
            u"[Skip] bad/caf\uFFFD.mp3 has been skipped because it is unrecognizeable. This is "
            u"probably because it contains strange characters. Please rename the file or folder "
            u"if you would like it included next time you find dupes.\n" +
                NoDupes);
        const QString usage =
            u"\nusage: tallyrook-cli [--name] [--size] [--similar] [--tsv | --json] FOLDER...\n"
            u"Try 'tallyrook-cli --help' for more information.\n"_qs;
        row("no folder", "--name", 2, {}, u"tallyrook-cli: no folder given" + usage);
        row("nothing", "", 2, {}, u"tallyrook-cli: no folder given" + usage);
        row("unknown", "--name --bogus /", 2, {},
            u"tallyrook-cli: unknown option '--bogus'" + usage);
        row("both formats", "--tsv --json /", 2, {},
            u"tallyrook-cli: --tsv and --json cannot be used together" + usage);
        row("version", "--version", 0, u"tallyrook-cli 7.0\n"_qs);
        row("after --, a folder may begin with -", "--name --tsv u1 -- -x", 0,
            u"u1/alone.txt\t10 Bytes\t3/14/2004 2:05:31 PM\tName\tlight blue\n"
            u"-x/alone.txt\t30 Bytes\t3/14/2004 2:05:31 PM\tName\tlight blue\n"_qs);
        // Both copies of "Song One.mp3" with these size and date texts. The German locale need not
        // be installed: the texts come from Qt's own data.
        const auto songs = [](const char16_t* texts) -> QString {
            return u"d1/Song One.mp3\t" % QStringView(texts) %
                   u"\tSize\tlight red\nd2/Song One.mp3\t" % QStringView(texts) %
                   u"\tSize\tlight red\n";
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
        QByteArray stdOut = process.readAllStandardOutput();
        if (args.contains(u"--json"))
            stdOut = QJsonDocument::fromJson(stdOut).toJson(QJsonDocument::Compact);
        QVERIFY2(SameText(QString::fromUtf8(stdOut), out), "stdout differs (diff above)");
        QVERIFY2(SameText(QString::fromUtf8(process.readAllStandardError()), err),
                 "stderr differs (diff above)");
        // The desktop program's settings and Trash stay untouched.
        for (const char* folder : {"XDG_CONFIG_HOME", "XDG_DATA_HOME"})
            QVERIFY(QDir(qEnvironmentVariable(folder))
                        .isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    }

    void interruptStopsWithoutRows() {
        QProcess process;
        // Every poll takes a while, so the run is surely under way when Ctrl-C comes.
        Start(process, u"--name --tsv d1 d2 d3 d4 d5"_qs.split(u' '),
              {u"TALLYROOK_CLI_POLL_DELAY_MS=200"_qs});
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
};

TALLYROOK_TEST_MAIN(TestCli)
#include "test_cli.moc"
