#pragma once
// Finds a form's child by its object name; a missing child ends the test
// program at once with its name, instead of a crash on a null pointer.
#include <QObject>
#include <QWidget>

template <typename T = QWidget>
T* child(const QObject& parent, const char* name)
{
    T* found = parent.findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}
