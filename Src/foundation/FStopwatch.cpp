#include "foundation/FStopwatch.h"

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

int64_t NowTicks()
{
    return Clock::now().time_since_epoch().count();
}

} // namespace

double GetSecondsPerTick()
{
    return static_cast<double>(Clock::period::num) / static_cast<double>(Clock::period::den);
}

FStopwatch::FStopwatch()
{
    Reset();
}

void FStopwatch::Reset()
{
    m_iStartTicks = 0;
    m_iStopTicks = 0;
    m_iAccumulatedTicks = 0;
    m_iIntervals = 0;
    m_bRunning = false;
}

void FStopwatch::Start()
{
    m_iStartTicks = NowTicks();
    m_iStopTicks = m_iStartTicks;
    m_bRunning = true;
}

void FStopwatch::Stop()
{
    m_iStopTicks = NowTicks();
    m_bRunning = false;
    ++m_iIntervals;
    m_iAccumulatedTicks += m_iStopTicks - m_iStartTicks;
}

double FStopwatch::GetElapsedSeconds() const
{
    return static_cast<double>(NowTicks() - m_iStartTicks) * GetSecondsPerTick();
}

double FStopwatch::GetIntervalSeconds() const
{
    return static_cast<double>(m_iStopTicks - m_iStartTicks) * GetSecondsPerTick();
}
