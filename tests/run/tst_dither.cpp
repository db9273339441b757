// The dithering step against the scripted guider in virtual time: offsets
// from the random draws, the settle, the guide-error wait and its threshold,
// and stops at each wait.
#include "RunRig.h"

#include "platform/LocaleInfo.h"
#include "run/GuideStarDither.h"

#include <QtTest>

namespace {
struct DitherCase {
    const char* name;
    qint64 dither, threshold;        // counts of ten-thousandths
    QList<unsigned> draws;
    QList<float> xErrors, yErrors;
    qint64 stopAt;                   // -1: no stop
    QString move;                    // GuiderMoveStar call, star at (100, 100)
    QStringList statuses;
    int errorReads;
    qint64 took;                     // virtual ms
};

const QString Waiting = "Waiting for error correction < ";

QList<DitherCase> cases()
{
    return {
        {"1 pixel: tenths 0 to 9, sign from the parity", 10000, 5000, {7, 1, 13, 4}, {0}, {0}, -1, "GuiderMoveStar(100.7,99.7)", {"Moving telescope", Waiting + "0.5"}, 1, 4600},
        {"1.25 pixel: N = 12", 12500, 5000, {11, 2, 25, 7}, {0}, {0}, -1, "GuiderMoveStar(98.9,100.1)", {"Moving telescope", Waiting + "0.5"}, 1, 4600},
        {"0.15 pixel: N = 1, no offset", 1500, 5000, {5, 3, 8, 2}, {0}, {0}, -1, "GuiderMoveStar(100,100)", {"Moving telescope", Waiting + "0.5"}, 1, 4600},
        {"0.05 pixel: N = 0, no offset, still waits", 500, 5000, {5, 3, 8, 2}, {0}, {0}, -1, "GuiderMoveStar(100,100)", {"Moving telescope", Waiting + "0.5"}, 1, 4600},
        {"threshold 0 waits for exact zeros", 10000, 0, {0, 1, 0, 1}, {0.1f, 0, 0}, {0, -0.2f, 0}, -1, "GuiderMoveStar(100,100)", {"Moving telescope", Waiting + "0"}, 3, 4800},
        {"0.6 exceeds 0.5, 0.5 is settled", 10000, 5000, {0, 1, 0, 1}, {0.3f, 0.5f}, {-0.6f, -0.5f}, -1, "GuiderMoveStar(100,100)", {"Moving telescope", Waiting + "0.5"}, 2, 4700},
        {"0.3 against 0.3 in single precision", 10000, 3000, {0, 1, 0, 1}, {0.3f}, {-0.3f}, -1, "GuiderMoveStar(100,100)", {"Moving telescope", Waiting + "0.3"}, 1, 4600},
        {"whole threshold in shortest form", 10000, 20000, {0, 1, 0, 1}, {2.5f, 2.0f}, {0}, -1, "GuiderMoveStar(100,100)", {"Moving telescope", Waiting + "2"}, 2, 4700},
        {"stop during the settle", 10000, 5000, {0, 1, 0, 1}, {9}, {9}, 2000, "GuiderMoveStar(100,100)", {"Moving telescope", "User break"}, 1, 2000},
        {"stop while the guider never settles", 10000, 5000, {0, 1, 0, 1}, {9}, {9}, 60000, "GuiderMoveStar(100,100)", {"Moving telescope", Waiting + "0.5", "User break"}, 555, 60000},
    };
}
}

class TestDither : public QObject {
    Q_OBJECT
private slots:
    void dithersAsTheTableSays()
    {
        for (const DitherCase& c : cases()) {
            RunRig rig;
            rig.Host.Sequence.PixelDither = Decimal4::FromCount(c.dither);
            rig.Host.Sequence.WhileGuideError = Decimal4::FromCount(c.threshold);
            rig.Random.Draws = c.draws;
            rig.Server.GuiderXErrors = c.xErrors;
            rig.Server.GuiderYErrors = c.yErrors;
            if (c.stopAt >= 0)
                rig.Waiter.At(c.stopAt, [&rig] { rig.Host.PressStop(); });
            GuideStarDither(rig.Host, rig.Waiter, rig.Random).DitherGuideStar();

            const QString row = QString::fromLatin1(c.name) + ": ";
            const QStringList calls = rig.Calls();
            QVERIFY2(calls.mid(0, 3) == QStringList({"GuiderXStarPosition()", "GuiderYStarPosition()", c.move}), qPrintable(row + calls.mid(0, 3).join(' ')));
            QVERIFY2(rig.Host.Entries("Status ") == c.statuses, qPrintable(row + rig.Host.Entries("Status ").join('|')));
            QVERIFY2(rig.Server.CallCount("GuiderXError") == c.errorReads && rig.Server.CallCount("GuiderYError") == c.errorReads,
                     qPrintable(row + QString::number(rig.Server.CallCount("GuiderXError"))));
            QVERIFY2(calls.last() == "GuiderYError()", qPrintable(row + calls.last()));
            QVERIFY2(rig.Waiter.Now() == c.took, qPrintable(row + QString::number(rig.Waiter.Now())));
            QVERIFY2(rig.Random.Draws.isEmpty(), qPrintable(row + "draws left"));
        }
    }

    void thresholdUsesTheLocaleSeparator()
    {
        const QChar old = DecimalSeparator();
        SetDecimalSeparator(',');
        RunRig rig;
        rig.Host.Sequence.PixelDither = Decimal4::FromCount(10000);
        rig.Host.Sequence.WhileGuideError = Decimal4::FromCount(2500);
        GuideStarDither(rig.Host, rig.Waiter, rig.Random).DitherGuideStar();
        SetDecimalSeparator(old);
        QCOMPARE(rig.Host.Entries("Status ").value(1), QString("Waiting for error correction < 0,25"));
    }

    void offsetsCoverEveryTenthWithBothSigns()
    {
        QSet<int> tenths;
        for (unsigned draw = 0; draw < 40; ++draw) {
            for (unsigned sign : {0u, 1u})
                tenths << qRound(GuideStarDither::Offset(draw, sign, 10) * 10);
        }
        QCOMPARE(tenths.size(), 19);   // -9 .. 9 (0 once)
        QCOMPARE(*std::max_element(tenths.begin(), tenths.end()), 9);
        QCOMPARE(*std::min_element(tenths.begin(), tenths.end()), -9);
    }
};

QTEST_GUILESS_MAIN(TestDither)
#include "tst_dither.moc"
