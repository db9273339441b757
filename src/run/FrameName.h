#pragma once
// FrameName: how a frame's image file is named. Frame j of iteration i of an
// item with `repeat` frames is number (i - 1) * repeat + j, written in
// decimal with zeros in front up to three characters (004, 1001); the file
// is prefix + "-" + number + suffix + ".fit" in the destination folder. The
// numbering runs per item, so items are told apart by their suffixes.
#include <QString>
#include <QtGlobal>

struct FrameName {
    // Worked in 64 bits: a file may hold any iteration and repeat counts.
    static qint64 Number(qint64 iteration, qint64 repeat, qint64 frame);
    static QString NumberText(qint64 number);
    static QString FileName(const QString& prefix, const QString& numberText, const QString& suffix);
    // The separator is always put between the two, also when destDir ends in
    // one: "/data/" gives "/data//Img-001.fit", which names the same file.
    static QString FullPath(const QString& destDir, const QString& fileName);
};
