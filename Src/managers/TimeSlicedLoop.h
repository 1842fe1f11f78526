#pragma once
// The loop that advances a manager's state machine in the caller's thread for
// one short time slice: Idle never keeps the window waiting. Each round runs
// the current state; the loop stops once the request has ended, the slice is
// used up, or a round left the state as it was (the state waits for a thread
// and is polled again at the next Idle).
#include "foundation/FStopwatch.h"

// runRound() runs one state and ends the request once its result has left
// pending; hasRequest() tells whether a request is still open. state is the
// manager's state, read after each round; a manager whose state is its idle
// state (0) at the start runs no round.
template <class HasRequest, class RunRound>
void RunTimeSlice(double seconds, const int& state, HasRequest hasRequest, RunRound runRound)
{
    constexpr int kIdleState = 0;
    FStopwatch slice;
    slice.Start();
    int lastState = kIdleState;
    while (hasRequest() && slice.GetElapsedSeconds() < seconds && state != lastState) {
        lastState = state;
        runRound();
    }
}
