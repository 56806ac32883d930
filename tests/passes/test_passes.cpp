#include <QCoreApplication>
#include <QRandomGenerator>
#include <QTest>

#include "reference_passes.h"
#include "search/match_passes.h"
#include "search/result_list.h"
#include "search/search_host.h"
#include "shared/global.h"
#include "support/test_env.h"

using namespace tallyrook;
using namespace Qt::StringLiterals;
using Kind = tallyrook::test::ReferencePasses::Kind;

namespace {

// Records what the passes ask of the window; can request a stop or give up on cue.
class PassHost : public SearchHost {
public:
    bool ExactFilename() override { return true; }
    bool ExactFilesize() override { return true; }
    bool SimilarFilename() override { return true; }
    QStringList FolderEntries() override { return {}; }
    void SetCaption(const QString&) override { Call(); }
    void SetProgress(int percent) override {
        Call();
        if (progress.isEmpty() || progress.back() != percent)
            progress.append(percent);
    }
    void SetBusy(bool) override { Call(); }
    void SetRunning(bool) override { Call(); }
    void ShowMessage(const QString&, const QString&) override {
        Call();
        ++messages;
    }
    bool AskYesNo(const QString&, const QString&) override {
        Call();
        return true;
    }
    bool ProcessPendingEvents() override {
        Call();
        ++events;
        if (abandonAt > 0 && events >= abandonAt) {
            abandoned = true;
            return false;
        }
        // The user presses stop once they see this many rows.
        if (stopAtRows >= 0 && rows && rows->RowCount() >= stopAtRows)
            stop = true;
        return true;
    }
    void ClearStopRequest() override { stop = false; }
    bool StopRequested() override {
        Call();
        ++polls;
        if (stopAtPoll > 0 && polls >= stopAtPoll)
            stop = true;
        return stop;
    }
    void ShowResults() override { Call(); }

