#include <QTest>
#include <atomic>
#include <thread>

#include "contents/contents_pass.h"
#include "run/search_run.h"
#include "search/result_list.h"
#include "search/run_options.h"
#include "shared/global.h"
#include "support/recording_host.h"
#include "support/temp_tree.h"
#include "support/test_env.h"

using namespace tallyrook;

namespace {

// The rows as "TYPE colour group folder", one a line.
QString Transcript(const ResultRows& rows, const QString& root) {
    QStringList lines;
    for (int k = 0; k < rows.RowCount(); ++k) {
        const ResultRow& row = rows.Row(k);
        lines.append(TypeWord(row.criterion) + u' ' + ColourName(row.color) + u' ' +
                     QString::number(row.group) + u' ' +
                     row.path.mid(root.size() + 1).section(u'/', 0, 0));
    }
    return lines.join(u'\n');
}

}  // namespace

class TestExactContents : public QObject {
    Q_OBJECT

    test::TempTree tree_;
    // The folder-list entries, one file each, so that the inventory's order is theirs.
    QStringList entries_;

    // A run of `criteria` through a contents pass with `options`.
    RunOutcome Run(test::RecordingHost& host, ResultRows& rows, const Criteria& criteria,
                   ContentsPass& pass) {
        Global global;
        host.folderEntries = entries_;
        host.options.criteria = criteria;
        host.options.compareContents = [&pass](SearchHost& h, const Global& g,
                                               std::vector<int>& sets) {
            return pass.Run(h, g, sets);
        };
        return RunSearch(host, global, rows, host.options);
    }

private Q_SLOTS:
    void initTestCase() {
        const QByteArray copy = test::Pattern(10000);
        const auto differingAt = [&copy](int at) {
            QByteArray bytes = copy;
            bytes[at] = char(bytes[at] ^ 1);
            return bytes;
        };
        // Copies, one also through a hard link; near-copies of their size differing at the
        // head, middle and tail; a file alone in its size (never read); two names of one file
        // and nothing else; two empty files; a pair of small copies.
        for (const auto& [folder, bytes] : std::initializer_list<std::pair<QString, QByteArray>>{
                 {u"c1"_qs, copy},
                 {u"head"_qs, differingAt(0)},
                 {u"c2"_qs, copy},
                 {u"middle"_qs, differingAt(5000)},
                 {u"tail"_qs, differingAt(9999)},
                 {u"alone"_qs, test::Pattern(100000)},
                 {u"l1"_qs, test::Pattern(777, 1)},
                 {u"e1"_qs, {}},
                 {u"e2"_qs, {}},
                 {u"p1"_qs, "abc"},
                 {u"c3"_qs, copy},
                 {u"p2"_qs, "abc"}})
            tree_.write(folder + u"/f"_qs, bytes);
        tree_.hardLink(u"h1/f"_qs, u"c1/f"_qs);
        tree_.hardLink(u"l2/f"_qs, u"l1/f"_qs);
        for (const char* folder : {"c1", "head", "h1", "c2", "middle", "tail", "alone", "l1", "l2",
                                   "e1", "e2", "p1", "c3", "p2"})
            entries_.append(tree_.path(QString::fromLatin1(folder)));
    }

    // One group per copy set, in list order, hard links with their file; near-copies, names of
    // one file alone and empty files are none. Only shared sizes are read.
    void copySetsOfATree() {
        test::RecordingHost host;
        ResultRows rows;
        ContentsPass pass;
        QCOMPARE(Run(host, rows, {false, false, false, true}, pass), RunOutcome::ResultsShown);
        QCOMPARE(Transcript(rows, tree_.root()),
                 u"Copy light yellow 1 c1\nCopy light yellow 1 h1\nCopy light yellow 1 c2\n"
                 u"Copy light yellow 1 c3\nCopy yellow 2 p1\nCopy yellow 2 p2"_qs);
        QVERIFY(host.calls.contains(u"stage:ExactContents"_qs));
        // Six files of 10,000 bytes (two names of one file among them) and two of 3 at most.
        QVERIFY(pass.Results().bytesRead > 0 && pass.Results().bytesRead <= 60006);
        QCOMPARE(rows.Row(0).bytes, 10000);
    }

    // Each criterion adds its groups in its turn, Exact Contents last; the colours run on.
    void afterTheOtherCriteria() {
        test::RecordingHost host;
        ResultRows rows;
        ContentsPass pass;
        QCOMPARE(Run(host, rows, {true, false, false, true}, pass), RunOutcome::ResultsShown);
        QStringList expected;
        for (const QString& entry : entries_)
            expected.append(u"Name light blue 1 "_qs + entry.section(u'/', -1));
        expected.append(
            u"Copy yellow 2 c1\nCopy yellow 2 h1\nCopy yellow 2 c2\nCopy yellow 2 c3\n"
            u"Copy light yellow 3 p1\nCopy light yellow 3 p2"_qs);
        QCOMPARE(Transcript(rows, tree_.root()), expected.join(u'\n'));
        QVERIFY(host.calls.indexOf(u"stage:ExactContents"_qs) >
                host.calls.indexOf(u"stage:ExactFilename"_qs));
    }

    // Stop in the middle of the comparison ends the run at once, without a row of it.
    void stopDuringTheComparison() {
        std::atomic<int> reads = 0;
        ContentsOptions slow;
        slow.maxChunk = 1024;
        slow.afterRead = [&reads](const QString&, qint64) {
            ++reads;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        };
        ContentsPass pass(1, slow);
        test::RecordingHost host;
        int pollsInStage = 0;
        host.onPoll = [&](int) {
            if (host.calls.contains(u"stage:ExactContents"_qs) && ++pollsInStage == 3)
                host.stopRequested = true;
        };
        ResultRows rows;
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(Run(host, rows, {true, false, false, true}, pass), RunOutcome::Stopped);
        QVERIFY(timer.elapsed() < 2000);  // the whole check would take some 3 s
        QVERIFY(reads > 0);
        for (int k = 0; k < rows.RowCount(); ++k)
            QVERIFY(rows.Row(k).criterion != Criterion::ExactContents);
        QVERIFY(pass.Files().Count() == 0);
    }
};

TALLYROOK_TEST_MAIN(TestExactContents)
#include "test_exact_contents.moc"
