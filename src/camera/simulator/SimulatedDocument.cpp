#include "SimulatedDocument.h"

#include "camera/AutomationError.h"
#include "camera/FileExistsError.h"
#include "camera/ImageSave.h"
#include "camera/simulator/PendingFrame.h"
#include "image/FitsImageWriter.h"
#include "image/ImageError.h"

SimulatedDocument::SimulatedDocument(std::shared_ptr<PendingFrame> frame, Facts facts)
    : m_frame(std::move(frame)), m_facts(std::move(facts))
{
}

const FrameSpec& SimulatedDocument::Spec() const { return m_frame->Spec(); }

void SimulatedDocument::SetFITSKey(const QString& key, const QVariant& value)
{
    SetFitsKeyword(m_keys, {key, value, QString()});
}

std::vector<FitsKeyword> SimulatedDocument::Keywords() const
{
    std::vector<FitsKeyword> keys {
        {"EXPTIME", Spec().Seconds, "exposure time in seconds"},
        {"DATE-OBS", m_facts.StartUtc.toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz")),
         "UTC start of exposure"},
        {"IMAGETYP", QStringLiteral("Light Frame"), "type of image"},
        {"FILTER", m_facts.FilterName, "filter in place"},
        {"XBINNING", Spec().BinX, "binning factor, X"},
        {"YBINNING", Spec().BinY, "binning factor, Y"},
    };
    if (m_facts.PixelSize > 0) {
        keys.push_back({"XPIXSZ", m_facts.PixelSize * Spec().BinX, "pixel width in microns, with binning"});
        keys.push_back({"YPIXSZ", m_facts.PixelSize * Spec().BinY, "pixel height in microns, with binning"});
    }
    keys.insert(keys.end(), {
        {"CCD-TEMP", m_facts.CcdTemperature, "sensor temperature, deg C"},
        {"SET-TEMP", m_facts.SetTemperature, "cooler set point, deg C"},
        {"GAIN", m_facts.Gain, "sensor gain"},
        {"OFFSET", m_facts.Offset, "sensor offset"},
        {"INSTRUME", m_facts.Instrument, "camera"},
        {"OBJECT", m_displayName, "image title"},
        {"SWCREATE", QStringLiteral("Tandexa camera simulator"), "software that created the file"},
    });
    for (const FitsKeyword& k : m_keys)
        SetFitsKeyword(keys, k);
    return keys;
}

namespace {
// Takes the frame's pixels and writes them; safe on any thread.
void renderAndWrite(PendingFrame& frame, const std::vector<FitsKeyword>& keys, const QString& path, SaveMode mode)
{
    const FrameSpec& spec = frame.Spec();
    const std::vector<uint16_t> pixels = frame.Take();
    try {
        FitsImageWriter::Write(path, spec.Width, spec.Height, pixels, keys,
                               mode == SaveMode::CreateNew ? ImageFileCommit::Mode::CreateNew
                                                           : ImageFileCommit::Mode::Replace);
    } catch (const ImageExistsError& e) {
        throw FileExistsError(e.message());
    } catch (const ImageError& e) {
        throw AutomationError(e.message());
    }
}
}

void SimulatedDocument::SaveImage(const QString& path, SaveMode mode)
{
    renderAndWrite(*m_frame, Keywords(), path, mode);
}

std::shared_ptr<ImageSave> SimulatedDocument::StartSave(const QString& path, SaveMode mode)
{
    return ImageSave::Start([frame = m_frame, keys = Keywords(), path, mode] { renderAndWrite(*frame, keys, path, mode); });
}
