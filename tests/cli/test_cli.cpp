#include <signal.h>
#include <unistd.h>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "support/temp_tree.h"
#include "support/test_env.h"

using tallyrook::test::TempTree;

namespace {

struct Result {
    int exitCode = -1;
    QString out;
    QString err;
};

// The environment of every run: a fixed zone and locale, and a home of its own.
QProcessEnvironment CliEnvironment(const QString& home) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"LC_ALL", "LC_NUMERIC", "LC_TIME", "LANG", "LANGUAGE", "LC_MESSAGES"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("en_US.UTF-8"));
    env.insert(QStringLiteral("TZ"), QStringLiteral("UTC"));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    return env;
}

// A line-by-line diff (longest common subsequence) for readable failures.
QString Diff(const QString& expected, const QString& actual) {
    const QStringList a = expected.split(u'\n');
    const QStringList b = actual.split(u'\n');
    const qsizetype n = a.size(), m = b.size();
    std::vector<std::vector<int>> lcs(size_t(n + 1), std::vector<int>(size_t(m + 1), 0));
    for (qsizetype i = n - 1; i >= 0; --i)
        for (qsizetype j = m - 1; j >= 0; --j)
            lcs[size_t(i)][size_t(j)] = a[i] == b[j] ? lcs[size_t(i + 1)][size_t(j + 1)] + 1
                                                     : std::max(lcs[size_t(i + 1)][size_t(j)],
                                                                lcs[size_t(i)][size_t(j + 1)]);
    QString out = QStringLiteral("\n--- expected\n+++ actual\n");
    qsizetype i = 0, j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && a[i] == b[j]) {
            out += u"  " % a[i++] % u'\n';
            ++j;
        } else if (j < m &&
                   (i == n || lcs[size_t(i)][size_t(j + 1)] >= lcs[size_t(i + 1)][size_t(j)])) {
            out += u"+ " % b[j++] % u'\n';
        } else {
            out += u"- " % a[i++] % u'\n';
        }
    }
    return out;
}

// Whole outputs compared, with a diff that is not cut short like a test message.
#define COMPARE_TEXT(actual, expected)                \
    do {                                              \
        const QString a_ = (actual), e_ = (expected); \
        if (a_ != e_) {                               \
            qInfo().noquote() << Diff(e_, a_);        \
            QFAIL("the output differs (diff above)"); \
        }                                             \
    } while (false)

const QDateTime Pi(QDate(2004, 3, 14), QTime(14, 5, 31), Qt::UTC);

}  // namespace

class TestCli : public QObject {
    Q_OBJECT

    QTemporaryDir home_;
    TempTree tree_;

