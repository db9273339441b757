#pragma once
// SimulatedDocument: one finished exposure of the simulated camera. It keeps
// what the frame was taken with and renders the same pixels each time it is
// saved (the noise seed is fixed per exposure).
#include "camera/IDocument.h"
#include "camera/simulator/StarField.h"
#include "image/FitsKeyword.h"

#include <QDateTime>
#include <memory>

class SimulatedDocument : public IDocument {
public:
    struct Facts {
        QString FilterName;
        QDateTime StartUtc;     // DATE-OBS
        QString Instrument;
    };

    SimulatedDocument(std::shared_ptr<const StarField> field, const FrameSpec& spec, Facts facts);

    void SetDisplayName(const QString& name) override { m_displayName = name; }
    QString DisplayName() const override { return m_displayName; }
    void SetFITSKey(const QString& key, const QVariant& value) override;
    using IDocument::SaveImage;
    void SaveImage(const QString& path, SaveMode mode) override;

    const FrameSpec& Spec() const { return m_spec; }

private:
    std::shared_ptr<const StarField> m_field;
    FrameSpec m_spec;
    Facts m_facts;
    QString m_displayName;
    std::vector<FitsKeyword> m_keys;   // set through SetFITSKey, in order
};
