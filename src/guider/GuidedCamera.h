#pragma once
// GuidedCamera: a camera object whose camera and filter-wheel operations go
// to the camera driver's camera and whose five guider operations go to a
// separate guider (PHD2, or none). Release() releases the camera and lets go
// of the guider; afterwards the guider operations refuse like the camera's.
#include "camera/ICamera.h"

#include <memory>

class IGuider;

class GuidedCamera : public ICamera {
public:
    GuidedCamera(std::unique_ptr<ICamera> camera, std::shared_ptr<IGuider> guider);
    ~GuidedCamera() override;

    void SetLinkEnabled(bool enabled) override { m_camera->SetLinkEnabled(enabled); }
    QString FilterNames(int index) override { return m_camera->FilterNames(index); }
    void SetFilter(int index) override { m_camera->SetFilter(index); }
    int BinX() override { return m_camera->BinX(); }
    void SetBinX(int binning) override { m_camera->SetBinX(binning); }
    int BinY() override { return m_camera->BinY(); }
    void SetBinY(int binning) override { m_camera->SetBinY(binning); }
    void SetFullFrame() override { m_camera->SetFullFrame(); }
    void Expose(int seconds, int filter) override { m_camera->Expose(seconds, filter); }
    bool ImageReady() override { return m_camera->ImageReady(); }
    void AbortExposure() override { m_camera->AbortExposure(); }
    std::shared_ptr<IDocument> Document() override { return m_camera->Document(); }
    using ICamera::SaveImage;
    void SaveImage(const QString& path, SaveMode mode) override { m_camera->SaveImage(path, mode); }
    std::shared_ptr<ImageSave> StartSaveImage(const QString& path, SaveMode mode) override
    {
        return m_camera->StartSaveImage(path, mode);
    }

    float GuiderXStarPosition() override;
    float GuiderYStarPosition() override;
    void GuiderMoveStar(float x, float y) override;
    float GuiderXError() override;
    float GuiderYError() override;
    quint64 GuidingInterruptions() override;

    void Release() override;

private:
    IGuider& guider() const;

    std::unique_ptr<ICamera> m_camera;
    std::shared_ptr<IGuider> m_guider;
};
