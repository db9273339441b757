#include "app/SetupFile.h"

#include "platform/Convert.h"
#include "platform/IniFile.h"

namespace {
const QString kSection = QStringLiteral("Setup");
}

void SetupFile::Load(const QString& path)
{
    const IniFile ini(path);
    // Read both before taking either: a file that cannot be read changes nothing.
    const QString address = ini.ReadString(kSection, QStringLiteral("Ip2Address"), QString());
    const int port = ini.ReadInteger(kSection, QStringLiteral("IpPort"), 0);
    FileName = ini.fileName();
    PeerAddress = address;
    PeerPort = port;
}

void SetupFile::Save()
{
    IniFile ini(FileName);
    ini.WriteString(kSection, QStringLiteral("Ip2Address"), PeerAddress);
    ini.WriteInteger(kSection, QStringLiteral("IpPort"), PeerPort);
    Changed = false;
}

bool SetupFile::TakeEdits(const QString& fileText, const QString& addressText, const QString& portText)
{
    if (Loading)
        return false;
    if (!fileText.isEmpty())
        FileName = fileText;
    if (!addressText.isEmpty())
        PeerAddress = addressText;
    if (!portText.isEmpty())
        PeerPort = StrToInt(portText);
    Changed = true;
    return true;
}
