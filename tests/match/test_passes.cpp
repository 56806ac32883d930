#include <QRandomGenerator>
#include <QTest>

#include "reference_passes.h"
#include "support/recording_host.h"
#include "support/reference_rule.h"
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
    // Events and stops counted exactly: no look-up that keeps the rows waiting reads them.
    if (abandonAt > 0 || stopAtPercent > 0)
        host.options.readAhead.workers = 0;
    // Stops once any progress so far reached stopAtPercent; each call is looked at once.
    qsizetype scanned = 0;
    host.onPoll = [&](int) {
        for (; scanned < host.calls.size() && !host.stopRequested; ++scanned)
            host.stopRequested = stopAtPercent > 0 &&
                                 host.calls[scanned].startsWith(u"progress:") &&
                                 host.calls[scanned].sliced(9).toInt() >= stopAtPercent;
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
    for (int i = 0; i < rows.RowCount(); ++i) {
        const ResultRow& row = rows.Row(i);
        out.rows.append(row.sizeText + row.modifiedText + row.path.sliced(Root.size()) + u'|' +
                        TypeWord(row.criterion) + u'|' + ColourName(row.color) + u'|' +
                        QString::number(row.group));
        out.anchors.append(row.anchor);
    }
    out.calls = host.calls;
    out.progress = host.calls.filter(u"progress:"_s);
    out.progress.erase(std::unique(out.progress.begin(), out.progress.end()), out.progress.end());
    return out;
}

// A music library's names: "Artist - Album - 07 - Title.mp3", "07 - Title.mp3", "07 Title.flac"
// of few artists, numbers and words, so that many names share separators, numbers and artists
// and are similar or just short of it; now and then a repeated word, a double blank or a name
// long enough to be counted.
QString MusicName(QRandomGenerator& random) {
    static const QStringList artists = u"Amber|Amber Lane|The Owls|the owls"_s.split(u'|');
    static const QStringList words = u"Love|Night|Blue|Rain|Home|love|"_s.split(u'|');
    const auto title = [&](int most) {
        QStringList drawn(1 + random.bounded(most));
        for (QString& word : drawn)
            word = words.at(random.bounded(words.size()));
        return drawn.join(u' ');
    };
    const QString number = u"0"_s + QString::number(1 + random.bounded(3));
    switch (random.bounded(8)) {
        case 0:
            return number + u" - "_s + title(3) + u".mp3"_s;
        case 1:
            return number + u' ' + title(3) + u".flac"_s;
        case 2:  // 2 x 13 words and more: counted, or listing sets it is never read by
            return QStringList(13 + random.bounded(14), title(2)).join(u" - "_s);
        default:
            return artists.at(random.bounded(artists.size())) + u" - "_s + title(2) + u" - "_s +
                   number + u" - "_s + title(3) + u".mp3"_s;
    }
}

// A library where most names have partners: tracks "Amber - Blue Rain - 02 - Love.mp3" of whole
// albums named alike, photos "Beach 2019 - 003.jpg" and documents "Plan 2020 final.docx", so that
// groups are large and span folders.
QString DenseName(QRandomGenerator& random) {
    static const QStringList artists = u"Amber|The Owls|Lena Voss"_s.split(u'|');
    static const QStringList words = u"Love|Night|Blue|Rain|rain"_s.split(u'|');
    static const QStringList events = u"Beach|Zoo|beach"_s.split(u'|');
    static const QStringList stems = u"Plan|Report"_s.split(u'|');
    static const QStringList suffixes = u"| final| final (1)| draft"_s.split(u'|');
    const auto pick = [&](const QStringList& list) { return list.at(random.bounded(list.size())); };
    const QString number = u"00"_s + QString::number(1 + random.bounded(3));
    const QString year = QString::number(2019 + random.bounded(2));
    switch (random.bounded(4)) {
        case 0:
            return pick(events) + u' ' + year + u" - "_s + number + u".jpg"_s;
        case 1:
            return pick(stems) + u' ' + year + pick(suffixes) + u".docx"_s;
        default:
            return pick(artists) + u" - "_s + pick(words) + u' ' + pick(words) + u" - "_s +
                   number.sliced(1) + u" - "_s + pick(words) + u".mp3"_s;
    }
}

enum class Shape { Mixed, CommonWords, Music, LongNames, Dense };

