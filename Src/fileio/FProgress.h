#pragma once
// The progress value of a long file operation: a plain double, 0 to 1, that
// the decoding thread writes between rows while the requesting thread may read
// it at any moment. Both sides go through StoreProgress and LoadProgress, so
// every access is atomic even though the interfaces hand out a plain
// `double*`. The value is only ever shown, so no ordering with other data is
// needed. The cancel flag travels the other way, as an atomic char.

#include <atomic>
#include <cstddef>

// Storage for a progress value shared between threads must have this alignment.
inline constexpr size_t kProgressAlignment = std::atomic_ref<double>::required_alignment;

// Writes the fraction done when the pointer is not null.
inline void StoreProgress(double* progress, double value)
{
    if (progress)
        std::atomic_ref<double>(*progress).store(value, std::memory_order_relaxed);
}

// Whether the requesting thread has set the cancel flag (null: never).
inline bool CancelRequested(const std::atomic<char>* cancel)
{
    return cancel && cancel->load(std::memory_order_relaxed) != 0;
}

// Reads a progress value another thread may be writing.
inline double LoadProgress(double* progress)
{
    return progress ? std::atomic_ref<double>(*progress).load(std::memory_order_relaxed) : 0.0;
}
