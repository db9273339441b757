// The sequence editor: loading into the fields, the grid, the in-place item
// editor and its checks, saving with and without a dialog.
#include "sequence/TSelDirectoryForm.h"
#include "sequence/TSequenceFrame.h"

#include "controls/TMyEdit.h"
#include "controls/TUpDown.h"
#include "platform/FileDialog.h"
#include "platform/LocaleInfo.h"
#include "platform/MessageBox.h"
#include "platform/ProgramDir.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "WidgetLookup.h"

namespace {
QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    f.write(bytes);
}

QByteArray threeItems()
{
    return "[Sequence]\r\nImgFileName=M42\r\nDestDir=/data/\r\nIterations=3\r\nStartIteration=2\r\n"
           "DelayFrame=5\r\nPixelDither=2.5\r\nWhileGuideError=0.5\r\nAllowList=1\r\nItems=3\r\n"
           "Item0=0 300 1 2 L-\r\nItem1=2 600 2 1 -\r\nItem2=7 60 1 4 X-\r\n";
}
}

class TestSequenceFrame : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QStringList m_filters{"Red", "Green", "Blue"};
    bool m_running = false;
    QStringList m_boxes;
    int m_answer = MsgBox::ResultNo;
    MessageBoxHandler m_previousBox;
    FileDialog::Handler m_previousDialog;
    std::function<bool(FileDialog&)> m_dialog;
    QStringList m_dialogs;

    std::unique_ptr<TSequenceFrame> makeFrame(const QByteArray& file = threeItems())
    {
        if (!file.isEmpty())
            writeAll(m_dir.filePath("Sequence1.seq"), file);
        auto frame = std::make_unique<TSequenceFrame>();
        frame->SetFilterList(&m_filters);
        frame->SetRunningFlag(&m_running);
        frame->show();
        if (!file.isEmpty())
            frame->LoadSequence(true);
        return frame;
    }
    static QString cell(const TSequenceFrame& f, int row, int column)
    {
        const QTableWidgetItem* item = child<QTableWidget>(f, "SequenceGrid")->item(row - 1, column);
        return item ? item->text() : QString();
    }
    static void setItemFields(TSequenceFrame& f, int filter, const QString& exposure, const QString& repeat)
    {
        child<QComboBox>(f, "CBFilter")->setCurrentIndex(filter);
        child<TMyEdit>(f, "ExposureEdit")->setText(exposure);
        child<TMyEdit>(f, "RepeatEdit")->setText(repeat);
    }

