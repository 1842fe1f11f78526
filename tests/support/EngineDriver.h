#pragma once
// Runs engine requests the way an image manager does: Request, then Idle
// until the status leaves "pending". Header only: the engine tests link the
// engine, the support library does not. Camera data for engine tests is
// built with CamdataWriter and parsed by ParsedCamdata.

#include "engine/core/FIPEngine2.h"
#include "fileio/container/CambData.h"
#include "support/CamdataWriter.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace testsupport {

// Each Idle waits at most 100 ms, so the cap is minutes, only there to turn a
// hang into a failure.
inline int32_t RunEngineRequest(FIIPEngine2& engine, FIPERequest& request)
{
    engine.Request(&request);
    for (int polls = 0; request.GetStatus() == kIPStatusPending && polls < 3000; ++polls)
        engine.Idle();
    return request.GetStatus();
}

// The same on an engine of its own.
inline int32_t RunEngineRequest(FIPERequest& request)
{
    const std::unique_ptr<FIIPEngine2> engine(CreateIPEngine2());
    if (!engine)
        return kIPStatusNew;
    return RunEngineRequest(*engine, request);
}

// A camera-data container over a buffer of its own.
class ParsedCamdata {
public:
    explicit ParsedCamdata(const CamdataWriter& writer)
        : m_Bytes(writer.BuildRun()), m_Camdata(std::make_unique<FCamdata>(m_Bytes.data(), m_Bytes.size()))
    {
    }
    const FCamdata* get() const { return m_Camdata.get(); }

private:
    std::vector<uint8_t> m_Bytes;
    std::unique_ptr<FCamdata> m_Camdata;
};

} // namespace testsupport
