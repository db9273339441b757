#pragma once
// Starts another program without a shell. The program path is passed as one
// argument, so paths with spaces are safe. Returns false when the process
// could not be started. With wait set, blocks until it ends.
#include <QString>
#include <QStringList>

bool StartProcess(const QString& program, const QStringList& arguments, bool wait);
