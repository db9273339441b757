#include "ScriptedCamera.h"

#include "ScriptedCameraServer.h"
#include "ScriptedDocument.h"
#include "camera/AutomationError.h"

namespace {
QString num(double v) { return QString::number(v); }

float takeFront(QList<float>& queue)
{
    return queue.size() > 1 ? queue.takeFirst() : queue.value(0);
}
}

ScriptedCamera::ScriptedCamera(ScriptedCameraServer& server) : m_server(server) { ++m_server.LiveCameras; }

ScriptedCamera::~ScriptedCamera()
{
    if (m_live)
        --m_server.LiveCameras;
}

void ScriptedCamera::SetLinkEnabled(bool enabled)
{
    m_server.Enter("SetLinkEnabled", {enabled ? "true" : "false"});
    m_server.LinkEnabled = enabled;
}

QString ScriptedCamera::FilterNames(int index)
{
    m_server.Enter("FilterNames", {num(index)});
    if (index >= 0 && index < m_server.FilterNameList.size())
        return m_server.FilterNameList.at(index);
    if (m_server.ErrorPastLastFilter || index < 0)
        throw AutomationError(m_server.PastLastFilterMessage);
    return QStringLiteral("Filter %1").arg(index + 1);
}

void ScriptedCamera::SetFilter(int index)
{
    m_server.Enter("SetFilter", {num(index)});
    m_server.Filter = index;
}

int ScriptedCamera::BinX()
{
    m_server.Enter("BinX");
    return m_server.BinX;
}

void ScriptedCamera::SetBinX(int binning)
{
    m_server.Enter("SetBinX", {num(binning)});
    m_server.BinX = binning;
}

int ScriptedCamera::BinY()
{
    m_server.Enter("BinY");
    return m_server.BinY;
}

void ScriptedCamera::SetBinY(int binning)
{
    m_server.Enter("SetBinY", {num(binning)});
    m_server.BinY = binning;
}

void ScriptedCamera::SetFullFrame() { m_server.Enter("SetFullFrame"); }

void ScriptedCamera::Expose(int seconds, int filter)
{
    m_server.Enter("Expose", {num(seconds), num(filter)});
    m_server.Exposing = true;
    m_server.ExposeSeconds = seconds;
    m_server.ExposeEnd = m_server.Clock().Now() + seconds;
    m_document.reset();
}

bool ScriptedCamera::ImageReady()
{
    m_server.Enter("ImageReady");
    if (m_server.Exposing && m_server.Clock().Now() >= m_server.ExposeEnd) {
        m_server.Exposing = false;
        m_document = std::make_shared<ScriptedDocument>(m_server);
    }
    return m_document != nullptr;
}

void ScriptedCamera::AbortExposure()
{
    m_server.Enter("AbortExposure");
    m_server.Exposing = false;
}

std::shared_ptr<IDocument> ScriptedCamera::Document()
{
    m_server.Enter("Document");
    if (!m_document)
        throw AutomationError(QStringLiteral("No image"));
    return m_document;
}

void ScriptedCamera::SaveImage(const QString& path, SaveMode mode)
{
    // Logged as before for Replace; a save that must not replace says so.
    m_server.Enter("SaveImage", mode == SaveMode::CreateNew ? QStringList {path, "new"} : QStringList {path});
    if (!m_document)
        throw AutomationError(QStringLiteral("No image"));
    static_cast<ScriptedDocument&>(*m_document).Store(path, mode);
}

quint64 ScriptedCamera::GuidingInterruptions()
{
    // Not logged: the run reads it around every exposure.
    return m_server.GuidingInterruptions;
}

float ScriptedCamera::GuiderXStarPosition()
{
    m_server.Enter("GuiderXStarPosition");
    return m_server.GuiderStarX;
}

float ScriptedCamera::GuiderYStarPosition()
{
    m_server.Enter("GuiderYStarPosition");
    return m_server.GuiderStarY;
}

void ScriptedCamera::GuiderMoveStar(float x, float y)
{
    m_server.Enter("GuiderMoveStar", {num(x), num(y)});
    m_server.GuiderStarX = x;
    m_server.GuiderStarY = y;
}

float ScriptedCamera::GuiderXError()
{
    m_server.Enter("GuiderXError");
    return takeFront(m_server.GuiderXErrors);
}

float ScriptedCamera::GuiderYError()
{
    m_server.Enter("GuiderYError");
    return takeFront(m_server.GuiderYErrors);
}

void ScriptedCamera::Release()
{
    m_server.Enter("ReleaseCamera");
    if (m_live) {
        m_live = false;
        --m_server.LiveCameras;
    }
}
