#pragma once
// ICamera: the camera object of the camera server (camera, filter wheel and
// guider), the one way the program drives the hardware. Properties are get
// and put methods; put methods are named Set<Property>. Every method throws
// AutomationError carrying the server's message when the server refuses or
// fails; nothing is retried here.
//
// Ownership: the holder (the camera connection) owns the object and calls
// Release() before dropping it; Release() may fail like any other operation,
// and the object is then still held.
#include "camera/IDocument.h"

#include <QString>
#include <QtGlobal>
#include <memory>

class ImageSave;

class ICamera {
public:
    virtual ~ICamera() = default;

    virtual void SetLinkEnabled(bool enabled) = 0;

    // Name of the filter in wheel slot `index` (from 0). Slots past the wheel
    // answer "Filter <n>" (n = index + 1) so a reader knows the wheel ended.
    virtual QString FilterNames(int index) = 0;

    // Moves the filter wheel to slot `index`.
    virtual void SetFilter(int index) = 0;

    virtual int BinX() = 0;
    virtual void SetBinX(int binning) = 0;
    virtual int BinY() = 0;
    virtual void SetBinY(int binning) = 0;

    // Reads the whole chip out in the next exposures.
    virtual void SetFullFrame() = 0;

    // Starts an exposure of `seconds`; `filter` -1 keeps the filter in place.
    // Returns at once; completion is seen through ImageReady().
    virtual void Expose(int seconds, int filter) = 0;
    virtual bool ImageReady() = 0;
    virtual void AbortExposure() = 0;

    // The document of the last complete image. Throws when there is none.
    virtual std::shared_ptr<IDocument> Document() = 0;

    // Saves the last complete image (the current Document()) at `path`, in
    // `mode` (see SaveMode); the one-argument form replaces.
    virtual void SaveImage(const QString& path, SaveMode mode) = 0;
    void SaveImage(const QString& path) { SaveImage(path, SaveMode::Replace); }
    // The same save started on the pixel worker (see IDocument::StartSave);
    // the default saves at once through SaveImage.
    virtual std::shared_ptr<ImageSave> StartSaveImage(const QString& path, SaveMode mode);

    // Guider: the guide star's position and the signed guiding error, in
    // guider pixels. GuiderMoveStar makes the guider steer the star to (x, y).
    virtual float GuiderXStarPosition() = 0;
    virtual float GuiderYStarPosition() = 0;
    virtual void GuiderMoveStar(float x, float y) = 0;
    virtual float GuiderXError() = 0;
    virtual float GuiderYError() = 0;

    // How many times a separate guider has lost its star, stopped or paused
    // guiding, or gone away, since it was connected: a count that only
    // grows, read before and after an exposure to tell whether guiding held
    // throughout. 0 for ever where nothing is known (the camera's own guider).
    // Never waits, never throws.
    virtual quint64 GuidingInterruptions() { return 0; }

    // Lets go of the server's camera object.
    virtual void Release() = 0;
};
