#pragma once
// Phd2Guider: the guider operations answered by PHD2 (see Phd2Client).
//  - XStarPosition / YStarPosition: PHD2's lock position (get_lock_position),
//    only while PHD2 is guiding (or has just lost its star: "LostLock" keeps
//    the lock position, and the wait after the move waits for guiding to
//    resume); otherwise, or with no lock position set, AutomationError
//    naming PHD2's state.
//  - MoveStar(x, y): set_lock_position with exact true; PHD2 then steers
//    the star to (x, y).
//  - XError / YError: dx and dy of the latest "GuideStep" after the move,
//    from the client's state (no round trip). While there is none (no frame
//    guided since the move, star lost, guiding stopped or paused) they read
//    NotSettledError, larger than any guiding threshold, so a wait for the
//    guider to settle keeps waiting. A lost connection throws.
#include "guider/IGuider.h"

#include <memory>
#include <utility>

class Phd2Client;

class Phd2Guider : public IGuider {
public:
    // Pixels; read while there is no current guide error.
    static constexpr float NotSettledError = 1.0e6f;

    explicit Phd2Guider(std::shared_ptr<Phd2Client> client);

    void Open() override;
    float XStarPosition() override { return lockPosition().first; }
    float YStarPosition() override { return lockPosition().second; }
    void MoveStar(float x, float y) override;
    float XError() override { return error().first; }
    float YError() override { return error().second; }
    quint64 Interruptions() override;

    Phd2Client& Client() const { return *m_client; }

private:
    std::pair<float, float> lockPosition();
    std::pair<float, float> error() const;

    std::shared_ptr<Phd2Client> m_client;
};
