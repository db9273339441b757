#pragma once
// FramePreview: everything the window shows of a saved frame, made from its
// file in one go on a worker thread: the header facts, the figures, the
// stretched image at full size (for 1:1) and scaled to fit a view.
//
// Memory: the 16-bit pixels are read a strip of rows at a time (a few
// megabytes); what is kept is the 8-bit image (half a frame) and the small
// fitted one. Make() never throws:
// a file that cannot be read gives a preview with Error set.
#include "image/FrameFigures.h"

#include <QDateTime>
#include <QImage>
#include <QSize>
#include <QString>
#include <functional>

struct FramePreview {
    QString Path;
    QString Error;          // why the file could not be shown; empty when it could
    int Width = 0, Height = 0;
    // From the header; empty or 0 when the file does not say.
    QString Filter;
    double Exposure = 0.0;  // EXPTIME, seconds
    int BinX = 0, BinY = 0;
    QDateTime DateObs;      // DATE-OBS, UTC
    FrameFigures Figures;
    QImage Full;            // stretched, Width x Height, 8-bit grey
    QImage Fit;             // stretched and scaled to fit the size asked for

    // `draw` false: the facts and figures only (Full and Fit stay null).
    // `between`, when given, is called between strips of rows (a few
    // milliseconds apart): the worker runs a waiting save there.
    static FramePreview Make(const QString& path, QSize fitSize, bool draw = true,
                             const std::function<void()>& between = {});

    // `image` scaled down to fit inside `size` (aspect kept), each pixel
    // halfway between the mean and the brightest of the pixels it covers (so
    // small stars stay visible); an image that fits already is returned as is.
    static QImage ScaledToFit(const QImage& image, QSize size);
};
