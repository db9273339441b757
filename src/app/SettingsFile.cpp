#include "app/SettingsFile.h"

#include "platform/Error.h"
#include "platform/IniFile.h"
#include "platform/ProgramDir.h"
#include "platform/StandardError.h"

namespace {
const QString kSection = QStringLiteral("Setup");
}

QString SettingsFile::Path() { return ProgramFile(QStringLiteral("Tandexa.ini")); }

bool SettingsFile::ReadIsMainPC()
{
    try {
        return IniFile(Path()).ReadBool(kSection, QStringLiteral("MainCCD"), true);
    } catch (const Error& e) {
        ShowStandardError(e.message());
        return true;
    }
}

void SettingsFile::WriteIsMainPC(bool isMainPC)
{
    IniFile(Path()).WriteBool(kSection, QStringLiteral("MainCCD"), isMainPC);
}

QPoint SettingsFile::ReadPosition()
{
    try {
        const IniFile ini(Path());
        const int top = ini.ReadInteger(kSection, QStringLiteral("Top"), 100);
        const int left = ini.ReadInteger(kSection, QStringLiteral("Left"), 100);
        return QPoint(left, top);
    } catch (const Error& e) {
        ShowStandardError(e.message());
        return QPoint(100, 100);
    }
}

void SettingsFile::WritePosition(const QPoint& topLeft)
{
    IniFile ini(Path());
    ini.WriteInteger(kSection, QStringLiteral("Top"), topLeft.y());
    ini.WriteInteger(kSection, QStringLiteral("Left"), topLeft.x());
}
