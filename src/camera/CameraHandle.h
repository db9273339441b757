#pragma once
// CameraHandle: one reference to a shared camera object, as an automation
// server hands out: every call goes to the shared camera; Release() lets go
// of this reference only (the camera lives while any reference does).
#include "camera/ICamera.h"

#include <memory>

class CameraHandle : public ICamera {
public:
    explicit CameraHandle(std::shared_ptr<ICamera> camera) : m_camera(std::move(camera)) {}

    void SetLinkEnabled(bool enabled) override { target().SetLinkEnabled(enabled); }
    QString FilterNames(int index) override { return target().FilterNames(index); }
    void SetFilter(int index) override { target().SetFilter(index); }
    int BinX() override { return target().BinX(); }
    void SetBinX(int binning) override { target().SetBinX(binning); }
    int BinY() override { return target().BinY(); }
    void SetBinY(int binning) override { target().SetBinY(binning); }
    void SetFullFrame() override { target().SetFullFrame(); }
    void Expose(int seconds, int filter) override { target().Expose(seconds, filter); }
    bool ImageReady() override { return target().ImageReady(); }
    void AbortExposure() override { target().AbortExposure(); }
    std::shared_ptr<IDocument> Document() override { return target().Document(); }
    using ICamera::SaveImage;
    void SaveImage(const QString& path, SaveMode mode) override { target().SaveImage(path, mode); }
    std::shared_ptr<ImageSave> StartSaveImage(const QString& path, SaveMode mode) override
    {
        return target().StartSaveImage(path, mode);
    }
    float GuiderXStarPosition() override { return target().GuiderXStarPosition(); }
    float GuiderYStarPosition() override { return target().GuiderYStarPosition(); }
    void GuiderMoveStar(float x, float y) override { target().GuiderMoveStar(x, y); }
    float GuiderXError() override { return target().GuiderXError(); }
    float GuiderYError() override { return target().GuiderYError(); }
    quint64 GuidingInterruptions() override { return m_camera ? m_camera->GuidingInterruptions() : 0; }
    void Release() override { m_camera.reset(); }

private:
    // A released reference refuses every call, as a cleared object would.
    ICamera& target() const;

    std::shared_ptr<ICamera> m_camera;
};
