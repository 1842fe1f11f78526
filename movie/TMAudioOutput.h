#pragma once
// The sound of a playing movie: interleaved 16-bit samples to the machine's
// audio output (ALSA's default device). A machine without one gets no output
// object, and the movie plays silently.

#include <cstdint>
#include <functional>
#include <memory>

namespace tkrmovie {

class TMAudioOutput {
public:
    virtual ~TMAudioOutput() = default;
    // Queues frames (one sample per channel each) for playing, waiting while
    // the device's buffer is full. False when the device failed.
    virtual bool Write(const int16_t* samples, int frames) = 0;
    // Discards what waits to be played (a pause, a seek).
    virtual void Drop() = 0;
};

// An output for the rate and channel count, null when the machine has none.
std::unique_ptr<TMAudioOutput> OpenAudioOutput(int rate, int channels);

// Tests take the samples instead of the device; an empty factory restores it.
using TMAudioOutputFactory = std::function<std::unique_ptr<TMAudioOutput>(int rate, int channels)>;
void SetAudioOutputFactory(TMAudioOutputFactory factory);

} // namespace tkrmovie
