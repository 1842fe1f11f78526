#include "movie/TMAudioOutput.h"

#include <alsa/asoundlib.h>

#include <mutex>

namespace tkrmovie {
namespace {

std::mutex g_FactoryLock;
TMAudioOutputFactory g_Factory;

// How much sound the device holds ahead: enough to ride out a busy moment,
// short enough that a pause is heard at once.
constexpr unsigned kLatencyMicroseconds = 100000;

// ALSA reports a missing card on standard error; the library reports through
// its results only, and a machine without sound simply plays silently.
void Quiet(const char*, int, const char*, int, const char*, ...) {}

class AlsaOutput : public TMAudioOutput {
public:
    AlsaOutput(snd_pcm_t* pcm, int channels) : m_pPcm(pcm), m_Channels(channels) {}
    ~AlsaOutput() override { snd_pcm_close(m_pPcm); }

    bool Write(const int16_t* samples, int frames) override
    {
        while (frames > 0) {
            snd_pcm_sframes_t written = snd_pcm_writei(m_pPcm, samples, snd_pcm_uframes_t(frames));
            if (written < 0)
                written = snd_pcm_recover(m_pPcm, int(written), 1);
            if (written < 0)
                return false;
            samples += written * m_Channels;
            frames -= int(written);
        }
        return true;
    }
    void Drop() override
    {
        snd_pcm_drop(m_pPcm);
        snd_pcm_prepare(m_pPcm);
    }

private:
    snd_pcm_t* m_pPcm;
    int m_Channels;
};

std::unique_ptr<TMAudioOutput> OpenDevice(int rate, int channels)
{
    static std::once_flag quiet;
    std::call_once(quiet, [] { snd_lib_error_set_handler(&Quiet); });
    snd_pcm_t* pcm = nullptr;
    // Opened without waiting for a busy device, then written with waits.
    if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0)
        return nullptr;
    if (snd_pcm_nonblock(pcm, 0) < 0 ||
        snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16, SND_PCM_ACCESS_RW_INTERLEAVED, unsigned(channels), unsigned(rate),
                           1, kLatencyMicroseconds) < 0) {
        snd_pcm_close(pcm);
        return nullptr;
    }
    return std::make_unique<AlsaOutput>(pcm, channels);
}

} // namespace

std::unique_ptr<TMAudioOutput> OpenAudioOutput(int rate, int channels)
{
    if (rate <= 0 || channels <= 0)
        return nullptr;
    TMAudioOutputFactory factory;
    {
        std::lock_guard<std::mutex> lock(g_FactoryLock);
        factory = g_Factory;
    }
    return factory ? factory(rate, channels) : OpenDevice(rate, channels);
}

void SetAudioOutputFactory(TMAudioOutputFactory factory)
{
    std::lock_guard<std::mutex> lock(g_FactoryLock);
    g_Factory = std::move(factory);
}

} // namespace tkrmovie
