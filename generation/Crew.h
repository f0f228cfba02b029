// A fixed crew of threads with large stacks that run one job at a time together.
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
// stack of stackBytes, started once and kept for the crew's life, so that
// what a member holds (an engine's tables) stays with one thread. Where a
// thread cannot be made the crew is smaller: Size() says how large.
class Crew {
public:
    Crew(unsigned size, std::size_t stackBytes);
    ~Crew();
    Crew(const Crew&) = delete;
    Crew& operator=(const Crew&) = delete;

    unsigned Size() const { return static_cast<unsigned>(threads_.size()) + 1; }

    // Runs job(member) on every member at once and returns when all have
    // ended; the first exception a member threw is thrown again here.
    void Run(const std::function<void(unsigned)>& job);

private:
    struct Start {
        Crew* crew;
        unsigned member;
    };
    static void* Main(void* start);
    void Serve(unsigned member);
    void Finish(std::exception_ptr error);

    std::vector<pthread_t> threads_;
    std::vector<std::unique_ptr<Start>> starts_;
    std::mutex lock_;
    std::condition_variable wake_, done_;
    std::uint64_t generation_ = 0;
    unsigned pending_ = 0;
    bool quit_ = false;
    const std::function<void(unsigned)>* job_ = nullptr;
    std::exception_ptr error_;
};

}  // namespace quarvo
