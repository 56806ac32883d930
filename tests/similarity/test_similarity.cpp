#include <QRandomGenerator>
#include <QTest>

#include "search/similarity.h"
#include "support/reference_rule.h"
#include "support/test_env.h"

using namespace tallyrook;
using namespace Qt::StringLiterals;

class TestSimilarity : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // "first|second|the first's words|matches/larger count", "|tr": upper-cased in Turkish.
    void pairs_data() {
        QTest::addColumn<QString>("pair");
        for (QStringView pair :
             {u"My Song.mp3|My Song.wav|[My][Song.mp3]|1/2", u"a b c|a b|[a][b][c]|2/3",
              u"a a|a b c|[a][a]|2/3", u"a b c|a a|[a][b][c]|1/3", u"a a|a|[a][a]|1/1",
              u" a  b |a b|[][a][][b][]|2/5", u" a| a b|[][a]|2/3", u"||[]|1/1",
              u"a\tb c|c a\tb|[a\tb][c]|2/2", u"ÉTÉ 2004.mp3|été 2004.MP3|[ÉTÉ][2004.mp3]|2/2",
              u"file.txt|FILE.txt|[file.txt]|1/1", u"file.txt|FILE.txt|[file.txt]|0/1|tr",
              u"file.txt|F\u0130LE.txt|[file.txt]|1/1|tr"})
            QTest::newRow(pair.toUtf8().constData()) << pair.toString();
    }
    void pairs() {
        QFETCH(QString, pair);
        const QStringList f = pair.split(u'|');
        const QLocale locale(f.size() > 4 ? QLocale::Turkish : QLocale::English);
        const double ratio = f[3].section(u'/', 0, 0).toDouble() / f[3].section(u'/', 1).toDouble();
        QCOMPARE(u'[' + SplitWords(f[0]).join(u"]["_s) + u']', f[2]);
        QCOMPARE(WordMatchRatio(SplitWords(f[0]), SplitWords(f[1]), locale), ratio);
        QCOMPARE(NamesAreSimilar(f[0], f[1], locale), ratio > 0.5);  // one half is not enough
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
