#pragma once
// A fresh program directory per test, plus scripted message boxes and file
// dialogs that record what was asked and answer from a queue.
#include "app/Application.h"
#include "platform/StandardError.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "platform/ProgramDir.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <memory>

struct AppFixture {
    std::unique_ptr<QTemporaryDir> dir = std::make_unique<QTemporaryDir>();
    QStringList boxes;                  // "text|caption|flags" of every box shown
    std::deque<int> boxAnswers;         // answers for questions; OK boxes answer 1
    QStringList dialogs;                // "Open|Save:proposed file name" of every dialog
    std::deque<QString> dialogAnswers;  // chosen path, or empty for Cancel

    AppFixture()
    {
        SetProgramDir(dir->path());
        SetApplicationTitle(QStringLiteral("Tandexa 1"));
        SetMessageBoxHandler([this](const QString& text, const QString& caption, int flags) {
            boxes << QStringLiteral("%1|%2|%3").arg(text, caption).arg(flags);
            if ((flags & 0x0F) != 4)
                return MsgBox::ResultOk;
            if (boxAnswers.empty())
                return MsgBox::ResultNo;
            const int answer = boxAnswers.front();
            boxAnswers.pop_front();
            return answer;
        });
        FileDialog::SetHandler([this](FileDialog& d) {
            dialogs << QStringLiteral("%1:%2").arg(d.kind == FileDialog::Kind::Open ? "Open" : "Save", d.FileName);
            if (dialogAnswers.empty())
                return false;
            const QString answer = dialogAnswers.front();
            dialogAnswers.pop_front();
            if (answer.isEmpty())
                return false;
            d.FileName = answer;
            return true;
        });
    }
    ~AppFixture()
    {
        SetMessageBoxHandler(nullptr);
        FileDialog::SetHandler(nullptr);
    }

    QString path(const QString& name) const { return dir->filePath(name); }
    void write(const QString& name, const QByteArray& bytes) const
    {
        QFile f(path(name));
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(bytes);
    }
    QByteArray read(const QString& name) const
    {
        QFile f(path(name));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }
};
