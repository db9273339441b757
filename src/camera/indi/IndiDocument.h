#pragma once
// IndiDocument: one image as an INDI camera sent it (the FITS bytes of its
// BLOB). Saving writes those bytes with the document's name as OBJECT and
// the keywords set through SetFITSKey; the driver's other header keywords
// (EXPTIME, FILTER, binning, ...) stay as sent.
#include "camera/IDocument.h"

#include "image/FitsKeyword.h"

#include <QByteArray>
#include <vector>

class IndiDocument : public IDocument {
public:
    // `format` is the BLOB's format attribute (".fits" for a plain FITS file).
    IndiDocument(QByteArray image, QString format);

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

    const QByteArray& Image() const { return m_image; }

private:
    QByteArray m_image;
    QString m_format;
    QString m_displayName;
    std::vector<FitsKeyword> m_keys;   // set through SetFITSKey, in order
};
