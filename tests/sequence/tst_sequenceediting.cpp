// The sequence editor's rules without its widgets.
#include "platform/Error.h"
#include "sequence/SequenceEditing.h"

#include <QtTest>

using Change = SequenceEditing::ItemChange;

class TestSequenceEditing : public QObject {
    Q_OBJECT
private slots:
    void okRequiresTheItemFieldsInOrder()
    {
        struct Row { int filter; const char *exposure, *binning, *repeat, *message; };
        for (const Row& r : {Row {-1, "", "", "", "Filter type required"}, Row {0, "", "", "", "Exposure time required"},
                             Row {2, "30", "", "", "Binning mode required"}, Row {2, "30", "1", "", "Repeat counter required"},
                             Row {0, "30", "1", "0", ""}})
            QCOMPARE(SequenceEditing::MissingItemField(r.filter, r.exposure, r.binning, r.repeat), QString(r.message));
    }

    void anEditedItemGoesWhereItsRowSays()
    {
        struct Row { const char* name; int row, repeat; Change change; int count; int changedAt; };
        for (const Row& r : {Row {"no row selected", 0, 2, Change::Appended, 3, 2}, Row {"the empty row", 3, 2, Change::Appended, 3, 2},
                             Row {"far past the items", 40, 2, Change::Appended, 3, 2}, Row {"an item", 2, 5, Change::Replaced, 2, 1},
                             Row {"an item, repeat 0", 1, 0, Change::AskDelete, 2, 0}}) {
            TSequence s;
            s.Items = {TSequenceItem {0, 10, 1, 1, "A"}, TSequenceItem {1, 20, 1, 1, "B"}};
            const TSequenceItem edited {3, 60, 2, r.repeat, "E"};
            QVERIFY2(SequenceEditing::StoreItem(s, r.row, edited) == r.change, r.name);
            QVERIFY2(s.Items.size() == r.count && s.Items.at(r.changedAt) == edited, r.name);
        }
    }

    void deletingARowThatIsGoneChangesNothing()
    {
        TSequence s;
        s.Items = {TSequenceItem {0, 10, 1, 0, "A"}};
        SequenceEditing::DeleteItem(s, 2);
        SequenceEditing::DeleteItem(s, 0);
        QCOMPARE(s.Items.size(), 1);
        SequenceEditing::DeleteItem(s, 1);
        QVERIFY(s.Items.isEmpty());
    }

    void parametersTakeNonEmptyTextsUpToTheFirstBadOne()
    {
        TSequence s;
        s.DestDir = "/kept";
        s.DelayFrame = 7;
        SequenceEditing::TakeParameters(s, {"a.seq", "M42", "", "3", "2", "", "1.5", "", true});
        QCOMPARE(s.ImgFileName, QString("M42"));
        QCOMPARE(s.DestDir, QString("/kept"));
        QCOMPARE(s.Iterations, 3);
        QCOMPARE(s.DelayFrame, 7);
        QCOMPARE(s.PixelDither, Decimal4::FromCount(15000));
        QVERIFY(s.AllowList);
        QVERIFY_THROWS_EXCEPTION(Error, SequenceEditing::TakeParameters(s, {"", "M43", "", "x", "9", "", "", "", false}));
        QCOMPARE(s.ImgFileName, QString("M43"));   // taken before the bad number
        QCOMPARE(s.StartIteration, 2);             // not reached
        QVERIFY(s.AllowList);
    }

    void gridCellsNameTheFilter()
    {
        const QStringList filters {"Red", "Green"};
        QCOMPARE(SequenceEditing::GridCells(TSequenceItem {1, 300, 2, 4, "G"}, 0, filters), QStringList({"1", "Green", "G", "300", "2", "4"}));
        QCOMPARE(SequenceEditing::GridCells(TSequenceItem {2, 1, 1, 1, ""}, 9, filters).mid(0, 2), QStringList({"10", "Unknown"}));
    }

    void filesLiveInTheProgramDirectoryUnlessAbsolute()
    {
        const QString dir = "/opt/td";
        struct Row { const char *fileName, *typed, *saved; };
        for (const Row& r : {Row {"/data/a.seq", "x.seq", "/data/a.seq"}, Row {"b.seq", "x.seq", "/opt/td/b.seq"},
                             Row {"", "typed.seq", "/opt/td/typed.seq"}, Row {"", "", "/opt/td/Sequence1.seq"}})
            QCOMPARE(SequenceEditing::SaveFileName(dir, r.fileName, r.typed), QString(r.saved));
        QCOMPARE(SequenceEditing::ResolveInProgramDir(dir, "sub/c.seq"), QString("/opt/td/sub/c.seq"));
    }

    void malformedItemsAreNamedFromOne()
    {
        TSequence s("/d/s.seq");
        QVERIFY(SequenceEditing::MalformedItemsMessage(s).isEmpty());
        s.MalformedItems = {1, 4};
        QCOMPARE(SequenceEditing::MalformedItemsMessage(s),
                 QString("Items 2, 5 of /d/s.seq could not be read completely; the unreadable fields are 0."));
    }
};

QTEST_GUILESS_MAIN(TestSequenceEditing)
#include "tst_sequenceediting.moc"
