#include <QAbstractItemModelTester>
#include <QBrush>
#include <QSignalSpy>
#include <QTest>

#include "results_window/results_model.h"
#include "shared/global.h"
#include "support/test_env.h"

using tallyrook::Global;
using tallyrook::ResultRow;
using tallyrook::ResultsModel;

namespace {

ResultRow MakeRow(const QString& path, bool checked = false, const QString& type = {}) {
    ResultRow row;
    row.path = path;
    row.sizeText = QStringLiteral("1 KB");
    row.modifiedText = QStringLiteral("01/02/2024 10:11:12");
    row.type = type.isEmpty() ? QStringLiteral("Name") : type;
    row.checked = checked;
    return row;
}

QStringList Paths(const ResultsModel& model) {
    QStringList paths;
    for (int k = 0; k < model.RowCount(); ++k)
        paths.append(model.Row(k).path);
    return paths;
}

QList<bool> Marks(const ResultsModel& model) {
    QList<bool> marks;
    for (int k = 0; k < model.RowCount(); ++k)
        marks.append(model.IsChecked(k));
    return marks;
}

}  // namespace

class TestResultsModel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void behavesAsAModelThroughItsWholeLife() {
        Global global;
        ResultsModel model(global);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        for (int k = 0; k < 600; ++k)
            model.AppendRow(MakeRow(QStringLiteral("/m/%1.mp3").arg(k % 300)));
        model.setData(model.index(3, 2), Qt::Checked, Qt::CheckStateRole);
        model.UncheckAll();
        // Few blocks, then many blocks (the reset path).
        model.RemoveRowsOfPaths({QStringLiteral("/m/1.mp3"), QStringLiteral("/m/2.mp3")});
        QSet<QString> many;
        for (int k = 10; k < 300; k += 2)
            many.insert(QStringLiteral("/m/%1.mp3").arg(k));
        model.RemoveRowsOfPaths(many);
        global.SetRowColor(0, QStringLiteral("blue"));
        model.RowColorsChanged();
        model.ClearRows();
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Last Modified"));
    }

    void paintsTheColourTableByRowPosition_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QColor>("background");  // invalid: the list's own colours
        QTest::newRow("blue") << QStringLiteral("blue") << QColor(212, 234, 255);
        QTest::newRow("light blue") << QStringLiteral("light blue") << QColor(242, 242, 255);
        QTest::newRow("red") << QStringLiteral("red") << QColor(255, 212, 213);
        QTest::newRow("light red") << QStringLiteral("light red") << QColor(255, 233, 212);
        QTest::newRow("green") << QStringLiteral("green") << QColor(212, 255, 212);
        QTest::newRow("light green") << QStringLiteral("light green") << QColor(242, 255, 242);
        QTest::newRow("white") << QStringLiteral("white") << QColor();
        QTest::newRow("empty") << QString() << QColor();
        QTest::newRow("other case") << QStringLiteral("Blue") << QColor();
        QTest::newRow("trailing blank") << QStringLiteral("light blue ") << QColor();
    }
    void paintsTheColourTableByRowPosition() {
        QFETCH(QString, name);
        QFETCH(QColor, background);
        Global global;
        ResultsModel model(global);
        model.AppendRow(MakeRow(QStringLiteral("/a")));
        model.AppendRow(MakeRow(QStringLiteral("/b")));
        model.AppendRow(MakeRow(QStringLiteral("/c")));  // beyond RowColors
        global.SetRowColor(0, QStringLiteral("green"));
        global.SetRowColor(1, name);
        for (int c = 0; c < 4; ++c) {
            const QVariant bg = model.data(model.index(1, c), Qt::BackgroundRole);
            const QVariant fg = model.data(model.index(1, c), Qt::ForegroundRole);
            if (background.isValid()) {
                QCOMPARE(bg.value<QBrush>().color(), background);
                QCOMPARE(fg.value<QBrush>().color(), QColor(Qt::black));
            } else {
                QVERIFY(!bg.isValid());
                QVERIFY(!fg.isValid());  // text not forced to black either
            }
        }
        QCOMPARE(model.data(model.index(0, 2), Qt::BackgroundRole).value<QBrush>().color(),
                 QColor(212, 255, 212));
        QVERIFY(!model.data(model.index(2, 0), Qt::BackgroundRole).isValid());
    }

    void aMarkFollowsTheExactPathOnly() {
        Global global;
        ResultsModel model(global);
        model.AppendRow(MakeRow(QStringLiteral("/m/Song.mp3")));
        model.AppendRow(MakeRow(QStringLiteral("/m/song.mp3")));
        model.AppendRow(MakeRow(QStringLiteral("/m/Song.mp3"), false, QStringLiteral("Size")));
        model.AppendRow(MakeRow(QStringLiteral("/n/Song.mp3")));
        model.AppendRow(MakeRow(QStringLiteral("/m/Song.mp3"), false, QStringLiteral("Close")));
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

        // Any cell of the row carries the new mark to every row of the same path.
        QVERIFY(model.setData(model.index(2, 3), Qt::Checked, Qt::CheckStateRole));
        QCOMPARE(Marks(model), (QList<bool>{true, false, true, false, true}));
        QCOMPARE(changed.count(), 3);
        for (const QList<QVariant>& signal : changed)
            QCOMPARE(signal.at(0).toModelIndex().data().toString(), QStringLiteral("/m/Song.mp3"));

        // The path that differs only in case is a separate file.
        model.setData(model.index(1, 0), Qt::Checked, Qt::CheckStateRole);
        model.setData(model.index(4, 0), Qt::Unchecked, Qt::CheckStateRole);
        QCOMPARE(Marks(model), (QList<bool>{false, true, false, false, false}));

        // Other roles never change a row.
        QVERIFY(!model.setData(model.index(0, 0), QStringLiteral("/x"), Qt::EditRole));
        QCOMPARE(model.Row(0).path, QStringLiteral("/m/Song.mp3"));
    }

    void checkedPathsAreUniqueAtTheirLastPlace() {
        Global global;
        ResultsModel model(global);
        QCOMPARE(model.UniqueCheckedPaths(), QStringList());
        // Checked at positions 2, 5 and 9 (1-based); 2 and 9 are the same file.
        for (int position = 1; position <= 10; ++position) {
            const bool checked = position == 2 || position == 5 || position == 9;
            QString path = QStringLiteral("/f/%1").arg(position);
            if (position == 9)
                path = QStringLiteral("/f/2");
            model.AppendRow(MakeRow(path, checked));
        }
        QCOMPARE(model.UniqueCheckedPaths(),
                 (QStringList{QStringLiteral("/f/5"), QStringLiteral("/f/2")}));

        // Three rows of one file: one entry. Case makes a different file.
        model.ClearRows();
        model.AppendRow(MakeRow(QStringLiteral("/g/A"), true));
        model.AppendRow(MakeRow(QStringLiteral("/g/a"), true));
        model.AppendRow(MakeRow(QStringLiteral("/g/A"), true, QStringLiteral("Size")));
        model.AppendRow(MakeRow(QStringLiteral("/g/A"), true, QStringLiteral("Close")));
        QCOMPARE(model.UniqueCheckedPaths(),
                 (QStringList{QStringLiteral("/g/a"), QStringLiteral("/g/A")}));
    }

    void removingPathsKeepsEveryOtherRowAndMark_data() {
        QTest::addColumn<int>("rows");
        QTest::newRow("few blocks") << 40;
        QTest::newRow("many blocks") << 2000;
    }
    void removingPathsKeepsEveryOtherRowAndMark() {
        QFETCH(int, rows);
        Global global;
        ResultsModel model(global);
        QSet<QString> doomed;
        QStringList expectedPaths;
        QList<bool> expectedMarks;
        for (int k = 0; k < rows; ++k) {
            // Every third row goes; kept rows alternate their marks.
            const QString path = QStringLiteral("/r/%1").arg(k % (rows / 2));
            const bool checked = (k / 3) % 2 == 0;
            model.AppendRow(MakeRow(path, checked));
            if ((k % (rows / 2)) % 3 == 1)
                doomed.insert(path);
        }
        for (int k = 0; k < rows; ++k) {
            if (!doomed.contains(model.Row(k).path)) {
                expectedPaths.append(model.Row(k).path);
                expectedMarks.append(model.Row(k).checked);
            }
        }
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        doomed.insert(QStringLiteral("/not/listed"));
        model.RemoveRowsOfPaths(doomed);
        QCOMPARE(Paths(model), expectedPaths);
        QCOMPARE(Marks(model), expectedMarks);
        model.RemoveRowsOfPaths({});
        QCOMPARE(model.RowCount(), expectedPaths.size());
    }
};

TALLYROOK_TEST_GUI_MAIN(TestResultsModel)
#include "test_results_model.moc"
