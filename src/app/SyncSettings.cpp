#include "app/SyncSettings.h"

#include "app/SettingsFile.h"
#include "platform/Error.h"
#include "platform/IniFile.h"

namespace {
const QString kSection = QStringLiteral("Sync");
}

SyncSettings SyncSettings::Read()
{
    SyncSettings s;
    try {
        const IniFile ini(SettingsFile::Path());
        s.HoldDither = ini.ReadBool(kSection, QStringLiteral("HoldDither"), s.HoldDither);
        const int margin = ini.ReadInteger(kSection, QStringLiteral("HoldMargin"), s.HoldMargin);
        if (margin >= 0 && margin <= 3600)
            s.HoldMargin = margin;
    } catch (const Error&) {
        // Reported where the settings file is read first (the role).
    }
    return s;
}

void SyncSettings::WriteHoldDither(bool on)
{
    IniFile(SettingsFile::Path()).WriteBool(kSection, QStringLiteral("HoldDither"), on);
}
