#include <QRandomGenerator>
#include <QTest>

#include "match/similarity.h"
#include "support/reference_rule.h"
#include "support/test_env.h"

using namespace tallyrook;
using namespace Qt::StringLiterals;

class TestSimilarity : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The first name's words, then matches of its words over the larger word count; upper-cased
    // in English unless the row says Turkish.
    void pairs_data() {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("words");
        QTest::addColumn<double>("ratio");
        QTest::addColumn<bool>("turkish");
        const auto row = [](const char16_t* first, const char16_t* second, const char16_t* words,
                            double ratio, bool turkish = false) {
            QTest::newRow(QString::fromUtf16(first).toUtf8().constData())
                << QString::fromUtf16(first) << QString::fromUtf16(second)
                << QString::fromUtf16(words) << ratio << turkish;
        };
        row(u"My Song.mp3", u"My Song.wav", u"[My][Song.mp3]", 1 / 2.);
        row(u"a b c", u"a b", u"[a][b][c]", 2 / 3.);
        row(u"a a", u"a b c", u"[a][a]", 2 / 3.);
        row(u"a b c", u"a a", u"[a][b][c]", 1 / 3.);
        row(u"a a", u"a", u"[a][a]", 1.);
        row(u" a  b ", u"a b", u"[][a][][b][]", 2 / 5.);
        row(u" a", u" a b", u"[][a]", 2 / 3.);
        row(u"", u"", u"[]", 1.);
        row(u"a\tb c", u"c a\tb", u"[a\tb][c]", 1.);
        row(u"ÉTÉ 2004.mp3", u"été 2004.MP3", u"[ÉTÉ][2004.mp3]", 1.);
        row(u"file.txt", u"FILE.txt", u"[file.txt]", 1.);
        row(u"file.txt", u"FILE.txt", u"[file.txt]", 0., true);
        row(u"file.txt", u"F\u0130LE.txt", u"[file.txt]", 1., true);
    }
    void pairs() {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(QString, words);
        QFETCH(double, ratio);
        QFETCH(bool, turkish);
        const QLocale locale(turkish ? QLocale::Turkish : QLocale::English);
        QCOMPARE(u'[' + SplitWords(first).join(u"]["_s) + u']', words);
        QCOMPARE(WordMatchRatio(SplitWords(first), SplitWords(second), locale), ratio);
        QCOMPARE(NamesAreSimilar(first, second, locale), ratio > 0.5);  // one half is not enough
    }

    // The prepared form decides random pairs as the plain rule does, its dictionary growing.
    void preparedAgreesWithTheRule() {
        const QStringList vocabulary =
            u"a|A|z|Z|song|SONG|x.mp3|X.MP3|été|ÉTÉ||straße|ı|\t|file|FILE|F\u0130LE"_s.split(u'|');
        for (const QLocale& locale : {QLocale(QLocale::English), QLocale(QLocale::Turkish)}) {
            QRandomGenerator random(7);
            PreparedNames prepared(locale);
            QStringList names(300);
            for (QString& name : names) {
                QStringList words(1 + random.bounded(5));
                for (QString& word : words)
                    word = vocabulary.at(random.bounded(vocabulary.size()));
                prepared.Add(name = words.join(u' '));
                prepared.Add(u"%1a %1b %1c %1d"_s.arg(prepared.NameCount()));
            }
            for (int k = 0; k < 300 * 300; k += 1 + random.bounded(3))
                QVERIFY2(prepared.Similar(k / 300 * 2, k % 300 * 2) ==
                             NamesAreSimilar(names[k / 300], names[k % 300], locale),
                         qPrintable(names[k / 300] + u" | "_s + names[k % 300]));
        }
    }
};

TALLYROOK_TEST_MAIN(TestSimilarity)
#include "test_similarity.moc"