private slots:
    void initTestCase()
    {
        SetProgramDir(m_dir.path());
        SetDecimalSeparator(QChar('.'));
        m_previousBox = SetMessageBoxHandler([this](const QString& text, const QString& caption, int flags) {
            m_boxes << QString("%1|%2|%3").arg(text, caption).arg(flags);
            return (flags & 0x0F) == 4 ? m_answer : MsgBox::ResultOk;
        });
        m_previousDialog = FileDialog::SetHandler([this](FileDialog& d) {
            m_dialogs << QString("%1|%2|%3|%4").arg(d.kind == FileDialog::Kind::Open ? "open" : "save",
                                                    d.FileName, d.Filter, d.InitialDir);
            return m_dialog ? m_dialog(d) : false;
        });
    }
    void cleanupTestCase()
    {
        SetMessageBoxHandler(m_previousBox);
        FileDialog::SetHandler(m_previousDialog);
    }
    void init()
    {
        m_boxes.clear();
        m_dialogs.clear();
        m_dialog = nullptr;
        m_running = false;
        m_answer = MsgBox::ResultNo;
        m_filters = {"Red", "Green", "Blue"};
    }

    void formAndEditorAreLaidOutByTheGrid()
    {
        auto f = makeFrame(QByteArray());
        QCOMPARE(f->size(), QSize(456, 257));
        auto* grid = child<QTableWidget>(*f, "SequenceGrid");
        QCOMPARE(grid->columnCount(), 6);
        QCOMPARE(grid->rowCount(), 39);
        const int widths[] = {32, 96, 64, 64, 64, 64};
        const char* headers[] = {"N.", "Filter", "Suffix", "Exposure", "Bin", "Repeat"};
        for (int c = 0; c < 6; ++c) {
            QCOMPARE(grid->columnWidth(c), widths[c]);
            QCOMPARE(grid->horizontalHeaderItem(c)->text(), QString(headers[c]));
        }
        auto* filter = child<QWidget>(*f, "CBFilter");
        QCOMPARE(filter->x(), 32 + grid->x() + 2);
        QCOMPARE(filter->width(), 96 + 2);
        auto* suffix = child<QWidget>(*f, "SuffixEdit");
        QCOMPARE(suffix->x(), filter->x() + filter->width());
        QCOMPARE(suffix->width(), 65);
        auto* exposure = child<QWidget>(*f, "ExposureEdit");
        auto* upExposure = child<QWidget>(*f, "UpDownExposure");
        QCOMPARE(exposure->x(), suffix->x() + suffix->width());
        QCOMPARE(exposure->width(), 64 - upExposure->width());
        QCOMPARE(upExposure->x(), exposure->x() + exposure->width() + 1);
        auto* binning = child<QWidget>(*f, "BinningEdit");
        QCOMPARE(binning->x(), upExposure->x() + upExposure->width());
        QCOMPARE(child<QWidget>(*f, "PanOkCancel")->x(), binning->x());
        QCOMPARE(child<TMyEdit>(*f, "ImgFileEdit")->text(), QString("Img"));
        QCOMPARE(child<TMyEdit>(*f, "SequenceFileEdit")->text(), QString("Sequence1.seq"));
        QCOMPARE(child<TMyEdit>(*f, "IterationsEdit")->text(), QString("1"));
        QCOMPARE(child<TMyEdit>(*f, "DelayFrameEdit")->text(), QString("0"));
        QCOMPARE(child<TMyEdit>(*f, "DitheringEdit")->text(), QString());
        QVERIFY(!f->IsEditingItem());
        QVERIFY(!f->IsSequenceChanged());
        for (const char* name : {"SuffixEdit", "ExposureEdit", "BinningEdit", "RepeatEdit"})
            QCOMPARE(child<TMyEdit>(*f, name)->maxLength(), 8);
    }

    void textFieldsTakeNoMoreThanTheFileGivesBack()
    {
        // 2047 characters is what a read returns whole; typing past it is
        // refused by the field rather than cut by the next load.
        auto f = makeFrame();
        for (const char* name : {"ImgFileEdit", "DestDirEdit"}) {
            auto* edit = child<TMyEdit>(*f, name);
            QCOMPARE(edit->maxLength(), 2047);
            edit->setText(QString(2047, QChar('a')));
            QTest::keyClicks(edit, "bc");
            QCOMPARE(edit->text().size(), 2047);
        }
    }

    void loadPutsTheFileIntoFieldsAndGrid()
    {
        auto f = makeFrame();
        QCOMPARE(child<TMyEdit>(*f, "SequenceFileEdit")->text(), m_dir.filePath("Sequence1.seq"));
        QCOMPARE(child<TMyEdit>(*f, "ImgFileEdit")->text(), QString("M42"));
        QCOMPARE(child<TMyEdit>(*f, "DestDirEdit")->text(), QString("/data/"));
        QCOMPARE(child<TMyEdit>(*f, "IterationsEdit")->text(), QString("3"));
        QCOMPARE(child<TMyEdit>(*f, "StartIterationEdit")->text(), QString("2"));
        QCOMPARE(child<TMyEdit>(*f, "DelayFrameEdit")->text(), QString("5"));
        QCOMPARE(child<TMyEdit>(*f, "DitheringEdit")->text(), QString("2.5"));
        QCOMPARE(child<TMyEdit>(*f, "WhileGuideEdit")->text(), QString("0.5"));
        QVERIFY(child<QCheckBox>(*f, "CBAllowList")->isChecked());
        QVERIFY(!f->IsSequenceChanged());
        QCOMPARE(f->Sequence().StartIteration, 2);
        const QStringList row1{"1", "Red", "L", "300", "1", "2"};
        for (int c = 0; c < 6; ++c)
            QCOMPARE(cell(*f, 1, c), row1[c]);
        QCOMPARE(cell(*f, 2, 1), QString("Blue"));
        QCOMPARE(cell(*f, 3, 1), QString("Unknown"));
        QCOMPARE(cell(*f, 4, 0), QString());
        QVERIFY(m_boxes.isEmpty());

        // The open button asks; cancelling changes nothing.
        f->SequenceOpenButtonClick();
        QCOMPARE(m_dialogs, QStringList{"open||Sequence file|*.seq|" + m_dir.path()});
        QCOMPARE(f->Sequence().ImgFileName, QString("M42"));
    }

    void malformedItemLinesAreReportedOnLoad()
    {
        auto f = makeFrame("[Sequence]\r\nItems=2\r\nItem0=0 1 1 1 a-\r\nItem1=oops\r\n");
        QCOMPARE(f->Sequence().Items.size(), 2);
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY(m_boxes[0].startsWith("Items 2 of "));
        QVERIFY(m_boxes[0].endsWith("|Warning|48"));
    }

    void clickingAnEmptyRowAppendsAtTheEnd()
    {
        auto f = makeFrame();
        auto* grid = child<QTableWidget>(*f, "SequenceGrid");
        // A real click on the first empty row opens the editor over it.
        const QRect r = grid->visualRect(grid->model()->index(3, 2));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, r.center());
        QVERIFY(f->IsEditingItem());
        QVERIFY(!grid->isEnabled());
        const int top = (4 - 1 + 1) * 19 + grid->y() + 1;
        QCOMPARE(child<QWidget>(*f, "CBFilter")->y(), top);
        QCOMPARE(child<QWidget>(*f, "RepeatEdit")->y(), top);
        QCOMPARE(child<QWidget>(*f, "PanOkCancel")->y(), top + 18 + 2);
        QCOMPARE(child<QComboBox>(*f, "CBFilter")->count(), 3);
        QCOMPARE(child<QComboBox>(*f, "CBFilter")->currentIndex(), -1);
        QCOMPARE(child<TMyEdit>(*f, "RepeatEdit")->text(), QString("1"));
        setItemFields(*f, 1, "120", "3");
        child<TMyEdit>(*f, "SuffixEdit")->setText("G");
        QTest::mouseClick(child<QPushButton>(*f, "OkButton"), Qt::LeftButton);
        QVERIFY(!f->IsEditingItem());
        QVERIFY(grid->isEnabled());
        QCOMPARE(f->Sequence().Items.size(), 4);
        QVERIFY(f->Sequence().Items[3] == (TSequenceItem{1, 120, 1, 3, "G"}));
        QCOMPARE(cell(*f, 4, 1), QString("Green"));
        QVERIFY(!f->IsSequenceChanged());   // item edits do not count

        // A second click on the row that is still selected opens it again.
        QCOMPARE(grid->currentRow(), 3);
        const QRect again = grid->visualRect(grid->model()->index(3, grid->currentColumn()));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, again.center());
        QVERIFY(f->IsEditingItem());
        QCOMPARE(child<TMyEdit>(*f, "SuffixEdit")->text(), QString("G"));
        f->CancelButtonClick();
        // Keys move the selection (and open the editor) without a press.
        QTest::keyClick(grid, Qt::Key_Up);
        QVERIFY(f->IsEditingItem());
        QCOMPARE(grid->currentRow(), 2);
        f->CancelButtonClick();
        const QRect third = grid->visualRect(grid->model()->index(2, grid->currentColumn()));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, third.center());
        QVERIFY(f->IsEditingItem());
        f->CancelButtonClick();

        // The tenth row appends as the fifth item: no gaps.
        f->SelectRow(10);
        setItemFields(*f, 0, "5", "0");
        f->OkButtonClick();
        QVERIFY(m_boxes.isEmpty());   // a new item with Repeat 0 is not questioned
        QCOMPARE(f->Sequence().Items.size(), 5);
        QCOMPARE(f->Sequence().Items[4].Repeat, 0);
        QCOMPARE(cell(*f, 5, 0), QString("5"));
        QCOMPARE(cell(*f, 10, 0), QString());
    }

    void repeatZeroAsksBeforeDeleting()
    {
        auto f = makeFrame();
        f->SelectRow(2);
        QCOMPARE(child<TMyEdit>(*f, "ExposureEdit")->text(), QString("600"));
        child<TMyEdit>(*f, "RepeatEdit")->setText("0");
        m_answer = MsgBox::ResultNo;
        f->OkButtonClick();
        QCOMPARE(m_boxes, QStringList{"Delete current item?|Advice|36"});
        QCOMPARE(f->Sequence().Items.size(), 3);
        QCOMPARE(f->Sequence().Items[1].Repeat, 0);
        QCOMPARE(cell(*f, 2, 5), QString("0"));

        m_boxes.clear();
        f->SelectRow(2);
        m_answer = MsgBox::ResultYes;
        f->OkButtonClick();
        QCOMPARE(m_boxes, QStringList{"Delete current item?|Advice|36"});
        QCOMPARE(f->Sequence().Items.size(), 2);
        QCOMPARE(f->Sequence().Items[1].Suffix, QString("X"));
        QCOMPARE(cell(*f, 2, 0), QString("2"));
        QCOMPARE(cell(*f, 3, 0), QString());   // no left-over row
    }

    void okChecksFieldsInOrderAndKeepsTheEditorOpen()
    {
        auto f = makeFrame();
        f->SelectRow(4);
        f->OkButtonClick();
        child<QComboBox>(*f, "CBFilter")->setCurrentIndex(0);
        child<TMyEdit>(*f, "ExposureEdit")->clear();   // its up-down keeps a position
        f->OkButtonClick();
        child<TMyEdit>(*f, "ExposureEdit")->setText("10");
        child<TMyEdit>(*f, "BinningEdit")->clear();
        f->OkButtonClick();
        child<TMyEdit>(*f, "BinningEdit")->setText("2");
        child<TMyEdit>(*f, "RepeatEdit")->clear();
        f->OkButtonClick();
        QCOMPARE(m_boxes, (QStringList{"Filter type required|Error|16", "Exposure time required|Error|16",
                                       "Binning mode required|Error|16", "Repeat counter required|Error|16"}));
        QVERIFY(f->IsEditingItem());
        QCOMPARE(f->Sequence().Items.size(), 3);
        child<TMyEdit>(*f, "RepeatEdit")->setText("1");
        f->OkButtonClick();
        QCOMPARE(f->Sequence().Items.size(), 4);
        QVERIFY(f->Sequence().Items[3] == (TSequenceItem{0, 10, 2, 1, ""}));

        // A typed value beyond the up-down's range: the item takes the
        // up-down's clamped position.
        f->SelectRow(4);
        child<TMyEdit>(*f, "RepeatEdit")->setText("500");
        f->OkButtonClick();
        QCOMPARE(f->Sequence().Items[3].Repeat, 100);
    }

    void unknownFilterMustBeChosenAgain()
    {
        m_filters = {"Red"};
        auto f = makeFrame();
        QCOMPARE(cell(*f, 2, 1), QString("Unknown"));
        f->SelectRow(2);
        QCOMPARE(child<QComboBox>(*f, "CBFilter")->currentIndex(), -1);
        f->OkButtonClick();
        QCOMPARE(m_boxes, QStringList{"Filter type required|Error|16"});
        f->CancelButtonClick();
        QVERIFY(!f->IsEditingItem());
        QVERIFY(f->Sequence().Items[1] == (TSequenceItem{2, 600, 2, 1, ""}));

        // Without any filter names nothing can be confirmed.
        m_filters.clear();
        f->FillGrid();
        for (int row = 1; row <= 3; ++row)
            QCOMPARE(cell(*f, row, 1), QString("Unknown"));
        f->SelectRow(4);
        QCOMPARE(child<QComboBox>(*f, "CBFilter")->count(), 0);
        f->OkButtonClick();
        QCOMPARE(f->Sequence().Items.size(), 3);
    }

    void itemsBeyondTheThirtyNinthStayEditable()
    {
        QByteArray file = "[Sequence]\r\nItems=45\r\n";
        for (int i = 0; i < 45; ++i)
            file += QString("Item%1=0 %2 1 1 s%1-\r\n").arg(i).arg(i + 1).toLatin1();
        auto f = makeFrame(file);
        auto* grid = child<QTableWidget>(*f, "SequenceGrid");
        QCOMPARE(grid->rowCount(), 46);
        QCOMPARE(cell(*f, 45, 2), QString("s44"));
        f->SelectRow(45);
        QCOMPARE(child<TMyEdit>(*f, "SuffixEdit")->text(), QString("s44"));
        // The editor sits over the row, which the grid scrolled into view.
        const QRect r = grid->visualRect(grid->model()->index(44, 1));
        QCOMPARE(child<QWidget>(*f, "CBFilter")->y(), grid->y() + grid->frameWidth() + 19 + r.y());
        const QWidget* panel = child<QWidget>(*f, "PanOkCancel");
        QVERIFY(panel->y() + panel->height() <= f->height());
        child<TMyEdit>(*f, "SuffixEdit")->setText("last");
        f->OkButtonClick();
        QCOMPARE(f->Sequence().Items[44].Suffix, QString("last"));
        f->SelectRow(46);
        setItemFields(*f, 2, "9", "1");
        f->OkButtonClick();
        QCOMPARE(f->Sequence().Items.size(), 46);
        QCOMPARE(grid->rowCount(), 47);
        QCOMPARE(cell(*f, 46, 1), QString("Blue"));
    }

    void runningMovesTheSelectionWithoutAnEditor()
    {
        auto f = makeFrame();
        m_running = true;
        f->SelectRow(2);
        QCOMPARE(f->SelectedRow(), 2);
        QVERIFY(!f->IsEditingItem());
        QVERIFY(child<QTableWidget>(*f, "SequenceGrid")->isEnabled());
    }

    void parameterEditsGoStraightIntoTheModel()
    {
        auto f = makeFrame();
        QTest::keyClicks(child<TMyEdit>(*f, "ImgFileEdit"), "b");
        QCOMPARE(f->Sequence().ImgFileName, QString("M42b"));
        QVERIFY(f->IsSequenceChanged());
        child<TMyEdit>(*f, "DitheringEdit")->setText("0.75");
        QCOMPARE(f->Sequence().PixelDither.Count(), qint64(7500));
        // Emptying a field leaves the stored value as it was.
        child<TMyEdit>(*f, "DitheringEdit")->clear();
        QCOMPARE(f->Sequence().PixelDither.Count(), qint64(7500));
        child<TMyEdit>(*f, "ImgFileEdit")->clear();
        QCOMPARE(f->Sequence().ImgFileName, QString("M42b"));
        child<QCheckBox>(*f, "CBAllowList")->setChecked(false);
        QCOMPARE(f->Sequence().AllowList, false);

        // A number too large for the model: the framework's error, the
        // fields handled before it keep their values.
        child<TMyEdit>(*f, "ImgFileEdit")->setText("Orion");
        QVERIFY(m_boxes.isEmpty());
        child<TMyEdit>(*f, "IterationsEdit")->setText("99999999999");
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY(m_boxes[0].startsWith("'99999999999' is not a valid integer value.|"));
        QCOMPARE(f->Sequence().ImgFileName, QString("Orion"));
        QCOMPARE(f->Sequence().Iterations, 3);

        // The run's pass counter goes through the same handler.
        child<TMyEdit>(*f, "IterationsEdit")->setText("4");
        f->SetStartIteration(3);
        QCOMPARE(child<TMyEdit>(*f, "StartIterationEdit")->text(), QString("3"));
        QCOMPARE(f->Sequence().StartIteration, 3);
    }

    void saveAsksForANameOnlyAfterParameterEdits()
    {
        auto f = makeFrame();
        const QString current = m_dir.filePath("Sequence1.seq");
        f->SelectRow(1);
        child<TMyEdit>(*f, "SuffixEdit")->setText("Lum");
        f->OkButtonClick();
        f->SequenceSaveButtonClick();
        QVERIFY(m_dialogs.isEmpty());
        QVERIFY(readAll(current).contains("Item0=0 300 1 2 Lum-\r\n"));

        child<TMyEdit>(*f, "ImgFileEdit")->setText("M31");
        f->SequenceSaveButtonClick();   // cancelled: nothing written, still changed
        QCOMPARE(m_dialogs, QStringList{"save|" + current + "|Sequence file|*.seq|" + m_dir.path()});
        QVERIFY(readAll(current).contains("ImgFileName=M42\r\n"));
        QVERIFY(f->IsSequenceChanged());

        const QString other = m_dir.filePath("Other.seq");
        m_dialog = [&](FileDialog& d) { d.FileName = other; return true; };
        QVERIFY(f->SaveSequence(true));
        QVERIFY(!f->IsSequenceChanged());
        QCOMPARE(f->Sequence().FileName, other);
        QCOMPARE(child<TMyEdit>(*f, "SequenceFileEdit")->text(), other);
        QVERIFY(readAll(other).contains("ImgFileName=M31\r\n"));
        QVERIFY(readAll(current).contains("ImgFileName=M42\r\n"));
    }

    void saveOnCloseResolvesEmptyAndBareNamesBesideTheProgram()
    {
        QFile::remove(m_dir.filePath("Sequence1.seq"));
        {
            auto f = makeFrame(QByteArray());   // nothing loaded: FileName empty
            QVERIFY(f->Sequence().FileName.isEmpty());
            QVERIFY(f->SaveSequence(false));
            QCOMPARE(f->Sequence().FileName, m_dir.filePath("Sequence1.seq"));
            QVERIFY(readAll(m_dir.filePath("Sequence1.seq")).startsWith("[Sequence]\r\n"));
        }
        auto f = makeFrame(QByteArray());
        child<TMyEdit>(*f, "SequenceFileEdit")->setText("Typed.seq");
        QCOMPARE(f->Sequence().FileName, QString("Typed.seq"));
        QCOMPARE(f->Sequence().ImgFileName, QString("Img"));   // the form's texts were copied
        QVERIFY(f->SaveSequence(false));
        QVERIFY(QFile::exists(m_dir.filePath("Typed.seq")));
        QCOMPARE(child<TMyEdit>(*f, "SequenceFileEdit")->text(), m_dir.filePath("Typed.seq"));
        QVERIFY(m_dialogs.isEmpty());
    }

    void failedSaveShowsTheErrorAndStaysChanged()
    {
        auto f = makeFrame();
        child<TMyEdit>(*f, "ImgFileEdit")->setText("M1");
        const QString bad = m_dir.filePath("missing/dir/x.seq");
        m_dialog = [&](FileDialog& d) { d.FileName = bad; return true; };
        QVERIFY(!f->SaveSequence(true));
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY(m_boxes[0].startsWith("Unable to write to " + bad + ".|"));
        QVERIFY(m_boxes[0].endsWith("|16"));
        QVERIFY(f->IsSequenceChanged());
    }

    void destinationChooserFeedsTheField()
    {
        auto f = makeFrame();
        auto* edit = child<TMyEdit>(*f, "DestDirEdit");
        QString offered;
        f->ChooseFolder = [&](QString& folder) { offered = folder; return false; };
        f->DestDirButtonClick();
        QCOMPARE(offered, QString("/data/"));
        QCOMPARE(edit->text(), QString("/data/"));
        QVERIFY(!f->IsSequenceChanged());
        f->ChooseFolder = [&](QString& folder) { folder = "/data/night/"; return true; };
        f->DestDirButtonClick();
        QCOMPARE(edit->text(), QString("/data/night/"));
        QCOMPARE(edit->cursorPosition(), int(edit->text().size()) - 1);
        QCOMPARE(f->Sequence().DestDir, QString("/data/night/"));
        QVERIFY(f->IsSequenceChanged());
    }

    void destinationButtonOpensTheRealChooser()
    {
        auto f = makeFrame();
        auto* edit = child<TMyEdit>(*f, "DestDirEdit");
        edit->setText(m_dir.path());
        QString startedAt;
        QTimer::singleShot(0, [&] {
            auto* chooser = qobject_cast<TSelDirectoryForm*>(QApplication::activeModalWidget());
            if (!chooser)
                return;
            startedAt = chooser->CurrentPath();
            chooser->accept();
        });
        f->DestDirButtonClick();
        QCOMPARE(startedAt, m_dir.path() + "/");
        QCOMPARE(edit->text(), m_dir.path() + "/");
        QCOMPARE(f->Sequence().DestDir, m_dir.path() + "/");
    }

    void roleGreysTheOtherRolesControls()
    {
        auto main = makeFrame(QByteArray());
        main->ApplyRole(true);
        auto* allow = child<QCheckBox>(*main, "CBAllowList");
        QVERIFY(!allow->isEnabled());
        QCOMPARE(allow->x(), 22);
        QCOMPARE(allow->width(), 305);
        QCOMPARE(allow->text(), QString("Allow complete cicle without waiting for server new frame"));
        QVERIFY(child<QWidget>(*main, "DitheringEdit")->isEnabled());

        auto second = makeFrame(QByteArray());
        second->ApplyRole(false);
        QVERIFY(child<QCheckBox>(*second, "CBAllowList")->isEnabled());
        for (const char* name : {"DelayFrameLabel", "DelayFrameEdit", "UpDownDelayFrame", "DitheringLabel",
                                 "PixelDitheringLabel", "DitheringEdit", "WhileGuideLabel1", "WhileGuideEdit",
                                 "WhileGuideLabel2"})
            QVERIFY2(!child<QWidget>(*second, name)->isEnabled(), name);
        QVERIFY(child<QWidget>(*second, "IterationsEdit")->isEnabled());
    }
};

QTEST_MAIN(TestSequenceFrame)
#include "tst_sequenceframe.moc"
