#include "SimulatedDocument.h"

#include "camera/AutomationError.h"
#include "camera/FileExistsError.h"
#include "image/FitsImageWriter.h"
#include "image/ImageError.h"

SimulatedDocument::SimulatedDocument(std::shared_ptr<const StarField> field, const FrameSpec& spec, Facts facts)
    : m_field(std::move(field)), m_spec(spec), m_facts(std::move(facts))
{
}

void SimulatedDocument::SetFITSKey(const QString& key, const QVariant& value)
{
    SetFitsKeyword(m_keys, {key, value, QString()});
}

void SimulatedDocument::SaveImage(const QString& path, SaveMode mode)
{
    const std::vector<uint16_t> pixels = m_field->Render(m_spec);
    std::vector<FitsKeyword> keys {
        {"EXPTIME", m_spec.Seconds, "exposure time in seconds"},
        {"DATE-OBS", m_facts.StartUtc.toString(Qt::ISODateWithMs).chopped(1), "UTC start of exposure"},
        {"IMAGETYP", QStringLiteral("Light Frame"), "type of image"},
        {"FILTER", m_facts.FilterName, "filter in place"},
        {"XBINNING", m_spec.BinX, "binning factor, X"},
        {"YBINNING", m_spec.BinY, "binning factor, Y"},
        {"INSTRUME", m_facts.Instrument, "camera"},
        {"OBJECT", m_displayName, "image title"},
        {"SWCREATE", QStringLiteral("Tandexa camera simulator"), "software that created the file"},
    };
    for (const FitsKeyword& k : m_keys)
        SetFitsKeyword(keys, k);
    try {
        FitsImageWriter::Write(path, m_spec.Width, m_spec.Height, pixels, keys,
                               mode == SaveMode::CreateNew ? ImageFileCommit::Mode::CreateNew
                                                           : ImageFileCommit::Mode::Replace);
    } catch (const ImageExistsError& e) {
        throw FileExistsError(e.message());
    } catch (const ImageError& e) {
        throw AutomationError(e.message());
    }
}
