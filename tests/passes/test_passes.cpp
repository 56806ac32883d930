#include <QRandomGenerator>
#include <QTest>

#include "reference_passes.h"
#include "support/recording_host.h"
#include "support/test_env.h"

using namespace tallyrook;
using namespace Qt::StringLiterals;

namespace {

const QString Root = u"/nonexistent-tallyrook-test/"_s;

struct Outcome {
    QStringList rows, calls, progress;  // "size date path|type|colour|group"; host calls; bar
    QList<qsizetype> anchors;           // of the rows
    QList<StepResult> results;
};

// Records are "folder/name[=size]". Steps are N, S or C. The user presses stop on seeing the
// progress bar reach `stopAtPercent` in any pass.
Outcome RunPasses(const QStringList& records, const QString& steps, bool reference,
                  int rowLimit = RunOptions::RowCapacity, int abandonAt = 0,
                  int stopAtPercent = 0) {
    Global global;
    for (const QString& record : records)
        global.inventory.AddRecord(
            Root + record.section(u'/', 0, -2) + u'/', record.section(u'/', -1).section(u'=', 0, 0),
            record.contains(u'=') ? record.section(u'=', 1).toLongLong() : FileInventory::NoSize);
    ResultRows rows;
    test::RecordingHost host;
    host.abandonAtEvents = abandonAt;
    host.options.rowLimit = rowLimit;
    host.onPoll = [&](int) {
        for (qsizetype k = host.calls.size() - 1; k >= 0 && !host.stopRequested; --k)
            host.stopRequested = stopAtPercent > 0 && host.calls[k].startsWith(u"progress:") &&
                                 host.calls[k].sliced(9).toInt() >= stopAtPercent;
    };
    test::ReferencePasses plain{host, global, rows, rowLimit};
    MatchPasses passes(host, global, rows, host.options);
    Outcome out;
    for (const QString& step : steps.split(u' ', Qt::SkipEmptyParts)) {
        out.results.append(reference         ? plain.Run(step[0])
                           : step[0] == u'N' ? passes.ExactFilenamePass()
                           : step[0] == u'S' ? passes.ExactFilesizePass()
                                             : passes.SimilarFilenamePass());
        if (out.results.back() != StepResult::Completed)
            break;
    }
    static const char* const types[] = {"Name", "Size", "Close"};
    static const char* const colours[] = {"",          "blue",  "light blue", "red",
                                          "light red", "green", "light green"};
    for (int i = 0; i < rows.RowCount(); ++i) {
        const ResultRow& row = rows.Row(i);
        out.rows.append(row.sizeText + row.modifiedText + row.path.sliced(Root.size()) + u'|' +
                        QLatin1StringView(types[int(row.criterion)]) + u'|' +
                        QLatin1StringView(colours[int(row.color)]) + u'|' +
                        QString::number(row.group));
        out.anchors.append(row.anchor);
    }
    out.calls = host.calls;
    out.progress = host.calls.filter(u"progress:"_s);
    out.progress.erase(std::unique(out.progress.begin(), out.progress.end()), out.progress.end());
    return out;
}

// Names where equal names, case variants, similar chains and empty words occur often; or, with
// `commonWords`, names like "a1 b0 c2 d1" that share most words, which slows a word index.
QStringList RandomRecords(QRandomGenerator& random, int count, bool commonWords = false) {
    static const QStringList vocabulary =
        u"a|A|b|B|c|-|01|song|Song|x.mp3|X.MP3|été|ÉTÉ|"_s.split(u'|');
    static const QStringList folders{u"m/"_s, u"m/sub/"_s, u"p/"_s};
    static const QStringList sizes = u"|=0|=10|=20|=4294967306"_s.split(u'|');
    QStringList records;
    while (records.size() < count) {
        QStringList words(1 + random.bounded(commonWords ? 7 : 4));
        for (qsizetype i = 0; i < words.size(); ++i)
            words[i] = commonWords ? QChar(char16_t(u'a' + random.bounded(int(i) + 1))) +
                                         QString::number(random.bounded(3))
                                   : vocabulary.at(random.bounded(vocabulary.size()));
        if (commonWords && random.bounded(8) == 0)
            words[0] = words[0].toUpper();
        QString path = folders.at(random.bounded(folders.size())) + words.join(u' ');
        // Now and then the same file again, its size possibly read differently.
        if (!records.isEmpty() && random.bounded(8) == 0)
            path = records.at(random.bounded(records.size())).section(u'=', 0, 0);
        records.append(path + sizes.at(random.bounded(sizes.size())));
    }
    return records;
}

}  // namespace