    const ResultList* rows = nullptr;
    int stopAtRows = -1;
    int stopAtPoll = 0;
    int abandonAt = 0;
    bool stop = false;
    bool abandoned = false;
    int callsAfterAbandon = 0;
    int events = 0;
    int polls = 0;
    int messages = 0;
    QList<int> progress;

private:
    void Call() {
        if (abandoned)
            ++callsAfterAbandon;
    }
};

const QString Root = u"/nonexistent-tallyrook-test/"_s;

struct Record {
    QString folder;
    QString name;
    qint64 size = Global::NoSize;
};

Global MakeInventory(const QList<Record>& records) {
    Global global;
    for (const Record& r : records)
        global.AddRecord(Root + r.folder, r.name, r.size);
    return global;
}

// A pass to run. Its first row is the row count before it plus 1 or, with `earlier`, a row
// before that, chosen from the seed.
struct Step {
    Kind kind;
    int earlier = 0;
};

struct Outcome {
    QList<QStringList> rows;  // path, size text, date text, type
    QStringList colors;
    QList<PassResult> results;
    QList<int> progress;
    int polls = 0;
};

QStringList Fields(const ResultRow& row) {
    return {row.path, row.sizeText, row.modifiedText, row.type};
}

Outcome RunPasses(const Global& inventory, const QList<Step>& steps, int rowLimit, int stopAtRows,
                  bool reference) {
    Global global = inventory;
    ResultRows rows;
    PassHost host;
    host.rows = &rows;
    host.stopAtRows = stopAtRows;
    Outcome outcome;
    MatchPasses passes(host, global, rows);
    passes.SetRowLimit(rowLimit);
    test::ReferencePasses plain(host, global, rows, rowLimit);
    for (const Step& step : steps) {
        const int firstRow =
            step.earlier > 0 ? 1 + step.earlier % (rows.RowCount() + 1) : rows.RowCount() + 1;
        PassResult result;
        if (reference) {
            result = plain.Run(step.kind, firstRow);
        } else {
            switch (step.kind) {
                case Kind::Name:
                    result = passes.ExactFilenamePass();
                    break;
                case Kind::Size:
                    result = passes.ExactFilesizePass(firstRow);
                    break;
                case Kind::Close:
                    result = passes.SimilarFilenamePass(firstRow);
                    break;
            }
        }
        outcome.results.append(result);
        if (result != PassResult::Completed)
            break;
    }
    for (int i = 0; i < rows.RowCount(); ++i) {
        outcome.rows.append(Fields(rows.Row(i)));
        outcome.colors.append(reference ? plain.RowColors().value(i) : global.RowColor(i));
    }
    outcome.progress = host.progress;
    outcome.polls = host.polls;
    return outcome;
}

Outcome Run(const Global& inventory, const QList<Step>& steps, int rowLimit = 32767) {
    return RunPasses(inventory, steps, rowLimit, -1, false);
}

const QList<Step> AllThree{{Kind::Name}, {Kind::Size}, {Kind::Close}};

// Names from a small vocabulary, so that equal names, case variants, chains of similar names,
// repeated and empty words (leading, trailing and double blanks) all occur often.
QString RandomName(QRandomGenerator& random) {
    static const QStringList vocabulary{u"a"_s,     u"A"_s,   u"b"_s,    u"B"_s,    u"c"_s,
                                        u"-"_s,     u"01"_s,  u"song"_s, u"Song"_s, u"x.mp3"_s,
                                        u"X.MP3"_s, u"été"_s, u"ÉTÉ"_s,  QString()};
    const int count = 1 + random.bounded(4);
    QStringList words;
    for (int i = 0; i < count; ++i)
        words.append(vocabulary.at(random.bounded(vocabulary.size())));
    return words.join(u' ');
}

QList<Record> RandomRecords(QRandomGenerator& random, int count) {
    static const QStringList folders{u"m/"_s, u"m/sub/"_s, u"p/"_s};
    static const QList<qint64> sizes{Global::NoSize, 0, 10, 20, (qint64(1) << 32) + 10};
    QList<Record> records;
    for (int i = 0; i < count; ++i) {
        if (!records.isEmpty() && random.bounded(8) == 0) {
            // The same file recorded twice, its size possibly read differently.
            Record again = records.at(random.bounded(records.size()));
            if (random.bounded(2) == 0)
                again.size = sizes.at(random.bounded(sizes.size()));
            records.append(again);
            continue;
        }
        records.append({folders.at(random.bounded(folders.size())), RandomName(random),
                        sizes.at(random.bounded(sizes.size()))});
    }
    return records;
}

QString Describe(const QList<Record>& records) {
    QStringList lines;
    for (const Record& r : records)
        lines.append(u"["_s + r.folder + r.name + u"] "_s + QString::number(r.size));
    return lines.join(u'\n');
}

QString Describe(const Outcome& outcome) {
    QStringList lines;
    for (qsizetype i = 0; i < outcome.rows.size(); ++i)
        lines.append(outcome.rows[i].join(u'|') + u' ' + outcome.colors.value(i));
    for (PassResult result : outcome.results)
        lines.append(u"result "_s + QString::number(int(result)));
    return lines.join(u'\n');
}

}  // namespace

