#pragma once
// Work side by side on oneTBB's threads, for the exact odds and the planner.
#include <cstddef>
#include <mutex>

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>
#include <tbb/partitioner.h>

// f(i) for i in [0, n), on the calling thread alone unless the work is worth
// threads; each f(i) writes only what belongs to i. oneTBB is not built for
// ThreadSanitizer, which therefore cannot see how it hands the tasks' results
// back: under the sanitizer a mutex passed through before and after each task
// and by the caller before and after the loop shows it every hand-over.
template <class F>
void ForEachIndex(size_t n, bool worthThreads, F&& f)
{
    if (!worthThreads || n < 2) {
        for (size_t i = 0; i < n; ++i) f(i);
        return;
    }
#if defined(__SANITIZE_THREAD__)
    std::mutex handover;
    auto pass = [&handover] { const std::lock_guard<std::mutex> lock(handover); };
#else
    auto pass = [] {};
#endif
    pass();
    // Pieces of very unequal size (the rows near a battle's likeliest course
    // take the most): one task each, free to be stolen.
    tbb::parallel_for(
        tbb::blocked_range<size_t>(0, n, 1),
        [&](const tbb::blocked_range<size_t>& r) {
            pass();
            for (size_t i = r.begin(); i != r.end(); ++i) f(i);
            pass();
        },
        tbb::simple_partitioner());
    pass();
}
