#pragma once
// The core's locks and events.
//
// FMutex knows its holder: a second Lock by the holder fails instead of
// nesting, which the managers rely on when they use Lock(0) as a try-lock.
// FEvent resets itself when a wait takes the signal. FCriticalSection is
// recursive: its holder may enter again and leaves as often as it entered.

#include <cstdint>
#include <memory>

// Wait for ever.
constexpr uint32_t FSYNC_INFINITE = 0xFFFFFFFF;

class FSyncObject {
public:
    FSyncObject() = default;
    FSyncObject(const FSyncObject&) = delete;
    FSyncObject& operator=(const FSyncObject&) = delete;
    virtual ~FSyncObject() = default;

    // True when the object was obtained, false only when the time ran out.
    // FSYNC_INFINITE waits for ever.
    virtual bool Wait(uint32_t milliseconds) = 0;
};

class FMutex : public FSyncObject {
public:
    // Free at creation. Throws FExceptionSyncObject "Can't create handle for
    // FMutex" when it cannot be created.
    FMutex();
    ~FMutex() override;

    // Obtains the underlying system-style mutex: its holder gets through again
    // and must release once more. Callers normally use Lock.
    bool Wait(uint32_t milliseconds) override;

    // True when the calling thread took the mutex. False when the time ran out,
    // and at once when the calling thread already holds it (it stays held once).
    bool Lock(uint32_t milliseconds);
    // True when the calling thread held the mutex and gave it up. A thread that
    // does not hold it gets false and changes nothing.
    bool Unlock();

private:
    struct State;
    std::unique_ptr<State> m_pState;
};

class FEvent : public FSyncObject {
public:
    // Not signalled at creation. Throws FExceptionSyncObject "Can't create
    // handle for FEvent" when it cannot be created.
    FEvent();
    ~FEvent() override;

    // Signals: one waiter (present or next) takes the signal and it resets.
    void Set();
    void Reset();
    bool Wait(uint32_t milliseconds) override;

private:
    struct State;
    std::unique_ptr<State> m_pState;
};

class FCriticalSection {
public:
    FCriticalSection();
    FCriticalSection(const FCriticalSection&) = delete;
    FCriticalSection& operator=(const FCriticalSection&) = delete;
    ~FCriticalSection();

    // Recursive: the holder may enter again.
    void Enter();
    // Leaving a section the calling thread does not hold is refused (a
    // diagnostic) instead of freeing it under its holder.
    void Leave();

private:
    struct State;
    std::unique_ptr<State> m_pState;
};

// Holds a critical section for a scope.
class FCriticalSectionLock {
public:
    explicit FCriticalSectionLock(FCriticalSection& section) : m_Section(section) { m_Section.Enter(); }
    FCriticalSectionLock(const FCriticalSectionLock&) = delete;
    FCriticalSectionLock& operator=(const FCriticalSectionLock&) = delete;
    ~FCriticalSectionLock() { m_Section.Leave(); }

private:
    FCriticalSection& m_Section;
};