    Result Run(const QStringList& args, const QProcessEnvironment& env) {
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(TALLYROOK_CLI_PATH), args);
        if (!process.waitForFinished(60000))
            qWarning("tallyrook-cli did not finish");
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }
    Result Run(const QStringList& args) { return Run(args, CliEnvironment(home_.path())); }

    QString P(const QString& relative) const { return tree_.path(relative); }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(home_.isValid());
        // One file per folder, and the folders given in order, so the rows' order does not
        // depend on the order a file system lists a folder in.
        tree_.file(QStringLiteral("d1/Song One.mp3"), 1572864, Pi);
        tree_.file(QStringLiteral("d2/Song One.mp3"), 1572864, Pi);
        tree_.file(QStringLiteral("d3/song one.MP3"), 2048, Pi);
        tree_.file(QStringLiteral("d4/other.txt"), 1,
                   QDateTime(QDate(2004, 1, 5), QTime(0, 0), Qt::UTC));
        tree_.file(QStringLiteral("d5/another.doc"), 1,
                   QDateTime(QDate(2004, 1, 5), QTime(9, 7, 3), Qt::UTC));
        tree_.file(QStringLiteral("w1/we\\ird\tna\nme.txt"), 5000000, Pi);
        tree_.file(QStringLiteral("w2/we\\ird\tna\nme.txt"), 1024, Pi);
        tree_.file(QStringLiteral("u1/alone.txt"), 10, Pi);
        tree_.file(QStringLiteral("u2/single.txt"), 20, Pi);
        tree_.file(QStringLiteral("-x/alone.txt"), 30, Pi);
    }

    void tableForAPerson() {
        const Result r =
            Run({QStringLiteral("--name"), QStringLiteral("--size"), QStringLiteral("--similar"),
                 P(u"d1"_qs), P(u"d2"_qs), P(u"d3"_qs), P(u"d4"_qs), P(u"d5"_qs)});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.err, QString());
        const QString d = tree_.root();
        // Groups: the names; the sizes (red, then light red); the similar names, where the second
        // copy of "Song One.mp3" joins the group of its twin as its own light green group.
        COMPARE_TEXT(r.out,
                     u"TYPE      SIZE  MODIFIED              PATH\n"
                     u"Name    1.5 MB  3/14/2004 2:05:31 PM  " %
                         d %
                         u"/d1/Song One.mp3\n"
                         u"Name    1.5 MB  3/14/2004 2:05:31 PM  " %
                         d %
                         u"/d2/Song One.mp3\n"
                         u"\n"
                         u"Size    1.5 MB  3/14/2004 2:05:31 PM  " %
                         d %
                         u"/d1/Song One.mp3\n"
                         u"Size    1.5 MB  3/14/2004 2:05:31 PM  " %
                         d %
                         u"/d2/Song One.mp3\n"
                         u"\n"
                         u"Size   1 Bytes  1/5/2004              " %
                         d %
                         u"/d4/other.txt\n"
                         u"Size   1 Bytes  1/5/2004 9:07:03 AM   " %
                         d %
                         u"/d5/another.doc\n"
                         u"\n"
                         u"Close   1.5 MB  3/14/2004 2:05:31 PM  " %
                         d %
                         u"/d1/Song One.mp3\n"
                         u"Close     2 KB  3/14/2004 2:05:31 PM  " %
                         d %
                         u"/d3/song one.MP3\n"
                         u"\n"
                         u"Close   1.5 MB  3/14/2004 2:05:31 PM  " %
                         d % u"/d2/Song One.mp3\n");
    }

    void tsvIsFixedAndEscaped() {
        const Result r =
            Run({QStringLiteral("--name"), QStringLiteral("--size"), QStringLiteral("--similar"),
                 QStringLiteral("--tsv"), P(u"d1"_qs), P(u"d2"_qs), P(u"d3"_qs), P(u"d4"_qs),
                 P(u"d5"_qs), P(u"w1"_qs), P(u"w2"_qs)});
        QCOMPARE(r.exitCode, 0);
        const QString d = tree_.root();
        const QString weird = u"we\\\\ird\\tna\\nme.txt"_qs;  // as written: we\\ird\tna\nme.txt
        COMPARE_TEXT(
            r.out, u"" % d % u"/d1/Song One.mp3\t1.5 MB\t3/14/2004 2:05:31 PM\tName\tlight blue\n" %
                       d % u"/d2/Song One.mp3\t1.5 MB\t3/14/2004 2:05:31 PM\tName\tlight blue\n" %
                       d % u"/w1/" % weird % u"\t4.77 MB\t3/14/2004 2:05:31 PM\tName\tblue\n" % d %
                       u"/w2/" % weird % u"\t1 KB\t3/14/2004 2:05:31 PM\tName\tblue\n" % d %
                       u"/d1/Song One.mp3\t1.5 MB\t3/14/2004 2:05:31 PM\tSize\tlight red\n" % d %
                       u"/d2/Song One.mp3\t1.5 MB\t3/14/2004 2:05:31 PM\tSize\tlight red\n" % d %
                       u"/d4/other.txt\t1 Bytes\t1/5/2004\tSize\tred\n" % d %
                       u"/d5/another.doc\t1 Bytes\t1/5/2004 9:07:03 AM\tSize\tred\n" % d %
                       u"/d1/Song One.mp3\t1.5 MB\t3/14/2004 2:05:31 PM\tClose\tlight green\n" % d %
                       u"/d3/song one.MP3\t2 KB\t3/14/2004 2:05:31 PM\tClose\tlight green\n" % d %
                       u"/d2/Song One.mp3\t1.5 MB\t3/14/2004 2:05:31 PM\tClose\tgreen\n");
    }

    void jsonIsValid() {
        const Result r =
            Run({QStringLiteral("--name"), QStringLiteral("--json"), P(u"w1"_qs), P(u"w2"_qs)});
        QCOMPARE(r.exitCode, 0);
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(r.out.toUtf8(), &error);
        QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
        QVERIFY(doc.isArray());
        const QJsonArray rows = doc.array();
        QCOMPARE(rows.size(), 2);
        const QJsonObject first = rows[0].toObject();
        QCOMPARE(first.keys(), (QStringList{u"bytes"_qs, u"colour"_qs, u"modified"_qs, u"mtime"_qs,
                                            u"path"_qs, u"size"_qs, u"type"_qs}));
        // Raw characters, not the tab-separated escapes.
        QCOMPARE(first[u"path"].toString(), P(u"w1/we\\ird\tna\nme.txt"_qs));
        QCOMPARE(first[u"size"].toString(), u"4.77 MB"_qs);
        QCOMPARE(first[u"modified"].toString(), u"3/14/2004 2:05:31 PM"_qs);
        QCOMPARE(first[u"type"].toString(), u"Name"_qs);
        QCOMPARE(first[u"colour"].toString(), u"light blue"_qs);
        QCOMPARE(first[u"bytes"].toInteger(), 5000000);
        QCOMPARE(first[u"mtime"].toString(), u"2004-03-14T14:05:31Z"_qs);
        QCOMPARE(rows[1].toObject()[u"bytes"].toInteger(), 1024);
    }

    void nothingFound() {
        Result r =
            Run({QStringLiteral("--name"), QStringLiteral("--tsv"), P(u"u1"_qs), P(u"u2"_qs)});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.out, QString());
        COMPARE_TEXT(r.err, u"[No dupes] No duplicate MP3s found.\n"_qs);

        // A folder that is not there is searched as an empty one, but not without a word.
        r = Run({QStringLiteral("--name"), P(u"u1"_qs), P(u"missing"_qs)});
        QCOMPARE(r.exitCode, 1);
        COMPARE_TEXT(r.err, u"tallyrook-cli: '" % P(u"missing"_qs) %
                                u"' is not a folder; it adds no files\n"
                                u"[No dupes] No duplicate MP3s found.\n");

        // No criterion: the run still says "Choose", then finds nothing.
        r = Run({P(u"d1"_qs), P(u"d2"_qs)});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.out, QString());
        COMPARE_TEXT(r.err,
                     u"[Choose] Please select at least one option at the upper right: "
                     u"Exact Filename, Exact Filesize, Similar Filename\n"
                     u"[No dupes] No duplicate MP3s found.\n"_qs);
    }

    void walkMessagesGoToStderr() {
        tree_.dir(u"bad"_qs);
        tree_.rawFile(QByteArray("bad/caf\xE9.mp3"));  // Latin-1, not UTF-8
        const Result r = Run({QStringLiteral("--name"), P(u"bad"_qs)});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.out, QString());
        QVERIFY2(r.err.startsWith(u"[Skip] " % P(u"bad/"_qs)), qPrintable(r.err));
        QVERIFY2(r.err.contains(u" has been skipped because it is unrecognizeable."_qs),
                 qPrintable(r.err));
        QVERIFY(r.err.endsWith(u"\n[No dupes] No duplicate MP3s found.\n"_qs));
        // Qt cannot name it, so it would not clean it up.
        const QByteArray raw = tree_.rawRoot() + "/bad/caf\xE9.mp3";
        QCOMPARE(::unlink(raw.constData()), 0);
    }

    void usageErrors_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("problem");
        QTest::newRow("no folder") << QStringList{u"--name"_qs} << u"no folder given"_qs;
        QTest::newRow("nothing") << QStringList{} << u"no folder given"_qs;
        QTest::newRow("unknown") << QStringList{u"--name"_qs, u"--bogus"_qs, u"/"_qs}
                                 << u"unknown option '--bogus'"_qs;
        QTest::newRow("both formats") << QStringList{u"--tsv"_qs, u"--json"_qs, u"/"_qs}
                                      << u"--tsv and --json cannot be used together"_qs;
    }
    void usageErrors() {
        QFETCH(QStringList, args);
        QFETCH(QString, problem);
        const Result r = Run(args);
        QCOMPARE(r.exitCode, 2);
        QCOMPARE(r.out, QString());
        COMPARE_TEXT(r.err, u"tallyrook-cli: " % problem %
                                u"\nusage: tallyrook-cli [--name] [--size] [--similar] [--tsv | "
                                u"--json] FOLDER...\nTry 'tallyrook-cli --help' for more "
                                u"information.\n");
    }

    void helpVersionAndDoubleDash() {
        Result r = Run({QStringLiteral("--help")});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.startsWith(u"usage: tallyrook-cli [--name] [--size] [--similar]"_qs));
        QVERIFY(r.out.contains(u"Exit status"_qs));
        r = Run({QStringLiteral("--version")});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, u"tallyrook-cli 7.0\n"_qs);
        // After "--" a folder may begin with "-".
        QDir::setCurrent(tree_.root());
        r = Run({QStringLiteral("--name"), QStringLiteral("--tsv"), P(u"u1"_qs),
                 QStringLiteral("--"), QStringLiteral("-x")});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out.count(u'\n'), 2);
        QVERIFY(r.out.contains(u"\n-x/alone.txt\t30 Bytes"_qs));
    }

    void environmentLocale() {
        QProcessEnvironment env = CliEnvironment(home_.path());
        // The German locale need not be installed: the texts come from Qt's own data.
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("de_DE.UTF-8"));
        const QStringList args = {QStringLiteral("--size"), QStringLiteral("--tsv"), P(u"d1"_qs),
                                  P(u"d2"_qs)};
        Result r = Run(args, env);
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.err, QString());  // and no complaint about the missing locale
        QVERIFY2(r.out.contains(u"/d1/Song One.mp3\t1,5 MB\t14.03.2004 14:05:31\tSize"_qs),
                 qPrintable(r.out));
        // Numbers and dates may come from different categories.
        env.remove(QStringLiteral("LC_ALL"));
        env.insert(QStringLiteral("LANG"), QStringLiteral("de_DE.UTF-8"));
        env.insert(QStringLiteral("LC_TIME"), QStringLiteral("en_US.UTF-8"));
        r = Run(args, env);
        QVERIFY2(r.out.contains(u"/d1/Song One.mp3\t1,5 MB\t3/14/2004 2:05:31 PM\tSize"_qs),
                 qPrintable(r.out));
        // The zone of the environment: five hours behind UTC.
        env = CliEnvironment(home_.path());
        env.insert(QStringLiteral("TZ"), QStringLiteral("EST5"));
        r = Run(args, env);
        QVERIFY2(r.out.contains(u"/d1/Song One.mp3\t1.5 MB\t3/14/2004 9:05:31 AM\tSize"_qs),
                 qPrintable(r.out));
    }

    void leavesTheDesktopSettingsAlone() {
        QTemporaryDir home;
        QVERIFY(QDir(home.path()).mkpath(u"config"_qs));
        const Result r =
            Run({QStringLiteral("--name"), P(u"d1"_qs), P(u"d2"_qs)}, CliEnvironment(home.path()));
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(
            QDir(home.path() + u"/config"_qs).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
            QStringList());
    }

    void interruptStopsWithoutRows() {
        QProcessEnvironment env = CliEnvironment(home_.path());
        // Every poll takes a while, so the run is surely under way when Ctrl-C comes.
        env.insert(QStringLiteral("TALLYROOK_CLI_POLL_DELAY_MS"), QStringLiteral("200"));
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(TALLYROOK_CLI_PATH),
                      {QStringLiteral("--name"), QStringLiteral("--tsv"), P(u"d1"_qs), P(u"d2"_qs),
                       P(u"d3"_qs), P(u"d4"_qs), P(u"d5"_qs)});
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
