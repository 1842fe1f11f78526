#pragma once
// Runs one request record on a real engine the way an image manager does:
// Request, then Idle until the status leaves "pending".

#include "engine/FIPEngine2.h"

#include <memory>

namespace testsupport {

// Returns the record's final status (kIPStatusPending when it never ended:
// each Idle waits at most 100 ms, so the cap turns a hang into a failure).
inline int32_t RunEngineRequest(FIPERequest& request)
{
    std::unique_ptr<FIIPEngine2> engine(CreateIPEngine2());
    if (!engine)
        return kIPStatusNew;
    engine->Request(&request);
    for (int polls = 0; request.GetStatus() == kIPStatusPending && polls < 3000; ++polls)
        engine->Idle();
    return request.GetStatus();
}

} // namespace testsupport
