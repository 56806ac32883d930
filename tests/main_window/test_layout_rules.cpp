#include <QTest>

#include "main_window/layout_rules.h"
#include "support/test_env.h"

using namespace tallyrook;

class TestLayoutRules : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void resizeRulesFollowTheWindow() {
        MainLayout layout;
        ApplyResizeRules(layout, 12000, 8000);
        QCOMPARE(layout.listWidth, 11400);
        QCOMPARE(layout.listHeight, 5300);
        QCOMPARE(layout.frameWidth, 11660);
        QCOMPARE(layout.frameHeight, 5680);
        QCOMPARE(layout.progressLeft, 120);
        QCOMPARE(layout.progressWidth, 11660);
        QCOMPARE(layout.progressTop, 7080);
        // The frame's right edge stays 220 twips inside the window, its bottom 1000 above it.
        QCOMPARE(layout.frameLeft + layout.frameWidth, 12000 - 220);
        QCOMPARE(1320 + layout.frameHeight, 8000 - 1000);
    }

    void refusedSizesKeepTheirLastValue() {
        MainLayout layout;
        ApplyResizeRules(layout, 12000, 8000);
        // Too small for the list: its sizes stay, the frame and bar follow the kept list, the bar's
        // top (a position, never refused) still moves.
        ApplyResizeRules(layout, 500, 2000);
        QCOMPARE(layout.listWidth, 11400);
        QCOMPARE(layout.listHeight, 5300);
        QCOMPARE(layout.frameWidth, 11660);
        QCOMPARE(layout.frameHeight, 5680);
        QCOMPARE(layout.progressTop, 1080);
        // Exactly zero is a size like any other.
        ApplyResizeRules(layout, 600, 2700);
        QCOMPARE(layout.listWidth, 0);
        QCOMPARE(layout.listHeight, 0);
        QCOMPARE(layout.frameWidth, 260);
    }

    void centreFormUsesTheWholeScreen() {
        QCOMPARE(CenterFormPosition(QSizeF(19200, 14400), QSizeF(10800, 6600)),
                 QPointF(4200, 2900));
        // Halves are kept; a window larger than the screen goes off its edge.
        QCOMPARE(CenterFormPosition(QSizeF(24000, 18000), QSizeF(10605, 6240)),
                 QPointF(6697.5, 4880));
        QCOMPARE(CenterFormPosition(QSizeF(9000, 9000), QSizeF(12000, 8000)), QPointF(-1500, -500));
    }

    void storedNumbers_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected");  // -99999: unusable
        QTest::newRow("absent") << QString() << -99999;
        QTest::newRow("word") << QStringLiteral("wide") << -99999;
        QTest::newRow("infinite") << QStringLiteral("inf") << -99999;
        QTest::newRow("above 16 bits") << QStringLiteral("32768") << -99999;
        QTest::newRow("below 16 bits") << QStringLiteral("-32769") << -99999;
        QTest::newRow("whole") << QStringLiteral("12000") << 12000;
        QTest::newRow("spaces") << QStringLiteral(" 1 ") << 1;
        QTest::newRow("single precision text") << QStringLiteral("7995.4") << 7995;
        QTest::newRow("half to even down") << QStringLiteral("2.5") << 2;
        QTest::newRow("half to even up") << QStringLiteral("3.5") << 4;
        QTest::newRow("rounds into range") << QStringLiteral("32767.4") << 32767;
        QTest::newRow("rounds out of range") << QStringLiteral("32767.5") << -99999;
    }

    void storedNumbers() {
        QFETCH(QString, text);
        QFETCH(int, expected);
        const std::optional<int> value = ParseStoredInt16(text);
        if (expected == -99999)
            QVERIFY2(!value, qPrintable(QString::number(value.value_or(0))));
        else
            QCOMPARE(value, std::optional<int>(expected));
    }
};

TALLYROOK_TEST_MAIN(TestLayoutRules)
#include "test_layout_rules.moc"
