#pragma once
// IndiDocument: one image as an INDI camera sent it (the FITS bytes of its
// BLOB). Saving writes those bytes with the document's name as OBJECT and
// the keywords set through SetFITSKey; the driver's other header keywords
// (EXPTIME, FILTER, binning, ...) stay as sent. What the camera knew when the
// image came (binning, pixel size, temperature, gain, ...) is added for the
// keywords stacking tools read that the driver left out, and a DATE-OBS with
// other than three decimals is written with three.
#include "camera/IDocument.h"

#include "image/FitsKeyword.h"
#include "image/FitsObjectHeader.h"

#include <QByteArray>
#include <vector>

class IndiDocument : public IDocument {
public:
    // `format` is the BLOB's format attribute (".fits" for a plain FITS file).
    // `known`: keywords to add where the driver's header lacks them.
    IndiDocument(QByteArray image, QString format, std::vector<FitsKeyword> known = {});

    void SetDisplayName(const QString& name) override { m_displayName = name; }
    QString DisplayName() const override { return m_displayName; }
    void SetFITSKey(const QString& key, const QVariant& value) override;
    // Through a temporary file in the target's folder and a rename: a failure
    // leaves an old file at `path` untouched. An empty name keeps the
    // driver's OBJECT. Throws AutomationError("Unable to save image <path>:
    // <reason>"), also for images that are not plain FITS (".fits.fz").
    void SaveImage(const QString& path) override;
    // The same, written on the pixel worker (the header is made at once).
    std::shared_ptr<ImageSave> StartSave(const QString& path, SaveMode mode) override;

    const QByteArray& Image() const { return m_image; }

private:
    // The header cards a save sets. Throws AutomationError.
    QList<QByteArray> edits(const QString& path) const;
    // The new header, or none (DataOffset 0) when nothing changes.
    FitsObjectHeader header(const QString& path) const;

    QByteArray m_image;
    QString m_format;
    std::vector<FitsKeyword> m_known;
    QString m_displayName;
    std::vector<FitsKeyword> m_keys;   // set through SetFITSKey, in order
};
