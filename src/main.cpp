// Tandexa's entry: finds the program's directory, reads the role from
// Tandexa.ini, names the application after it and runs the main window.
// The command line is not examined.
#include "app/Application.h"
#include "platform/StandardError.h"
#include "app/Common.h"
#include "app/SettingsFile.h"
#include "app/TMainForm.h"
#include "platform/ProgramDir.h"

int main(int argc, char** argv)
{
    Application app(argc, argv);
    SetProgramDir(ResolveProgramDir(QCoreApplication::applicationFilePath()));
    // First, so that a settings file that cannot be read is reported.
    InstallWidgetHandlers();
    const bool isMainPC = SettingsFile::ReadIsMainPC();
    SetApplicationTitle(QStringLiteral("Tandexa %1").arg(isMainPC ? 1 : 2));
    TMainForm form(isMainPC);
    form.show();
    app.exec();
    return 0;
}
