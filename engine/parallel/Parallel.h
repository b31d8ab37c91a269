#pragma once
// Work side by side on oneTBB's threads, for the exact odds, the planner and
// the odds tool's batches.
#include <algorithm>
#include <cstddef>

#include <tbb/blocked_range.h>
#include <tbb/info.h>
#include <tbb/parallel_for.h>
#include <tbb/partitioner.h>

// The threads to use when `requested` are asked for (0 or less: every core):
// never more than the cores this process may run on, since more only share
// them and cost a thread's start each.
inline int UsableThreads(int requested)
{
    const int cores = std::max(1, tbb::info::default_concurrency());
    return requested <= 0 ? cores : std::min(requested, cores);
}

// f(i) for i in [0, n), on the calling thread alone unless the work is worth
// threads; each f(i) writes only what belongs to i. Under ThreadSanitizer
// always on the calling thread: oneTBB is not built for the sanitizer, which
// cannot see how it hands its tasks from thread to thread and would report
// them as races. What it checks there is the program's own threads.
template <class F>
void ForEachIndex(size_t n, bool worthThreads, F&& f)
{
#if defined(__SANITIZE_THREAD__)
    worthThreads = false;
#endif
    if (!worthThreads || n < 2) {
        for (size_t i = 0; i < n; ++i) f(i);
        return;
    }
    // Pieces of very unequal size (the rows near a battle's likeliest course
    // take the most): one task each, free to be stolen.
    tbb::parallel_for(
        tbb::blocked_range<size_t>(0, n, 1),
        [&](const tbb::blocked_range<size_t>& r) {
            for (size_t i = r.begin(); i != r.end(); ++i) f(i);
        },
        tbb::simple_partitioner());
}