// Names where equal names, case variants, similar chains and empty words occur often; names like
// "a1 b0 c2 d1" that share most words, which slows a word index; a music library's; names of
// 10 to 45 of 60 words, whose sets are too many for the budget of a small inventory; or a library
// where most names have partners.
QStringList RandomRecords(QRandomGenerator& random, int count, Shape shape = Shape::Mixed) {
    static const QStringList vocabulary =
        u"a|A|b|B|c|-|01|song|Song|x.mp3|X.MP3|été|ÉTÉ|"_s.split(u'|');
    static const QStringList folders{u"m/"_s, u"m/sub/"_s, u"p/"_s};
    static const QStringList sizes = u"|=0|=10|=20|=4294967306"_s.split(u'|');
    const bool commonWords = shape == Shape::CommonWords;
    QStringList records;
    while (records.size() < count) {
        QStringList words(1 + random.bounded(commonWords ? 7 : 4));
        for (qsizetype i = 0; i < words.size(); ++i)
            words[i] = commonWords ? QChar(char16_t(u'a' + random.bounded(int(i) + 1))) +
                                         QString::number(random.bounded(3))
                                   : vocabulary.at(random.bounded(vocabulary.size()));
        if (commonWords && random.bounded(8) == 0)
            words[0] = words[0].toUpper();
        if (shape == Shape::LongNames) {
            words.resize(10 + random.bounded(36));
            for (QString& word : words)
                word = u"w"_s + QString::number(random.bounded(60));
        }
        const QString name = shape == Shape::Music   ? MusicName(random)
                             : shape == Shape::Dense ? DenseName(random)
                                                     : words.join(u' ');
        QString path = folders.at(random.bounded(folders.size())) + name;
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
            const Shape shape = Shape(round % 5);
            const int count = round % 25 < 3 || ((shape == Shape::Music || shape == Shape::Dense) &&
                                                 round / 5 % 5 == 0)
                                  ? 60 + random.bounded(60)
                                  : random.bounded(24);
            const QStringList records = RandomRecords(random, count, shape);
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

    // Pairs at the very edge of the bounds that pick which lists an anchor reads: a similar name
    // and one a word short of it, every word common (in many other names) so that sets of words
    // find them, and the shared words the most common, so that they come last.
    void tightBounds_data() {
        QTest::addColumn<QString>("anchor");
        QTest::addColumn<QString>("partner");
        QTest::addColumn<QString>("nearMiss");
        QTest::addColumn<QString>("mostCommon");
        QTest::newRow("sets of three, 4 of 6")
            << u"a b c d e f"_s << u"c d e f g h"_s << u"d e f g h i"_s << u"c d e f"_s;
        QTest::newRow("pairs, 2 of 3") << u"a b c"_s << u"x b c"_s << u"x y c"_s << u"b c"_s;
        // The anchor's "-" counts three times, the partner's once.
        QTest::newRow("repeated word")
            << u"a - b - x - y z w"_s << u"a - b c d e f"_s << u"a - c d e f g"_s << u"-"_s;
        QTest::newRow("empty words") << u"a  b  c"_s << u" a"_s << u" z"_s << QString();
        QTest::newRow("a word worth a half, counted")
            << u"x x x y"_s << u"x p q r s"_s << u"x p q r s t"_s << u"x"_s;
    }
    void tightBounds() {
        QFETCH(QString, anchor);
        QFETCH(QString, partner);
        QFETCH(QString, nearMiss);
        QFETCH(QString, mostCommon);
        QVERIFY(NamesAreSimilar(anchor, partner) && !NamesAreSimilar(anchor, nearMiss));
        QStringList fillers;
        for (const QString& name : {anchor, partner, nearMiss, mostCommon}) {
            for (const QString& word : SplitWords(name)) {
                for (int i = 0; i < 8; ++i)
                    fillers.append(u"f/"_s + word + u" f"_s + QString::number(fillers.size()));
            }
        }
        // The other way round the rule is not the same.
        for (const bool anchorFirst : {true, false}) {
            const QStringList records =
                QStringList{u"m/"_s + (anchorFirst ? anchor : nearMiss), u"n/"_s + partner,
                            u"p/"_s + (anchorFirst ? nearMiss : anchor)} +
                fillers;
            const Outcome got = RunPasses(records, u"C"_s, false);
            QCOMPARE(got.rows, RunPasses(records, u"C"_s, true).rows);
            QVERIFY(!anchorFirst || got.rows.join(u';').contains(u"n/"_s + partner + u'|'));
        }
    }

    // Giving up at any event ends the run without another call to the host.
    void abandonedAnywhere() {
        QRandomGenerator random(99);
        const QStringList records = RandomRecords(random, 80);
        const qsizetype events =
            RunPasses(records, u"N S C"_s, false, RunOptions::RowCapacity, INT_MAX)
                .calls.count(u"events"_s);
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
