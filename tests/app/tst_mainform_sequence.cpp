// The sequence editor on the window: the default sequence is loaded when the
// window opens and saved when it closes; each role greys what it does not use;
// the grid follows the filter names read from the camera.
#include "AppFixture.h"

#include "app/TMainForm.h"
#include "platform/IniFile.h"
#include "sequence/TSequenceFrame.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>

class TestMainFormSequence : public QObject {
    Q_OBJECT
private slots:
    void defaultSequenceIsLoadedAndSavedWithTheWindow()
    {
        AppFixture fx;
        fx.write("FilterSet.txt", "Red\r\nGreen\r\n");
        fx.write("Sequence1.seq", "[Sequence]\r\nImgFileName=M31\r\nIterations=3\r\nItems=1\r\nItem0=1 30 2 5 L-\r\n");
        {
            TMainForm form(true);
            form.show();
            QCOMPARE(form.SequenceFrame().Sequence().ImgFileName, QString("M31"));
            QCOMPARE(form.SequenceFrame().Sequence().Items.size(), 1);
            auto* imgEdit = form.findChild<QLineEdit*>("ImgFileEdit");
            QCOMPARE(imgEdit->text(), QString("M31"));
            imgEdit->setText("NGC7000");
            form.close();
        }
        const IniFile saved(fx.path("Sequence1.seq"));
        QCOMPARE(saved.ReadString("Sequence", "ImgFileName", ""), QString("NGC7000"));
        QCOMPARE(saved.ReadString("Sequence", "Item0", ""), QString("1 30 2 5 L-"));
        QCOMPARE(saved.ReadInteger("Sequence", "Iterations", 0), 3);
    }

    void eachRoleGreysWhatItDoesNotUse_data()
    {
        QTest::addColumn<bool>("isMainPC");
        QTest::newRow("main PC") << true;
        QTest::newRow("second PC") << false;
    }
    void eachRoleGreysWhatItDoesNotUse()
    {
        QFETCH(bool, isMainPC);
        AppFixture fx;
        TMainForm form(isMainPC);
        form.show();
        auto* allowList = form.findChild<QCheckBox*>("CBAllowList");
        QCOMPARE(allowList->isEnabled(), !isMainPC);
        if (isMainPC) {
            QCOMPARE(allowList->geometry().left(), 22);
            QCOMPARE(allowList->width(), 305);
        }
        QCOMPARE(allowList->text(), QString("Allow complete cicle without waiting for server new frame"));
        for (const char* name : {"DelayFrameLabel", "DelayFrameEdit", "UpDownDelayFrame", "DitheringLabel",
                                 "PixelDitheringLabel", "DitheringEdit", "WhileGuideLabel1", "WhileGuideEdit",
                                 "WhileGuideLabel2"})
            QVERIFY2(form.findChild<QWidget*>(name)->isEnabled() == isMainPC, name);
        QCOMPARE(form.findChild<QWidget*>("MySequenceFrame")->geometry(), QRect(0, 0, 456, 257));
    }

    void gridShowsTheNamesReadFromTheCamera()
    {
        AppFixture fx;
        fx.write("Sequence1.seq", "[Sequence]\r\nItems=2\r\nItem0=1 30 1 1 A-\r\nItem1=9 30 1 1 B-\r\n");
        TMainForm form(true);
        form.show();
        auto* grid = form.findChild<QTableWidget*>("SequenceGrid");
        // The heading is the grid's header, so table row 0 holds the first item.
        QCOMPARE(grid->item(0, 1)->text(), QString("Unknown"));   // no names known yet
        QTest::mouseClick(form.findChild<QAbstractButton*>("ConnectMaxImButton"), Qt::LeftButton);
        QCOMPARE(fx.boxes, QStringList());
        QCOMPARE(form.FilterList().value(1), QString("Red"));
        QCOMPARE(grid->item(0, 1)->text(), QString("Red"));       // the simulator's wheel
        QCOMPARE(grid->item(1, 1)->text(), QString("Unknown"));
    }
};

QTEST_MAIN(TestMainFormSequence)
#include "tst_mainform_sequence.moc"
