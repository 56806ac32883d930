#include <QCoreApplication>
#include <QRandomGenerator>
#include <QTest>

#include "search/similarity.h"
#include "support/test_env.h"

using namespace tallyrook;
using namespace Qt::StringLiterals;

namespace {
const QLocale English(QLocale::English, QLocale::UnitedStates);
const QLocale Turkish(QLocale::Turkish, QLocale::Turkey);
}  // namespace

class TestSimilarity : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void splitsOnlyAtBlanks_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("words");
        QTest::newRow("one word") << u"song.mp3"_s << QStringList{u"song.mp3"_s};
        QTest::newRow("empty name") << QString() << QStringList{QString()};
        QTest::newRow("double blank") << u"a  b"_s << QStringList{u"a"_s, QString(), u"b"_s};
        QTest::newRow("leading and trailing")
            << u" a "_s << QStringList{QString(), u"a"_s, QString()};
        QTest::newRow("tab is no separator") << u"a\tb c"_s << QStringList{u"a\tb"_s, u"c"_s};
        QTest::newRow("extension stays") << u"My Song.mp3"_s << QStringList{u"My"_s, u"Song.mp3"_s};
    }
    void splitsOnlyAtBlanks() {
        QFETCH(QString, name);
        QFETCH(QStringList, words);
        QCOMPARE(SplitWords(name), words);
    }

    void examples_data() {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<double>("ratio");
        QTest::addColumn<bool>("similar");
        QTest::newRow("extension differs") << u"My Song.mp3"_s << u"My Song.wav"_s << 0.5 << false;
        QTest::newRow("two of three")
            << u"My Great Song.mp3"_s << u"My Great Song.wav"_s << 2.0 / 3 << true;
        QTest::newRow("case") << u"report.doc"_s << u"Report.doc"_s << 1.0 << true;
        QTest::newRow("a b c / a") << u"a b c"_s << u"a"_s << 1.0 / 3 << false;
        QTest::newRow("a b / a") << u"a b"_s << u"a"_s << 0.5 << false;
        QTest::newRow("a b c / a b") << u"a b c"_s << u"a b"_s << 2.0 / 3 << true;
        QTest::newRow("repeat counts twice") << u"a a"_s << u"a b c"_s << 2.0 / 3 << true;
        QTest::newRow("not symmetric") << u"a b c"_s << u"a a"_s << 1.0 / 3 << false;
        QTest::newRow("a a / a") << u"a a"_s << u"a"_s << 1.0 << true;
        QTest::newRow("a / a b") << u"a"_s << u"a b"_s << 0.5 << false;
        QTest::newRow("empty words match") << u"a  b"_s << u"x  y"_s << 1.0 / 3 << false;
        QTest::newRow("empty words count") << u" a"_s << u" a b"_s << 2.0 / 3 << true;
        QTest::newRow("accents") << u"ÉTÉ 2004.mp3"_s << u"été 2004.MP3"_s << 1.0 << true;
        QTest::newRow("no match") << u"x"_s << u"y"_s << 0.0 << false;
    }
    void examples() {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(double, ratio);
        QFETCH(bool, similar);
        QCOMPARE(WordMatchRatio(SplitWords(first), SplitWords(second), English), ratio);
        QCOMPARE(NamesAreSimilar(first, second, English), similar);
        PreparedNames prepared(English);
        const int a = prepared.Add(first);
        const int b = prepared.Add(second);
        QCOMPARE(prepared.Similar(a, b), similar);
        QCOMPARE(prepared.WordCount(a), SplitWords(first).size());
    }

    // Upper-casing follows the locale: in Turkish "i" becomes a dotted capital, so the ASCII
    // shortcut must not apply there.
    void upperCasingFollowsTheLocale() {
        if (Turkish.toUpper(u"i"_s) != u"\u0130"_s)
            QSKIP("Qt was built without locale-specific case mapping");
        QVERIFY(NamesAreSimilar(u"file.txt"_s, u"FILE.txt"_s, English));
        QVERIFY(!NamesAreSimilar(u"file.txt"_s, u"FILE.txt"_s, Turkish));
        QVERIFY(NamesAreSimilar(u"file.txt"_s, u"F\u0130LE.txt"_s, Turkish));
        PreparedNames prepared(Turkish);
        const int lower = prepared.Add(u"file.txt"_s);
        const int upper = prepared.Add(u"FILE.txt"_s);
        const int dotted = prepared.Add(u"F\u0130LE.txt"_s);
        QVERIFY(!prepared.Similar(lower, upper));
        QVERIFY(prepared.Similar(lower, dotted));
    }

    // The prepared form must decide every pair as the plain rule does, both ways round.
    void preparedAgreesWithTheRule() {
        const QStringList vocabulary{
            u"a"_s,     u"A"_s,     u"b"_s,   u"song"_s, u"SONG"_s, u"Song"_s,   u"-"_s, u"01"_s,
            u"x.mp3"_s, u"X.MP3"_s, u"été"_s, u"ÉTÉ"_s,  QString(), u"straße"_s, u"ı"_s, u"\t"_s};
        for (const QLocale& locale : {English, Turkish}) {
            QRandomGenerator random(7);
            PreparedNames prepared(locale);
            QStringList names;
            for (int i = 0; i < 300; ++i) {
                QStringList words;
                const int count = 1 + random.bounded(5);
                for (int w = 0; w < count; ++w)
                    words.append(vocabulary.at(random.bounded(vocabulary.size())));
                names.append(words.join(u' '));
                QCOMPARE(prepared.Add(names.back()), i);
            }
            for (int i = 0; i < names.size(); ++i) {
                for (int j = 0; j < names.size(); j += 1 + random.bounded(3)) {
                    QVERIFY2(prepared.Similar(i, j) == NamesAreSimilar(names[i], names[j], locale),
                             qPrintable(names[i] + u" | "_s + names[j]));
                }
            }
        }
    }

    // Enough distinct words to make the dictionary grow several times.
    void manyDistinctWords() {
        PreparedNames prepared(English);
        for (int i = 0; i < 5000; ++i)
            prepared.Add(QString(QString::number(i) + u" common "_s + QString::number(i * 7)));
        QVERIFY(prepared.DistinctWordCount() > 5000);
        const int again = prepared.Add(u"1234 COMMON 8638"_s);
        QVERIFY(prepared.Similar(again, 1234));
        QVERIFY(!prepared.Similar(again, 1235));
    }
};

TALLYROOK_TEST_MAIN(TestSimilarity)
#include "test_similarity.moc"