class TestPasses : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The rules on small cases, all three passes run: files and rows separated by ";".
    void examples() {
        const std::pair<QString, QString> cases[] = {
            {u"a/p q r=7;b/p q r=7;c/P Q R=7"_s,  // alike in all three ways
             u"a/p q r|Name|light blue|1;b/p q r|Name|light blue|1;a/p q r|Size|red|2;"
             u"b/p q r|Size|red|2;c/P Q R|Size|red|2;a/p q r|Close|light green|3;"
             u"c/P Q R|Close|light green|3;b/p q r|Close|green|4"_s},
            // A~B, B~C, A not ~C: C joins under anchor B, next colour but a group of its own.
            {u"m/p q;m/p q r;m/q r s;m/u v;m/u v w;a/x=1;b/x=2;a/y=3;b/y=4;c/z=9;d/w=9"_s,
             u"a/x|Name|light blue|1;b/x|Name|light blue|1;a/y|Name|blue|2;b/y|Name|blue|2;"
             u"c/z|Size|light red|3;d/w|Size|light red|3;m/p q|Close|green|4;"
             u"m/p q r|Close|green|4;m/q r s|Close|light green|5;m/u v|Close|light green|6;"
             u"m/u v w|Close|light green|6"_s}};
        for (const auto& [records, rows] : cases)
            QCOMPARE(RunPasses(records.split(u';'), u"N S C"_s, false).rows.join(u';'), rows);
    }

    // On thousands of small random inventories the passes give exactly the rows, colours, groups,
    // results and progress of comparing every pair: passes in any order, small row
    // caps or none, a stop pressed at any point of the progress.
    void equalToComparingEveryPair() {
        QRandomGenerator random(20240314);
        for (int round = 0; round < 3000; ++round) {
            const int count = round % 25 < 2 ? 60 + random.bounded(60) : random.bounded(24);
            const QStringList records = RandomRecords(random, count, round % 2 == 1);
            QStringList steps;
            for (QChar pass : u"NSC"_s)
                if (random.bounded(4) != 0)
                    steps.append(pass);
            if (random.bounded(2) == 0)
                std::shuffle(steps.begin(), steps.end(), random);
            const int cap = random.bounded(6), limit = cap == 0   ? random.bounded(12)
                                                       : cap == 1 ? RunOptions::NoRowLimit
                                                                  : RunOptions::RowCapacity;
            const int stopAt = random.bounded(4) == 0 ? random.bounded(1, 101) : 0;
            const Outcome want = RunPasses(records, steps.join(u' '), true, limit, 0, stopAt);
            const Outcome got = RunPasses(records, steps.join(u' '), false, limit, 0, stopAt);
            // A pass that finds nothing never reads the stop request.
            QVERIFY2(got.rows == want.rows && got.anchors == want.anchors &&
                         got.results == want.results && got.progress == want.progress &&
                         got.calls.contains(u"stop?"_s) == want.calls.contains(u"stop?"_s),
                     qPrintable(u"round %1: "_s.arg(round) + records.join(u';')));
        }
    }

    // Giving up at any event ends the run without another call to the host.
    void abandonedAnywhere() {
        QRandomGenerator random(99);
        const QStringList records = RandomRecords(random, 80);
        const qsizetype events = RunPasses(records, u"N S C"_s, false).calls.count(u"events"_s);
        for (int n = 1; n <= events; ++n) {
            const Outcome out = RunPasses(records, u"N S C"_s, false, RunOptions::RowCapacity, n);
            QCOMPARE(out.results.back(), StepResult::Abandoned);
            QCOMPARE(out.calls.count(u"events"_s), n);
            QCOMPARE(out.calls.last(), u"events"_s);
        }
    }
};

TALLYROOK_TEST_MAIN(TestPasses)
#include "test_passes.moc"
