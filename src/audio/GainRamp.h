#pragma once
// A gain that moves linearly to a new target over a set number of frames, so a volume
// change never steps the waveform (a step clicks). Audio thread only.

#include <cstdint>

namespace tamborel::audio {

class GainRamp {
public:
    // Jumps straight to a value: for when nothing is sounding, so a jump cannot be heard.
    void snap(float value) noexcept {
        current_ = target_ = value;
        step_ = 0.0f;
        framesLeft_ = 0;
    }

    void moveTo(float target, std::uint32_t frames) noexcept {
        if (target == target_)
            return;
        if (frames == 0) {
            snap(target);
            return;
        }
        target_ = target;
        step_ = (target - current_) / static_cast<float>(frames);
        framesLeft_ = frames;
    }

    bool ramping() const noexcept { return framesLeft_ != 0; }
    float current() const noexcept { return current_; }
    float target() const noexcept { return target_; }

    // The gain for the next frame; lands exactly on the target at the end of the ramp.
    float next() noexcept {
        if (framesLeft_ == 0)
            return current_;
        if (--framesLeft_ == 0)
            current_ = target_;
        else
            current_ += step_;
        return current_;
    }

    // Moves on by `frames` frames at once: where next() would be after as many calls.
    void advance(std::uint32_t frames) noexcept {
        if (frames >= framesLeft_) {
            current_ = target_;
            framesLeft_ = 0;
        } else {
            current_ += step_ * static_cast<float>(frames);
            framesLeft_ -= frames;
        }
    }

private:
    float current_ = 1.0f;
    float target_ = 1.0f;
    float step_ = 0.0f;
    std::uint32_t framesLeft_ = 0;
};

} // namespace tamborel::audio
