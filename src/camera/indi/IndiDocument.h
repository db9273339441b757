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
    // Through ImageFileCommit in `mode`: a failure leaves an old file at
    // `path` untouched. An empty name keeps the driver's OBJECT. The primary
    // header and data are written as the header declares them (padded to a
    // whole block), whatever the driver sent after them. Throws
    // AutomationError("Unable to save image <path>: <reason>"), also for
    // images that are not plain FITS (".fits.fz") or not valid FITS;
    // FileExistsError when CreateNew finds a file.
    using IDocument::SaveImage;
    void SaveImage(const QString& path, SaveMode mode) override;
    // The same, written on the pixel worker (the header is made and checked
    // at once, so a bad image fails before anything is written).
    std::shared_ptr<ImageSave> StartSave(const QString& path, SaveMode mode) override;

    const QByteArray& Image() const { return m_image; }

    // What a save writes: the (edited) primary header, then the data as the
    // header declares it padded with zeros to a whole block, then any
    // extensions as sent.
    struct Layout {
        QByteArray Header;
        qsizetype DataOffset = 0;
        qsizetype DataBytes = 0;
        qsizetype PaddedEnd = 0;
    };

private:
    // The header cards a save sets. Throws ImageError.
    QList<QByteArray> edits() const;
    // Checks the image and makes the header to write. Throws AutomationError.
    Layout layout(const QString& path) const;

    QByteArray m_image;
    QString m_format;
    std::vector<FitsKeyword> m_known;
    QString m_displayName;
    std::vector<FitsKeyword> m_keys;   // set through SetFITSKey, in order
};
