#include "run/GuideStarDither.h"

#include "camera/ICamera.h"
#include "platform/Error.h"
#include "platform/RunState.h"
#include "run/RandomSource.h"
#include "run/RunHost.h"
#include "run/RunSteps.h"
#include "run/RunWaiter.h"
#include "sequence/TSequence.h"

#include <cmath>

GuideStarDither::GuideStarDither(RunHost& host, RunWaiter& waiter, RandomSource& random)
    : m_host(host), m_waiter(waiter), m_random(random)
{
}

float GuideStarDither::Offset(unsigned amountDraw, unsigned signDraw, unsigned n)
{
    const float amount = n == 0 ? 0.0f : float(double(amountDraw % n) * 0.1);
    return signDraw % 2 == 0 ? -amount : amount;
}

void GuideStarDither::DitherGuideStar()
{
    ICamera& camera = RunSteps::Camera(m_host);
    const RunState& flags = m_host.RunFlags();

    // Tenths of a pixel, the fraction cut off; the caller calls only above 0.
    const qint64 count = m_host.RunSequence().PixelDither.Count();
    const unsigned n = count <= 0 ? 0u : unsigned(qMin<qint64>(count / 1000, 0xFFFFFFFFLL));

    const float x = camera.GuiderXStarPosition();
    const float y = camera.GuiderYStarPosition();
    const unsigned r1 = m_random.Next();
    const unsigned r2 = m_random.Next();
    const unsigned r3 = m_random.Next();
    const unsigned r4 = m_random.Next();
    const float dx = Offset(r1, r2, n);
    const float dy = Offset(r3, r4, n);

    m_host.SetRunStatusText(QStringLiteral("Moving telescope"));
    camera.GuiderMoveStar(x + dx, y + dy);
    const QDateTime moved = m_waiter.NowUtc();

    for (int pass = 0; pass < 9 && !flags.StopRequested; ++pass)
        m_waiter.WaitMs(500);

    if (!flags.StopRequested)
        m_host.SetRunStatusText(QStringLiteral("Waiting for error correction < ")
                                + m_host.RunSequence().WhileGuideError.ToText());

    // Compared in single precision, as the errors are read: an error of 0.3
    // against a threshold of 0.3 is settled.
    auto settled = [this](float error) {
        const float threshold = float(m_host.RunSequence().WhileGuideError.ToDouble());
        return std::fabs(error) <= threshold;
    };
    for (;;) {
        m_waiter.WaitMs(100);
        const float ex = camera.GuiderXError();
        const float ey = camera.GuiderYError();
        if (flags.StopRequested || (settled(ex) && settled(ey)))
            break;
        if (m_settleLimitMs >= 0 && moved.msecsTo(m_waiter.NowUtc()) >= m_settleLimitMs)
            throw Error(QStringLiteral("The guider did not settle within %1 s of the dither")
                            .arg(m_settleLimitMs / 1000));
    }
}
