#pragma once
// ScriptedCamera: the camera object of a ScriptedCameraServer. State lives in the
// server so a test can read and set it; every call is recorded there.
#include "camera/ICamera.h"

class ScriptedCameraServer;

class ScriptedCamera : public ICamera {
public:
    explicit ScriptedCamera(ScriptedCameraServer& server);
    ~ScriptedCamera() override;

    void SetLinkEnabled(bool enabled) override;
    QString FilterNames(int index) override;
    void SetFilter(int index) override;
    int BinX() override;
    void SetBinX(int binning) override;
    int BinY() override;
    void SetBinY(int binning) override;
    void SetFullFrame() override;
    void Expose(int seconds, int filter) override;
    bool ImageReady() override;
    void AbortExposure() override;
    std::shared_ptr<IDocument> Document() override;
    using ICamera::SaveImage;
    void SaveImage(const QString& path, SaveMode mode) override;
    float GuiderXStarPosition() override;
    float GuiderYStarPosition() override;
    void GuiderMoveStar(float x, float y) override;
    float GuiderXError() override;
    float GuiderYError() override;
    void Release() override;
    quint64 GuidingInterruptions() override;

private:
    ScriptedCameraServer& m_server;
    std::shared_ptr<IDocument> m_document;
    bool m_live = true;
};
