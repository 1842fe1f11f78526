#pragma once
// Interval timer on the monotonic clock, behind the managers' time slices.

#include <cstdint>

class FStopwatch {
public:
    // Cleared and not running.
    FStopwatch();

    void Reset();
    // Starts a new interval (start and stop both set to now).
    void Start();
    // Ends the interval and adds it to the accumulated time.
    void Stop();
    // Seconds from the last Start to now, running or not.
    double GetElapsedSeconds() const;
    // Seconds from the last Start to the last Stop (0 when never stopped since).
    double GetIntervalSeconds() const;

private:
    int64_t m_iStartTicks;
    int64_t m_iStopTicks;
    int64_t m_iAccumulatedTicks;
    int m_iIntervals;
    bool m_bRunning;
};

// Length of one tick of the stopwatch's clock, in seconds.
double GetSecondsPerTick();
