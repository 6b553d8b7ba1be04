#pragma once
// Work on many files at once, reported in the order given.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace brindle::cli {

// The number of jobs when none is asked for: two per processor. A save mostly waits
// for the disk to take its flushes, so twice as many saves as processors keep the
// disk busy while the processors still have work.
inline unsigned DefaultJobs()
{
    return 2 * std::max(1u, std::thread::hardware_concurrency());
}

// Runs work(i) for every i below count on up to jobs threads; each thread gets its
// own worker from makeWorker(). report(i, result) runs in index order, under a lock,
// as soon as result i and all before it are there, so output keeps the order given.
template <typename Result, typename MakeWorker, typename Report>
void RunInOrder(std::size_t count, unsigned jobs, MakeWorker makeWorker, Report report)
{
    std::vector<std::optional<Result>> results(count);
    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    std::size_t reported = 0;
    auto run = [&] {
        auto worker = makeWorker();
        for (std::size_t i; (i = next++) < count;) {
            Result result = worker(i);
            std::lock_guard<std::mutex> lock(mutex);
            results[i] = std::move(result);
            for (; reported < count && results[reported]; ++reported) {
                report(reported, *results[reported]);
                results[reported].reset();
            }
        }
    };
    const std::size_t threads = std::min<std::size_t>(std::max(1u, jobs), std::max<std::size_t>(count, 1));
    std::vector<std::thread> helpers;
    for (std::size_t t = 1; t < threads; ++t)
        helpers.emplace_back(run);
    run();
    for (auto& helper : helpers)
        helper.join();
}

} // namespace brindle::cli