class TestPasses : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void emptyAndSingleInventories() {
        const Outcome none = Run(Global(), AllThree);
        QVERIFY(none.rows.isEmpty());
        QVERIFY(none.progress.isEmpty());
        const Outcome one = Run(MakeInventory({{u"m/"_s, u"a"_s, 5}}), AllThree);
        QVERIFY(one.rows.isEmpty());
        QCOMPARE(one.progress, QList<int>{100});
        QCOMPARE(one.polls, 0);
    }

    void groupsAndColours() {
        // Three files named alike form one group in the run's first, light colour.
        const Outcome three =
            Run(MakeInventory(
                    {{u"a/"_s, u"x"_s}, {u"b/"_s, u"x"_s}, {u"c/"_s, u"y"_s}, {u"d/"_s, u"x"_s}}),
                {{Kind::Name}});
        QCOMPARE(three.rows.size(), 3);
        QCOMPARE(three.rows[0][0], Root + u"a/x"_s);
        QCOMPARE(three.rows[2][0], Root + u"d/x"_s);
        QCOMPARE(three.rows[1][3], u"Name"_s);
        QCOMPARE(three.colors, QStringList(3, u"light blue"_s));

        // Two name groups leave the size pass starting with "light red", one with "red".
        const QList<Record> twoGroups{{u"a/"_s, u"x"_s, 1}, {u"b/"_s, u"x"_s, 2},
                                      {u"a/"_s, u"y"_s, 3}, {u"b/"_s, u"y"_s, 4},
                                      {u"c/"_s, u"z"_s, 9}, {u"d/"_s, u"w"_s, 9}};
        Outcome sizes = Run(MakeInventory(twoGroups), AllThree);
        QCOMPARE(sizes.colors.mid(4), (QStringList{u"light red"_s, u"light red"_s}));
        sizes = Run(MakeInventory(twoGroups.mid(2)), AllThree);
        QCOMPARE(sizes.colors.mid(2), (QStringList{u"red"_s, u"red"_s}));

        // Case differs: no exact name match, but a close one.
        const Outcome cased =
            Run(MakeInventory({{u"a/"_s, u"a.txt"_s}, {u"b/"_s, u"A.txt"_s}}), AllThree);
        QCOMPARE(cased.rows.size(), 2);
        QCOMPARE(cased.rows[0][3], u"Close"_s);
        QCOMPARE(cased.colors, (QStringList{u"light green"_s, u"light green"_s}));
    }

    void aFileMatchingEverythingHasThreeRows() {
        const Outcome all = Run(MakeInventory({{u"a/"_s, u"My Great Song.mp3"_s, 7},
                                               {u"b/"_s, u"My Great Song.mp3"_s, 7},
                                               {u"c/"_s, u"my great song.mp3"_s, 7}}),
                                AllThree);
        QStringList types;
        for (const QStringList& row : all.rows) {
            if (row[0] == Root + u"a/My Great Song.mp3"_s)
                types.append(row[3]);
        }
        QCOMPARE(types, (QStringList{u"Name"_s, u"Size"_s, u"Close"_s}));
    }

    void similarityChains() {
        // A~B, B~C, A not ~C: C is added under the listed anchor B, in the colour the next new
        // group takes too.
        const Outcome chain = Run(MakeInventory({{u"m/"_s, u"p q"_s},
                                                 {u"m/"_s, u"p q r"_s},
                                                 {u"m/"_s, u"q r s"_s},
                                                 {u"m/"_s, u"u v"_s},
                                                 {u"m/"_s, u"u v w"_s}}),
                                  {{Kind::Close}});
        QCOMPARE(chain.rows.size(), 5);
        QCOMPARE(chain.colors, (QStringList{u"light green"_s, u"light green"_s, u"green"_s,
                                            u"green"_s, u"green"_s}));
    }

    void sameFileRecordedTwice() {
        const QList<Record> twice{{u"m/"_s, u"a"_s, 5}, {u"m/"_s, u"a"_s, 5}};
        const Outcome exact = Run(MakeInventory(twice), AllThree);
        QCOMPARE(exact.rows.size(), 2);
        QCOMPARE(exact.rows[0][3], u"Name"_s);
        QCOMPARE(exact.rows[1][3], u"Size"_s);
        QCOMPARE(exact.colors, (QStringList{u"light blue"_s, u"red"_s}));
    }

    // Unknown sizes are not equal sizes.
    void unsizedEntriesNeverMatchBySize() {
        const Outcome unsized = Run(
            MakeInventory(
                {{u"m/"_s, u"a"_s}, {u"p/"_s, u"b"_s}, {u"q/"_s, u"c"_s, 0}, {u"r/"_s, u"d"_s, 0}}),
            {{Kind::Size}});
        QCOMPARE(unsized.rows.size(), 2);
        QCOMPARE(unsized.rows[0][0], Root + u"q/c"_s);
    }

    // The heart of it: on thousands of small random inventories the passes give exactly the
    // rows, order, types, colours, results and progress of comparing every pair, with the passes
    // run in sequence, odd first rows, small row caps and a stop pressed on seeing N rows.
    void equalToComparingEveryPair() {
        QRandomGenerator random(20240314);
        for (int round = 0; round < 3000; ++round) {
            const int count = round % 50 == 0 ? 60 + random.bounded(60) : random.bounded(24);
            const QList<Record> records = RandomRecords(random, count);
            const Global inventory = MakeInventory(records);
            QList<Step> steps;
            for (Kind kind : {Kind::Name, Kind::Size, Kind::Close}) {
                if (random.bounded(4) != 0)
                    steps.append({kind, random.bounded(5) == 0 ? 1 + random.bounded(100) : 0});
            }
            if (random.bounded(2) == 0)
                std::shuffle(steps.begin(), steps.end(), random);
            const int rowLimit = random.bounded(4) == 0 ? random.bounded(12) : 32767;
            const int stopAtRows = random.bounded(4) == 0 ? random.bounded(10) : -1;
            const Outcome expected = RunPasses(inventory, steps, rowLimit, stopAtRows, true);
            const Outcome actual = RunPasses(inventory, steps, rowLimit, stopAtRows, false);
            const QByteArray context =
                (u"round "_s + QString::number(round) + u"\n"_s + Describe(records) +
                 u"\nexpected:\n"_s + Describe(expected) + u"\nactual:\n"_s + Describe(actual))
                    .toUtf8();
            QVERIFY2(actual.results == expected.results, context.constData());
            QVERIFY2(actual.rows == expected.rows, context.constData());
            QVERIFY2(actual.colors == expected.colors, context.constData());
            QVERIFY2(actual.progress == expected.progress, context.constData());
        }
    }

    void stopAtTheNthMatch() {
        QRandomGenerator random(99);
        const Global inventory = MakeInventory(RandomRecords(random, 80));
        const Outcome full = Run(inventory, AllThree);
        QVERIFY(full.polls > 10);
        for (int n = 1; n <= full.polls; ++n) {
            Global global = inventory;
            ResultRows rows;
            PassHost host;
            host.stopAtPoll = n;
            MatchPasses passes(host, global, rows);
            PassResult result = passes.ExactFilenamePass();
            if (result == PassResult::Completed)
                result = passes.ExactFilesizePass(rows.RowCount() + 1);
            if (result == PassResult::Completed)
                result = passes.SimilarFilenamePass(rows.RowCount() + 1);
            QCOMPARE(result, PassResult::Stopped);
            QCOMPARE(host.polls, n);
            // What was listed is exactly the start of the full list.
            QVERIFY(rows.RowCount() <= full.rows.size());
            for (int i = 0; i < rows.RowCount(); ++i)
                QCOMPARE(Fields(rows.Row(i)), full.rows[i]);
        }
        // A pass that finds nothing never reads the stop request.
        const Outcome nothing =
            Run(MakeInventory({{u"m/"_s, u"a"_s, 1}, {u"m/"_s, u"b"_s, 2}}), AllThree);
        QCOMPARE(nothing.polls, 0);
    }

    void abandonedAtOnce() {
        QRandomGenerator random(5);
        const Global inventory = MakeInventory(RandomRecords(random, 40));
        for (int at = 1; at <= 40; at += 7) {
            for (Kind kind : {Kind::Name, Kind::Size, Kind::Close}) {
                Global global = inventory;
                ResultRows rows;
                PassHost host;
                host.abandonAt = at;
                MatchPasses passes(host, global, rows);
                const PassResult result = kind == Kind::Name   ? passes.ExactFilenamePass()
                                          : kind == Kind::Size ? passes.ExactFilesizePass(1)
                                                               : passes.SimilarFilenamePass(1);
                QCOMPARE(result, PassResult::Abandoned);
                QCOMPARE(host.callsAfterAbandon, 0);
            }
        }
    }

    // The real cap: one run lists at most 32,767 rows, says nothing itself, keeps what it found.
    void rowCapOfARun() {
        QList<Record> records;
        for (int i = 0; i < 20000; ++i)
            records.append({u"f"_s + QString::number(i) + u'/', u"same.txt"_s, i % 2});
        Global global = MakeInventory(records);
        ResultRows rows;
        PassHost host;
        MatchPasses passes(host, global, rows);
        QCOMPARE(passes.ExactFilenamePass(), PassResult::Completed);
        QCOMPARE(rows.RowCount(), 20000);
        QCOMPARE(passes.ExactFilesizePass(rows.RowCount() + 1), PassResult::RowsFull);
        QCOMPARE(rows.RowCount(), MatchPasses::RowCapacity);
        QCOMPARE(global.RowColor(MatchPasses::RowCapacity - 1), u"light red"_s);
        QCOMPARE(host.messages, 0);
        // Full before the pass even starts: the first match ends it.
        QCOMPARE(passes.SimilarFilenamePass(rows.RowCount() + 1), PassResult::Completed);
        records.append({u"g/"_s, u"same.TXT"_s, 3});
        Global more = MakeInventory(records);
        ResultRows moreRows;
        MatchPasses again(host, more, moreRows);
        again.SetRowLimit(0);
        QCOMPARE(again.SimilarFilenamePass(1), PassResult::RowsFull);
        QCOMPARE(moreRows.RowCount(), 0);
    }
};

TALLYROOK_TEST_MAIN(TestPasses)
#include "test_passes.moc"
