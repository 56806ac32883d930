#include <QProcess>
#include <QTest>

#include "shared/translations.h"
#include "support/temp_tree.h"
#include "support/test_env.h"

using namespace tallyrook;
using namespace Qt::StringLiterals;

class TestTranslations : public QObject {
    Q_OBJECT

    test::TempTree tree_;
    const QString cli_ = QStringLiteral(TALLYROOK_CLI_PATH);

    // The program's output (stdout, then stderr) with only the language settings `changes`
    // (NAME=value).
    QString Run(const QString& program, const QStringList& args, const QStringList& changes) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"})
            env.remove(QString::fromLatin1(name));
        for (const QString& change : changes)
            env.insert(change.section(u'=', 0, 0), change.section(u'=', 1));
        QProcess process;
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(tree_.root());
        process.start(program, args);
        return !process.waitForFinished(30000) ? QString()
                                               : QString::fromUtf8(process.readAllStandardOutput() +
                                                                   process.readAllStandardError());
    }

private Q_SLOTS:
    void initTestCase() {
        tree_.file(u"a/Song.mp3"_s, 3);
        tree_.file(u"b/Song.mp3"_s, 3);
    }

    // The first language asked for that we have, English (the source) ending the search.
    void catalogueChosenInOrderOfPreference_data() {
        QTest::addColumn<QStringList>("languages");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("language alone") << QStringList{u"de"_s} << u"de"_s;
        QTest::newRow("with a country and encoding") << QStringList{u"de_AT.UTF-8"_s} << u"de"_s;
        QTest::newRow("as QLocale spells it") << QStringList{u"de-CH"_s} << u"de"_s;
        QTest::newRow("unknown first") << QStringList{u"xx"_s, u"de"_s} << u"de"_s;
        QTest::newRow("English first") << QStringList{u"en_GB"_s, u"de"_s} << QString();
        QTest::newRow("the C locale") << QStringList{u"C"_s, u"de"_s} << QString();
        QTest::newRow("unknown only") << QStringList{u"xx_YY"_s, u"C"_s} << QString();
    }
    void catalogueChosenInOrderOfPreference() {
        QFETCH(QStringList, languages);
        QFETCH(QString, chosen);
        QCOMPARE(CatalogueLanguage(languages), chosen);
    }

    // LANGUAGE, LC_ALL, LC_MESSAGES and LANG each choose German; an unknown language keeps
    // English, word for word.
    void commandLineHelpFollowsTheEnvironment_data() {
        QTest::addColumn<QStringList>("changes");
        QTest::addColumn<bool>("german");
        QTest::newRow("LANGUAGE") << QStringList{u"LANGUAGE=de"_s, u"LANG=C.UTF-8"_s} << true;
        QTest::newRow("LC_ALL") << QStringList{u"LC_ALL=de_DE.UTF-8"_s} << true;
        QTest::newRow("LC_MESSAGES") << QStringList{u"LC_MESSAGES=de_DE.UTF-8"_s} << true;
        QTest::newRow("LANG") << QStringList{u"LANG=de_DE.UTF-8"_s} << true;
        QTest::newRow("LANGUAGE before LANG")
            << QStringList{u"LANGUAGE=en"_s, u"LANG=de_DE.UTF-8"_s} << false;
        QTest::newRow("unknown") << QStringList{u"LANGUAGE=xx"_s, u"LANG=xx_YY.UTF-8"_s} << false;
    }
    void commandLineHelpFollowsTheEnvironment() {
        QFETCH(QStringList, changes);
        QFETCH(bool, german);
        const QString english = Run(cli_, {u"--help"_s}, {});
        QVERIFY(english.startsWith(u"usage: tallyrook-cli"_s));
        const QString help = Run(cli_, {u"--help"_s}, changes);
        if (german) {
            QVERIFY2(help.startsWith(u"Aufruf: tallyrook-cli"_s), qPrintable(help));
            // Options, field names and type words are the command's interface, in any language.
            for (const QString& word :
                 {u"--max-rows N"_s, u"  mtime  "_s, u"Name, Size, Close oder Copy"_s})
                QVERIFY2(help.contains(word), qPrintable(word));
        } else {
            QCOMPARE(help, english);
        }
#ifdef TALLYROOK_APP_PATH
        const QString desktop = Run(QStringLiteral(TALLYROOK_APP_PATH), {u"--help"_s}, changes);
        QCOMPARE(desktop.startsWith(u"Aufruf: tallyrook"_s), german);
#endif
    }

    // Messages are translated, the rows a script reads are not; Qt's own messages follow.
    void commandLineRowsStayAsTheyAre() {
        const QStringList german{u"LANGUAGE=de"_s};
        const QStringList args{u"--name"_s, u"--tsv"_s, u"--header"_s, u"a"_s, u"b"_s};
        QCOMPARE(Run(cli_, args, german), Run(cli_, args, {}));
        QVERIFY(Run(cli_, args, {}).startsWith(u"path\tsize\t"_s));
        QVERIFY(Run(cli_, {u"a"_s}, german)
                    .startsWith(u"tallyrook-cli: wählen Sie mindestens eines von --name"_s));
        QVERIFY(Run(cli_, {u"--bogus"_s}, german)
                    .startsWith(u"tallyrook-cli: Unbekannte Option 'bogus'."_s));
    }
};

TALLYROOK_TEST_MAIN(TestTranslations)
#include "test_translations.moc"
