// The "Image" page through the window, on the simulated camera: a saved
// frame shows up (stretched, with its file name, filter, exposure, binning
// and figures, and a row in the frame table) on the main PC and on the
// second PC; and a 61-megapixel frame goes through saving and the preview
// without the window's thread being blocked beyond the bound.
#include "AppFixture.h"

#include "WidgetLookup.h"
#include "app/FrameHistoryTable.h"
#include "app/ImagePage.h"
#include "app/ImageView.h"
#include "app/TMainForm.h"
#include "platform/RunState.h"
#include "sequence/TSequenceFrame.h"

#include <QAbstractButton>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include "StallBound.h"

#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

namespace {
constexpr qint64 kBlockBoundMs = kStallBoundMs;

// A simulated camera of the given size that exposes at once, and a
// sequence of one item (filter 1, 1 s, binning 1, `repeat` frames, suffix R).
void prepare(AppFixture& fx, int width, int height, int repeat)
{
    fx.write("Tandexa.ini", QStringLiteral("[Camera]\r\nDriver=Simulator\r\nTimeScale=0\r\nSensorWidth=%1\r\n"
                                           "SensorHeight=%2\r\nStarCount=150\r\n").arg(width).arg(height).toUtf8());
    QDir(fx.dir->path()).mkdir("img");
    fx.write("Sequence1.seq", QStringLiteral("[Sequence]\r\nImgFileName=Img\r\nDestDir=%1\r\nIterations=1\r\n"
                                             "StartIteration=1\r\nDelayFrame=0\r\nPixelDither=0\r\nWhileGuideError=0.5\r\n"
                                             "AllowList=1\r\nItems=1\r\nItem0=1 1 1 %2 R-\r\n")
                                  .arg(fx.path("img"))
                                  .arg(repeat)
                                  .toUtf8());
}

void start(TMainForm& form, bool isMainPC)
{
    form.show();
    QTest::mouseClick(child<QAbstractButton>(form, "ConnectMaxImButton"), Qt::LeftButton);
    if (!isMainPC) {   // the main PC's command, as the link would set it
        form.State().ExposeReceived = true;
        form.State().ExposeSeconds = 100;
    }
    QTest::mouseClick(child<QAbstractButton>(form, "StartButton"), Qt::LeftButton);
}

QString text(TMainForm& form, const char* label) { return child<QLabel>(form, label)->text(); }
}

class TestMainFormImage : public QObject {
    Q_OBJECT
private slots:
    void savedFramesShowOnTheImagePage_data()
    {
        QTest::addColumn<bool>("isMainPC");
        QTest::newRow("main PC") << true;
        QTest::newRow("second PC") << false;
    }
    void savedFramesShowOnTheImagePage()
    {
        QFETCH(bool, isMainPC);
        AppFixture fx;
        prepare(fx, 640, 480, 2);
        TMainForm form(isMainPC);
        auto* page = child<ImagePage>(form, "TSImage");
        QCOMPARE(child<QTabWidget>(form, "Pannello")->tabText(2), QString("Image"));
        QSignalSpy shown(page, &ImagePage::PreviewShown);
        start(form, isMainPC);
        QCOMPARE(child<QLabel>(form, "StatusText")->text(), QString("Camera Idle"));

        QTRY_COMPARE(shown.count(), 2);
        const FrameHistoryTable& table = page->History();
        QCOMPARE(table.rowCount(), 2);
        for (int row = 0; row < 2; ++row) {
            QCOMPARE(table.Text(row, FrameHistoryTable::File), QString("Img-00%1R.fit").arg(row + 1));
            QCOMPARE(table.Text(row, FrameHistoryTable::Filter), QString("Red"));
            QCOMPARE(table.Text(row, FrameHistoryTable::Exposure), QString("1"));
            QVERIFY(table.Text(row, FrameHistoryTable::Background).toDouble() > 1000);
            QVERIFY(table.Text(row, FrameHistoryTable::Stars).toInt() > 20);
            QVERIFY(table.Text(row, FrameHistoryTable::Hfr).toDouble() > 0.5);
        }
        QCOMPARE(text(form, "ImageFileLabel"), QString("Img-002R.fit"));
        QVERIFY2(text(form, "ImageDetailsLabel").startsWith("Red, 1 s, bin 1x1, 640 x 480"),
                 qPrintable(text(form, "ImageDetailsLabel")));
        QVERIFY(text(form, "ImageTimeLabel").endsWith(" UTC"));
        QVERIFY(text(form, "ImageStarsLabel").startsWith("Stars "));
        const ImageView& view = page->View();
        QCOMPARE(view.FullImage().size(), QSize(640, 480));
        // Made for the view's size though the page was never shown.
        const QSize fit = view.FitImage().size(), inner = view.contentsRect().size();
        QVERIFY2(fit.width() <= inner.width() && fit.height() <= inner.height()
                     && (fit.width() >= inner.width() - 2 || fit.height() >= inner.height() - 2),
                 qPrintable(QString("%1 x %2 in %3 x %4").arg(fit.width()).arg(fit.height()).arg(inner.width()).arg(inner.height())));
        // 1:1 shows the full image with room to scroll.
        QTest::mouseClick(child<QAbstractButton>(form, "OneToOneButton"), Qt::LeftButton);
        QVERIFY(view.OneToOne());
        // The run is over: no progress left on screen.
        QVERIFY(text(form, "ProgressPhaseLabel").isEmpty());
        form.close();
    }

    void aLargeFrameNeverBlocksTheWindow()
    {
        AppFixture fx;
        prepare(fx, 9576, 6388, 1);
        TMainForm form(true);
        auto* page = child<ImagePage>(form, "TSImage");
        QSignalSpy shown(page, &ImagePage::PreviewShown);
        QElapsedTimer clock;
        qint64 last = 0, longest = 0;
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        ticker.setInterval(5);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            const qint64 now = clock.elapsed();
            longest = std::max(longest, now - last);
            last = now;
        });
        form.show();
        QTest::mouseClick(child<QAbstractButton>(form, "ConnectMaxImButton"), Qt::LeftButton);
        clock.start();
        ticker.start();
        QTest::mouseClick(child<QAbstractButton>(form, "StartButton"), Qt::LeftButton);
        QVERIFY(QFileInfo(fx.path("img/Img-001R.fit")).size() > 9576LL * 6388 * 2);
        QTRY_COMPARE_WITH_TIMEOUT(shown.count(), 1, 60000);
        ticker.stop();
        QCOMPARE(page->View().FullImage().size(), QSize(9576, 6388));
        QVERIFY(page->History().Text(0, FrameHistoryTable::Stars).toInt() > 20);
        qInfo("longest pass of the window's thread: %lld ms", longest);
        QVERIFY2(longest < kBlockBoundMs, qPrintable(QString("the window was blocked for %1 ms").arg(longest)));
        form.close();
    }
};

QTEST_MAIN(TestMainFormImage)
#include "tst_mainform_image.moc"
