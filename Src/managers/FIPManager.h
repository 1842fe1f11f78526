#pragma once
// Every image service is reached through FIPManager, driven cooperatively from
// the caller's own thread: fill an IPManagerData, call Request, then call Idle
// of the same object until the record's status has left kIPStatusPending.
// Each Idle does a bounded slice of work.
#include <functional>

class IPManagerData;

class FIPManager {
public:
    virtual ~FIPManager() = default;
    // True while the manager holds a request.
    virtual bool IsBusy() = 0;
    // Advances held work by one slice.
    virtual void Idle() = 0;
    // Accepts the request, or fails it at once in the record.
    virtual void Request(IPManagerData* request) = 0;
};

// A new private per-image worker; null when it cannot be made.
FIPManager* CreateIPManager2();

// Destroys the object in the slot when it is a per-image worker (never the
// pool or a sub-manager) and clears the slot.
void ReleaseIPManager(FIPManager*& manager);
