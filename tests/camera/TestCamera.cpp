#include "TestCamera.h"

#include "TestCameraServer.h"
#include "TestDocument.h"
#include "camera/AutomationError.h"

namespace {
QString num(double v) { return QString::number(v); }

float takeFront(QList<float>& queue)
{
    return queue.size() > 1 ? queue.takeFirst() : queue.value(0);
}
}

TestCamera::TestCamera(TestCameraServer& server) : m_server(server) { ++m_server.LiveCameras; }

TestCamera::~TestCamera()
{
    if (m_live)
        --m_server.LiveCameras;
}

void TestCamera::SetLinkEnabled(bool enabled)
{
    m_server.Enter("SetLinkEnabled", {enabled ? "true" : "false"});
    m_server.LinkEnabled = enabled;
}

QString TestCamera::FilterNames(int index)
{
    m_server.Enter("FilterNames", {num(index)});
    if (index >= 0 && index < m_server.FilterNameList.size())
        return m_server.FilterNameList.at(index);
    if (m_server.ErrorPastLastFilter || index < 0)
        throw AutomationError(m_server.PastLastFilterMessage);
    return QStringLiteral("Filter %1").arg(index + 1);
}

void TestCamera::SetFilter(int index)
{
    m_server.Enter("SetFilter", {num(index)});
    m_server.Filter = index;
}

int TestCamera::BinX()
{
    m_server.Enter("BinX");
    return m_server.BinX;
}

void TestCamera::SetBinX(int binning)
{
    m_server.Enter("SetBinX", {num(binning)});
    m_server.BinX = binning;
}

int TestCamera::BinY()
{
    m_server.Enter("BinY");
    return m_server.BinY;
}

void TestCamera::SetBinY(int binning)
{
    m_server.Enter("SetBinY", {num(binning)});
    m_server.BinY = binning;
}

void TestCamera::SetFullFrame() { m_server.Enter("SetFullFrame"); }

void TestCamera::Expose(int seconds, int filter)
{
    m_server.Enter("Expose", {num(seconds), num(filter)});
    m_server.Exposing = true;
    m_server.ExposeSeconds = seconds;
    m_server.ExposeEnd = m_server.Clock().Now() + seconds;
    m_document.reset();
}

bool TestCamera::ImageReady()
{
    m_server.Enter("ImageReady");
    if (m_server.Exposing && m_server.Clock().Now() >= m_server.ExposeEnd) {
        m_server.Exposing = false;
        m_document = std::make_shared<TestDocument>(m_server);
    }
    return m_document != nullptr;
}

void TestCamera::AbortExposure()
{
    m_server.Enter("AbortExposure");
    m_server.Exposing = false;
}

std::shared_ptr<IDocument> TestCamera::Document()
{
    m_server.Enter("Document");
    if (!m_document)
        throw AutomationError(QStringLiteral("No image"));
    return m_document;
}

void TestCamera::SaveImage(const QString& path)
{
    m_server.Enter("SaveImage", {path});
    if (!m_document)
        throw AutomationError(QStringLiteral("No image"));
    static_cast<TestDocument&>(*m_document).Store(path);
}

float TestCamera::GuiderXStarPosition()
{
    m_server.Enter("GuiderXStarPosition");
    return m_server.GuiderStarX;
}

float TestCamera::GuiderYStarPosition()
{
    m_server.Enter("GuiderYStarPosition");
    return m_server.GuiderStarY;
}

void TestCamera::GuiderMoveStar(float x, float y)
{
    m_server.Enter("GuiderMoveStar", {num(x), num(y)});
    m_server.GuiderStarX = x;
    m_server.GuiderStarY = y;
}

float TestCamera::GuiderXError()
{
    m_server.Enter("GuiderXError");
    return takeFront(m_server.GuiderXErrors);
}

float TestCamera::GuiderYError()
{
    m_server.Enter("GuiderYError");
    return takeFront(m_server.GuiderYErrors);
}

void TestCamera::Release()
{
    m_server.Enter("ReleaseCamera");
    if (m_live) {
        m_live = false;
        --m_server.LiveCameras;
    }
}
