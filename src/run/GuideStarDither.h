#pragma once
// GuideStarDither: after an item, shift the guider's lock position by a small
// random offset and hold the run until the guiding error is back within the
// sequence's threshold (DitherGuideStar).
//
// The offsets are whole tenths of a pixel below PixelDither (N = PixelDither
// x 10, cut), each with a random sign, drawn in the order x amount, x sign,
// y amount, y sign. Below 0.1 pixel (N = 0) both offsets are 0 and the
// settle and the wait still happen. The move is followed by up to nine 500 ms
// settle waits and then, every 100 ms, a reading of both errors until each
// magnitude is at most WhileGuideError (equal counts as settled) or a stop is
// requested; there is no time-out unless SetSettleLimitMs gives one. Camera
// errors pass to the caller.
#include <QtGlobal>

class RunHost;
class RunWaiter;
class RandomSource;

class GuideStarDither {
public:
    GuideStarDither(RunHost& host, RunWaiter& waiter, RandomSource& random);

    void DitherGuideStar();
    // Bounds the wait for the error (from the move, on the waiter's clock):
    // past `ms` the step throws Error("The guider did not settle ..."). For
    // the night's retry option; below 0 (the default) the wait has no bound.
    void SetSettleLimitMs(qint64 ms) { m_settleLimitMs = ms; }

    // One offset of 0 to n - 1 tenths of a pixel; an even sign draw makes it negative.
    static float Offset(unsigned amountDraw, unsigned signDraw, unsigned n);

private:
    RunHost& m_host;
    RunWaiter& m_waiter;
    RandomSource& m_random;
    qint64 m_settleLimitMs = -1;
};
