#include "app/Common.h"

#include "platform/Beep.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

namespace {
bool isBatch(const QString& commandLine)
{
    return commandLine.size() >= 3 && commandLine.right(3).compare(QLatin1String("BAT"), Qt::CaseInsensitive) == 0;
}

int showQtMessageBox(const QString& text, const QString& caption, int flags)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(caption);
    // Texts use CR between lines, as the classic message box does.
    box.setText(QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n")).replace('\r', '\n'));
    switch (flags & 0xF0) {
    case 16: box.setIcon(QMessageBox::Critical); break;
    case 32: box.setIcon(QMessageBox::Question); break;
    case 48: box.setIcon(QMessageBox::Warning); break;
    case 64: box.setIcon(QMessageBox::Information); break;
    default: break;
    }
    box.setWindowModality(Qt::ApplicationModal);
    if ((flags & 0x0F) == 4) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes ? MsgBox::ResultYes : MsgBox::ResultNo;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MsgBox::ResultOk;
}

// "Camera control|*.ccd" -> "Camera control (*.ccd)"; several pairs allowed.
QString qtFilter(const QString& filter)
{
    const QStringList parts = filter.split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        out << QStringLiteral("%1 (%2)").arg(parts[i], QString(parts[i + 1]).replace(';', ' '));
    return out.join(QLatin1String(";;"));
}

bool showQtFileDialog(FileDialog& d)
{
    QFileDialog dialog(QApplication::activeWindow(), d.Title, d.InitialDir, qtFilter(d.Filter));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (d.kind == FileDialog::Kind::Save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
    }
    // Neither dialog requires the chosen file to exist.
    dialog.setFileMode(QFileDialog::AnyFile);
    if (!d.DefaultExt.isEmpty())
        dialog.setDefaultSuffix(QString(d.DefaultExt).remove(QLatin1String("*.")));
    if (!d.FileName.isEmpty())
        dialog.selectFile(d.FileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    d.FileName = dialog.selectedFiles().first();
    return true;
}
}

CommandSpec CommandFor(const QString& commandLine)
{
    if (isBatch(commandLine))
        return {QStringLiteral("/bin/sh"), {commandLine}};
    return {commandLine, {}};
}

QString WindowsCommandLine(const QString& commandLine)
{
    if (!isBatch(commandLine))
        return commandLine;
    QString path = commandLine;
    if (!(path.startsWith('"') && path.endsWith('"') && path.size() >= 2))
        path = QLatin1Char('"') + path + QLatin1Char('"');
    return QStringLiteral("COMMAND.COM /C ") + path;
}

bool RunCommand(QWidget* owner, const QString& commandLine, bool minimise, bool wait)
{
    if (minimise && owner)
        owner->showMinimized();
    const CommandSpec spec = CommandFor(commandLine);
    const bool started = !commandLine.isEmpty() && StartProcess(spec.program, spec.arguments, wait);
    if (minimise && owner)
        owner->showNormal();
    return started;
}

void InstallWidgetHandlers()
{
    SetMessageBoxHandler(showQtMessageBox);
    FileDialog::SetHandler(showQtFileDialog);
    SetBeepHandler([] { QApplication::beep(); });
}
