#include "sequence/SequenceEditing.h"

#include "platform/Convert.h"

#include <QDir>
#include <QFileInfo>

void SequenceEditing::TakeParameters(TSequence& s, const ParameterTexts& t)
{
    if (!t.FileName.isEmpty())
        s.FileName = t.FileName;
    if (!t.ImgFileName.isEmpty())
        s.ImgFileName = t.ImgFileName;
    if (!t.DestDir.isEmpty())
        s.DestDir = t.DestDir;
    if (!t.Iterations.isEmpty())
        s.Iterations = StrToInt(t.Iterations);
    if (!t.StartIteration.isEmpty())
        s.StartIteration = StrToInt(t.StartIteration);
    if (!t.DelayFrame.isEmpty())
        s.DelayFrame = StrToInt(t.DelayFrame);
    if (!t.PixelDither.isEmpty())
        s.PixelDither = Decimal4::FromTextOrThrow(t.PixelDither);
    if (!t.WhileGuideError.isEmpty())
        s.WhileGuideError = Decimal4::FromTextOrThrow(t.WhileGuideError);
    s.AllowList = t.AllowList;
}

QString SequenceEditing::MissingItemField(int filterIndex, const QString& exposure, const QString& binning,
                                          const QString& repeat)
{
    if (filterIndex < 0)
        return QStringLiteral("Filter type required");
    if (exposure.isEmpty())
        return QStringLiteral("Exposure time required");
    if (binning.isEmpty())
        return QStringLiteral("Binning mode required");
    if (repeat.isEmpty())
        return QStringLiteral("Repeat counter required");
    return QString();
}

SequenceEditing::ItemChange SequenceEditing::StoreItem(TSequence& sequence, int row, const TSequenceItem& edited)
{
    if (row < 1 || row > sequence.Items.size()) {
        sequence.Items.append(edited);
        return ItemChange::Appended;
    }
    sequence.Items[row - 1] = edited;
    return edited.Repeat == 0 ? ItemChange::AskDelete : ItemChange::Replaced;
}

void SequenceEditing::DeleteItem(TSequence& sequence, int row)
{
    if (row >= 1 && row <= sequence.Items.size())
        sequence.Items.removeAt(row - 1);
}

QStringList SequenceEditing::GridCells(const TSequenceItem& item, int index, const QStringList& filterNames)
{
    return {QString::number(index + 1),
            item.Filter >= 0 && item.Filter < filterNames.size() ? filterNames[item.Filter] : QStringLiteral("Unknown"),
            item.Suffix,
            QString::number(item.Exposure),
            QString::number(item.Binning),
            QString::number(item.Repeat)};
}

QString SequenceEditing::ResolveInProgramDir(const QString& programDir, const QString& name)
{
    if (!name.isEmpty() && !QFileInfo(name).isRelative())
        return name;
    return programDir + QDir::separator() + name;
}

QString SequenceEditing::SaveFileName(const QString& programDir, const QString& fileName, const QString& typedName)
{
    if (!fileName.isEmpty() && !QFileInfo(fileName).isRelative())
        return fileName;
    const QString name = fileName.isEmpty() ? typedName : fileName;
    return ResolveInProgramDir(programDir, name.isEmpty() ? TSequence::DefaultFileName : name);
}

QString SequenceEditing::MalformedItemsMessage(const TSequence& sequence)
{
    if (sequence.MalformedItems.isEmpty())
        return QString();
    QStringList numbers;
    for (int i : sequence.MalformedItems)
        numbers << QString::number(i + 1);
    return QStringLiteral("Items %1 of %2 could not be read completely; the unreadable fields are 0.")
        .arg(numbers.join(QStringLiteral(", ")), sequence.FileName);
}
