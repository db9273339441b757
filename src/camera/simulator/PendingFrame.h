#pragma once
// PendingFrame: the pixels of one simulated exposure, rendered on the pixel
// worker while the exposure runs, so that saving at its end only writes the
// file (the dead time between frames stays short whatever the chip size).
// The rendered pixels are handed over once, to the first save; any later
// save of the same frame renders them again (the same pixels: the noise seed
// is fixed), so a finished frame does not keep a frame's memory.
#include "camera/simulator/StarField.h"

#include <QMutex>
#include <cstdint>
#include <memory>
#include <vector>

class PendingFrame {
public:
    PendingFrame(std::shared_ptr<const StarField> field, const FrameSpec& spec);

    // Starts rendering on the pixel worker.
    static std::shared_ptr<PendingFrame> Start(std::shared_ptr<const StarField> field, const FrameSpec& spec);

    const FrameSpec& Spec() const { return m_spec; }
    const std::shared_ptr<const StarField>& Field() const { return m_field; }

    // The frame's pixels: the ones rendered ahead when they are there and
    // not yet taken, otherwise rendered now. Safe on any thread.
    std::vector<uint16_t> Take();
    // Not wanted (the exposure was aborted): a render not yet begun is
    // skipped and rendered pixels are let go.
    void Cancel();

private:
    void render();

    const std::shared_ptr<const StarField> m_field;
    const FrameSpec m_spec;
    QMutex m_mutex;
    std::vector<uint16_t> m_pixels;
    bool m_ready = false;   // m_pixels holds the rendered frame
    bool m_taken = false;   // handed over (or no longer wanted)
};
