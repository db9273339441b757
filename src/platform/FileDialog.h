#pragma once
// FileDialog: an open or save file dialog as a small value object, so code
// that asks for a file name can be tested with a scripted answer.
// Filter uses the "Name|*.ext" form of the classic dialogs, e.g.
// "Camera control|*.ccd". Execute() returns false when the user cancels and
// otherwise sets FileName to the chosen full path. The real dialog is a
// handler installed by the application; with none installed Execute() cancels.
#include <QString>
#include <functional>

class FileDialog {
public:
    enum class Kind { Open, Save };
    explicit FileDialog(Kind kind) : kind(kind) {}

    Kind kind;
    QString FileName;
    QString InitialDir;
    QString Filter;
    QString DefaultExt;
    QString Title;

    bool Execute();

    using Handler = std::function<bool(FileDialog& dialog)>;
    static Handler SetHandler(Handler handler);
};
