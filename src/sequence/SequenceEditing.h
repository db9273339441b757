#pragma once
// SequenceEditing: the sequence editor's rules, without its widgets: how the
// parameter fields' texts enter the sequence, which item fields OK requires,
// where an edited item goes, the grid's cell texts, and where a typed file
// name lives. The editor frame only moves texts between these and its boxes.
#include "sequence/TSequence.h"

#include <QString>
#include <QStringList>

class SequenceEditing {
public:
    // The parameter fields as typed.
    struct ParameterTexts {
        QString FileName, ImgFileName, DestDir, Iterations, StartIteration, DelayFrame, PixelDither, WhileGuideError;
        bool AllowList = false;
    };
    // Each non-empty text replaces its field, in the order above; numbers
    // convert as integers, the two decimals with the locale's separator. A
    // text that does not convert throws Error with the conversion's message;
    // the fields before it keep their new values. AllowList is taken last.
    static void TakeParameters(TSequence& sequence, const ParameterTexts& texts);

    // OK's check of the item editor, in this order: no filter chosen, then an
    // empty exposure, binning or repeat field. The message for the first one
    // missing ("Filter type required", "Exposure time required", "Binning
    // mode required", "Repeat counter required"), or an empty text.
    static QString MissingItemField(int filterIndex, const QString& exposure, const QString& binning,
                                    const QString& repeat);

    enum class ItemChange { Appended, Replaced, AskDelete };
    // Stores the edited item for grid row `row` (1 = the first item): a row
    // past the items (or none) appends it; otherwise it replaces that item,
    // and an item replaced with Repeat 0 asks whether to delete it.
    static ItemChange StoreItem(TSequence& sequence, int row, const TSequenceItem& edited);
    // Removes the item of `row` after the user agreed, if it still exists
    // (the question's own event loop may have changed the list).
    static void DeleteItem(TSequence& sequence, int row);

    // The six cells of item `index` (from 0): number, filter name ("Unknown"
    // for an index the list does not hold), suffix, exposure, binning, repeat.
    static QStringList GridCells(const TSequenceItem& item, int index, const QStringList& filterNames);

    // A typed sequence file name: an absolute path stays, a bare or relative
    // name lives in the program directory.
    static QString ResolveInProgramDir(const QString& programDir, const QString& name);
    // Where a save writes: the sequence's own file when it has an absolute
    // one; otherwise that name, else the name typed in the field, else the
    // default file, in the program directory (where the editor loads from).
    static QString SaveFileName(const QString& programDir, const QString& fileName, const QString& typedName);

    // The warning after a load that could not read some item lines in full
    // ("Items 2, 5 of <file> could not be read completely; ..."), or empty.
    static QString MalformedItemsMessage(const TSequence& sequence);
};
