// A crew of threads with large stacks that run one job at a time together, started as the work needs them.
#pragma once

#include <pthread.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace quarvo {

// The caller is member 0; the others are threads of their own, each with a
// stack of stackBytes, started when a job first needs them and kept for the
// crew's life, so that what a member holds (an engine's tables) stays with
// one thread. Where a thread cannot be made the crew stays smaller: Size()
// says how large it is.
class Crew {
public:
    explicit Crew(std::size_t stackBytes) : stackBytes_(stackBytes) {}
    ~Crew();
    Crew(const Crew&) = delete;
    Crew& operator=(const Crew&) = delete;

    unsigned Size() const { return static_cast<unsigned>(threads_.size()) + 1; }

    // Starts threads until the crew has members, or as many as can be made;
    // returns Size().
    unsigned Grow(unsigned members);

    // Runs job(member) on the first members at once (at most Size()) and
    // returns when all have ended; the first exception a member threw is
    // thrown again here. The other members sleep on.
    void Run(unsigned members, const std::function<void(unsigned)>& job);

private:
    struct Start {
        Crew* crew;
        unsigned member;
        std::uint64_t seen;  // the last job before the thread was made
    };
    static void* Main(void* start);
    void Serve(unsigned member, std::uint64_t seen);
    void Finish(std::exception_ptr error);

    const std::size_t stackBytes_;
    std::vector<pthread_t> threads_;
    std::vector<std::unique_ptr<Start>> starts_;
    std::mutex lock_;
    std::condition_variable wake_, done_;
    std::uint64_t generation_ = 0;
    unsigned active_ = 0;  // the members the current job runs on
    unsigned pending_ = 0;
    bool quit_ = false;
    const std::function<void(unsigned)>* job_ = nullptr;
    std::exception_ptr error_;
};

}  // namespace quarvo
