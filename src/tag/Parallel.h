#pragma once
// Work on many files at once, reported in the order given, and the hooks by which
// a caller on another thread follows such work and stops it. brindle-cli and the
// window share it.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace brindle {

// The number of jobs when none is asked for: two per processor. A save mostly waits
// for the disk to take its flushes, so twice as many saves as processors keep the
// disk busy while the processors still have work.
inline unsigned DefaultJobs() { return 2 * std::max(1u, std::thread::hardware_concurrency()); }

// How a batch is followed and stopped from outside. Both are optional.
struct BatchControl {
    // Once set, no further file is started; the files in progress are finished.
    const std::atomic<bool>* stop = nullptr;
    // After each file, with the number of files finished so far (rising by one each
    // call). Called from the batch's own threads, one call at a time.
    std::function<void(int done)> progress;

    bool stopped() const { return stop && stop->load(std::memory_order_relaxed); }
    void finished(int done) const
    {
        if (progress)
            progress(done);
    }
};

// Runs work(i) for every i below count on up to jobs threads; each thread gets its
// own worker from makeWorker(). report(i, result) runs in index order, under a lock,
// as soon as result i and all before it are there, so output keeps the order given.
// Once *stop is set no further i is started; every i started is finished and
// reported, so the work done is always the first n of the list. Returns n.
template <typename Result, typename MakeWorker, typename Report>
std::size_t RunInOrder(std::size_t count, unsigned jobs, MakeWorker makeWorker, Report report,
                       const std::atomic<bool>* stop = nullptr)
{
    std::vector<std::optional<Result>> results(count);
    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    std::size_t reported = 0;
    auto run = [&] {
        auto worker = makeWorker();
        for (std::size_t i; !(stop && stop->load()) && (i = next++) < count;) {
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
    return reported;
}

} // namespace brindle
