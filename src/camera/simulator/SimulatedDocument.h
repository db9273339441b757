#pragma once
// SimulatedDocument: one finished exposure of the simulated camera. It keeps
// what the frame was taken with and renders the same pixels each time it is
// saved (the noise seed is fixed per exposure). Its header carries what
// stacking tools read: DATE-OBS (UTC, milliseconds), EXPTIME, IMAGETYP,
// FILTER, binning, pixel size with the binning, CCD-TEMP, SET-TEMP, GAIN,
// OFFSET, INSTRUME and OBJECT.
#include "camera/IDocument.h"
#include "camera/simulator/StarField.h"
#include "image/FitsKeyword.h"

#include <QDateTime>

class PendingFrame;
#include <memory>

class SimulatedDocument : public IDocument {
public:
    struct Facts {
        QString FilterName;
        QDateTime StartUtc;     // DATE-OBS
        QString Instrument;
        double PixelSize = 0;          // micrometres, unbinned; 0: unknown
        double SetTemperature = 0;     // deg C
        double CcdTemperature = 0;     // deg C
        int Gain = 0;
        int Offset = 0;
    };

    SimulatedDocument(std::shared_ptr<PendingFrame> frame, Facts facts);

    void SetDisplayName(const QString& name) override { m_displayName = name; }
    QString DisplayName() const override { return m_displayName; }
    void SetFITSKey(const QString& key, const QVariant& value) override;
    using IDocument::SaveImage;
    void SaveImage(const QString& path, SaveMode mode) override;
    // Renders and writes on the pixel worker.
    std::shared_ptr<ImageSave> StartSave(const QString& path, SaveMode mode) override;

    // The header keywords a save writes, the ones set through SetFITSKey last.
    std::vector<FitsKeyword> Keywords() const;

    const FrameSpec& Spec() const;

private:
    std::shared_ptr<PendingFrame> m_frame;
    Facts m_facts;
    QString m_displayName;
    std::vector<FitsKeyword> m_keys;   // set through SetFITSKey, in order
};
