#pragma once

#include <QByteArray>

// Gives the open file `fd` the owner, group and mode of the file at `target`
// (a path in the file system's encoding), so that replacing a file does not
// take it from its user. The owner is kept where the process may change it
// (root may; others keep their own group where they can), the mode always,
// set after the owner because a change of owner clears the set-id bits.
// Does nothing when `target` does not exist.
void KeepOwnerAndMode(int fd, const QByteArray& target);
