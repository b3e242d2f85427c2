// The worker threads that decode a chart's sounds, while the chart is read and then ahead of the
// play clock.
//
// The pool itself is never destroyed: a shutdown in the middle of a load may end the process
// while a worker still decodes, and the worker must not find its queue gone.
#include "sound/loader.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/platform.h"

namespace modSound {

struct LoadJob {
    enum class State { Queued, Running, Done, Dropped };
    std::string name;
    std::shared_ptr<media::Reservation> advance;
    State state = State::Queued;
    std::shared_ptr<const plat::Pcm> pcm;
};

namespace {

struct Pool {
    std::mutex lock;
    std::condition_variable wake;  // a job was queued, or the pool closes
    std::condition_variable done;  // a job finished
    std::deque<std::shared_ptr<LoadJob>> queue;
    std::vector<std::thread> workers;
    // The budget taken for the queued decodings of each file.
    std::unordered_map<std::string, std::weak_ptr<media::Reservation>> advances;
    int pending = 0;   // jobs queued or running
    int failures = 0;  // decodings that gave no sound, ever
    bool open = false;
    bool closing = false;
};

Pool& ThePool() {
    static Pool* pool = new Pool;
    return *pool;
}

// Runs a queued job on this thread; `held` is locked on entry and on return.
void Run(Pool& pool, LoadJob& job, std::unique_lock<std::mutex>& held) {
    job.state = LoadJob::State::Running;
    std::string name = job.name;
    std::shared_ptr<media::Reservation> advance = std::move(job.advance);
    held.unlock();
    advance = nullptr;
    std::shared_ptr<const plat::Pcm> pcm;
    try {
        pcm = FindSound(name);
    } catch (...) {
        pcm = nullptr;  // out of memory on an absurd file: the sound is simply not there
    }
    held.lock();
    if (!pcm) ++pool.failures;
    job.pcm = std::move(pcm);
    job.state = LoadJob::State::Done;
    --pool.pending;
    pool.done.notify_all();
}

// Takes the next job still waiting for a thread; null when the queue is empty.
std::shared_ptr<LoadJob> NextQueued(Pool& pool) {
    while (!pool.queue.empty()) {
        std::shared_ptr<LoadJob> job = std::move(pool.queue.front());
        pool.queue.pop_front();
        if (job->state == LoadJob::State::Queued) return job;
    }
    return nullptr;
}

void Worker(Pool& pool) {
    plat::LowerThreadPriority();
    std::unique_lock<std::mutex> held(pool.lock);
    for (;;) {
        pool.wake.wait(held, [&] { return !pool.queue.empty() || pool.closing; });
        std::shared_ptr<LoadJob> job = NextQueued(pool);
        if (job)
            Run(pool, *job, held);
        else if (pool.closing)
            return;
    }
}

}  // namespace

void BeginLoads() {
    Pool& pool = ThePool();
    std::lock_guard<std::mutex> guard(pool.lock);
    if (pool.open) return;
    plat::PrepareParallelDecoding();
    pool.open = true;
    pool.closing = false;
    unsigned n = std::thread::hardware_concurrency();
    if (n == 0) n = 1;
    try {
        for (unsigned i = 0; i < n; ++i) pool.workers.emplace_back(Worker, std::ref(pool));
    } catch (const std::system_error&) {
        // No more threads to be had: the ones started do the work, or else the thread that
        // needs a sound.
    }
}

void JoinPendingLoads() {
    Pool& pool = ThePool();
    std::vector<std::thread> workers;
    {
        std::unique_lock<std::mutex> held(pool.lock);
        if (!pool.open) return;
        // The workers finish the queue before they leave; with a worker per core, this thread
        // joining in would only take turns with them.
        if (pool.workers.empty())
            while (std::shared_ptr<LoadJob> job = NextQueued(pool)) Run(pool, *job, held);
        pool.closing = true;
        pool.wake.notify_all();
        workers.swap(pool.workers);
    }
    for (std::thread& t : workers) t.join();
    std::lock_guard<std::mutex> guard(pool.lock);
    pool.open = false;
    pool.closing = false;
}

int PendingDecodes() {
    Pool& pool = ThePool();
    std::lock_guard<std::mutex> guard(pool.lock);
    return pool.pending;
}

int FailedLoads() {
    Pool& pool = ThePool();
    std::lock_guard<std::mutex> guard(pool.lock);
    return pool.failures;
}

bool LoadFailed(const LoadJob& job) {
    Pool& pool = ThePool();
    std::lock_guard<std::mutex> guard(pool.lock);
    return job.state == LoadJob::State::Done && !job.pcm;
}

bool LoadsOpen() {
    Pool& pool = ThePool();
    std::lock_guard<std::mutex> guard(pool.lock);
    return pool.open && !pool.closing;
}

// The budget for the decoding of `path`, shared with the other queued decodings of it.
std::shared_ptr<media::Reservation> Advance(Pool& pool, const std::string& path, uint64_t bytes) {
    std::weak_ptr<media::Reservation>& entry = pool.advances[path];
    if (std::shared_ptr<media::Reservation> shared = entry.lock()) return shared;
    auto made = std::make_shared<media::Reservation>();
    if (bytes > SIZE_MAX || !made->Add(static_cast<size_t>(bytes))) return nullptr;
    entry = made;
    return made;
}

std::shared_ptr<LoadJob> QueueLoad(const std::string& name, const std::string& path,
                                   uint64_t bytes) {
    Pool& pool = ThePool();
    std::lock_guard<std::mutex> guard(pool.lock);
    if (!pool.open || pool.closing) return nullptr;
    if (pool.pending == 0) pool.advances.clear();
    auto job = std::make_shared<LoadJob>();
    job->name = name;
    job->advance = Advance(pool, path, bytes);
    if (!job->advance) return nullptr;
    pool.queue.push_back(job);
    ++pool.pending;
    pool.wake.notify_one();
    return job;
}

bool LoadDone(const LoadJob& job) {
    Pool& pool = ThePool();
    std::lock_guard<std::mutex> guard(pool.lock);
    return job.state == LoadJob::State::Done;
}

std::shared_ptr<const plat::Pcm> TakeLoad(const std::shared_ptr<LoadJob>& job) {
    Pool& pool = ThePool();
    std::unique_lock<std::mutex> held(pool.lock);
    // Nobody has started it: it goes to the front of the queue, or is run here when there are no
    // workers. (Decoding on this thread as well would spread the sounds over one more heap,
    // which the process keeps for the next load.)
    if (job->state == LoadJob::State::Queued) {
        if (pool.workers.empty()) {
            Run(pool, *job, held);
        } else {
            pool.queue.push_front(job);
            pool.wake.notify_one();
        }
    }
    pool.done.wait(held, [&] {
        return job->state == LoadJob::State::Done || job->state == LoadJob::State::Dropped;
    });
    return std::move(job->pcm);
}

void DropLoad(const std::shared_ptr<LoadJob>& job) {
    Pool& pool = ThePool();
    std::lock_guard<std::mutex> guard(pool.lock);
    if (job->state == LoadJob::State::Queued) {
        job->state = LoadJob::State::Dropped;
        --pool.pending;
    }
    job->advance = nullptr;
    job->pcm = nullptr;
}

const std::string& LoadName(const LoadJob& job) {
    return job.name;
}

void PutFirst(const std::vector<const LoadJob*>& order) {
    Pool& pool = ThePool();
    std::lock_guard<std::mutex> guard(pool.lock);
    // Jobs named twice keep their first place; the rest keep their order behind them.
    std::unordered_map<const LoadJob*, size_t> place;
    for (const LoadJob* job : order) place.emplace(job, place.size());
    std::stable_sort(pool.queue.begin(), pool.queue.end(),
                     [&](const std::shared_ptr<LoadJob>& a, const std::shared_ptr<LoadJob>& b) {
                         auto pa = place.find(a.get()), pb = place.find(b.get());
                         size_t ra = pa == place.end() ? place.size() : pa->second;
                         size_t rb = pb == place.end() ? place.size() : pb->second;
                         return ra < rb;
                     });
}

}  // namespace modSound
