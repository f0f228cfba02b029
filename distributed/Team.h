// Threads of one process taking part in the exchanges as ranks of their own.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "distributed/Exchange.h"

namespace quarvo {

// The threads of a process, each a rank (process * threads + thread) of the
// Peers it is given. An exchange waits for every thread of the process; the
// last to come does the process's part (the only MPI call, so one thread
// calls MPI at a time) and hands each thread its share: what the threads of
// one process send one another is moved, not copied; what goes to another
// process travels in one message per process, each thread's part framed.
class Team final : public ThreadRanks {
public:
    Team(Peers& process, unsigned threads) : process_(process), threads_(threads), deposits_(threads) {}

    unsigned Threads() const override { return threads_; }

    std::vector<std::string> AllToAll(unsigned thread, std::vector<std::string>& outgoing) override;
    void SumInPlace(unsigned thread, std::vector<std::int64_t>& values) override;
    std::int64_t Reduce(unsigned thread, std::int64_t value, Reduction op) override;
    std::vector<std::string> GatherToFirst(unsigned thread, const std::string& mine) override;
    void Broadcast(unsigned thread, std::string& bytes, int root) override;

    // A thread ended by an exception: the others, waiting or coming to an
    // exchange, end too instead of waiting for it.
    void Break();

private:
    struct Deposit {
        std::vector<std::string>* strings = nullptr;
        const std::string* text = nullptr;
        std::string* bytes = nullptr;
        std::vector<std::int64_t>* values = nullptr;
        std::int64_t value = 0;
        std::vector<std::string> result;
    };
    // Waits for every thread to have deposited; the last runs work first.
    void Meet(unsigned thread, Deposit& deposit, const std::function<void()>& work);

    Peers& process_;
    const unsigned threads_;
    std::vector<Deposit*> deposits_;
    std::mutex lock_;
    std::condition_variable met_;
    unsigned arrived_ = 0;
    std::uint64_t generation_ = 0;
    bool broken_ = false;
    std::exception_ptr error_;  // what the work of the last exchange threw
};

// Runs job on `threads` threads of this process (the caller's is the first;
// the others have stacks of stackBytes), each with a Peers in which it is a
// rank among the threads of every process. Collective: every process gives
// the same threads. With one thread, job runs on process itself. The first
// exception a thread threw is thrown again here, once every thread ended.
void RunAsRanks(Peers& process, unsigned threads, std::size_t stackBytes, const std::function<void(Peers&)>& job);

}  // namespace quarvo
