// What the processes of a distributed exploration send one another: byte buffers, sums, agreement.
#pragma once

#include <mpi.h>

#include <cstdint>
#include <string>
#include <vector>

namespace quarvo {

// The threads of a process as ranks (Team.h): what a thread's Peers asks of them.
class ThreadRanks {
public:
    virtual ~ThreadRanks() = default;
    virtual unsigned Threads() const = 0;
    virtual std::vector<std::string> AllToAll(unsigned thread, std::vector<std::string>& outgoing) = 0;
    virtual void SumInPlace(unsigned thread, std::vector<std::int64_t>& values) = 0;
    enum class Reduction { Sum, Min, Max };
    virtual std::int64_t Reduce(unsigned thread, std::int64_t value, Reduction op) = 0;
    virtual std::vector<std::string> GatherToFirst(unsigned thread, const std::string& mine) = 0;
    virtual void Broadcast(unsigned thread, std::string& bytes, int root) = 0;
};

// A communicator and the bytes this process sent through it. A failed call
// is no result to carry on with: it says so in French and ends every process.
//
// The ranks may be threads: the threads of a team, in each process of a
// communicator, are ranks of their own (process * threads + thread), and
// what they exchange within a process does not go through MPI.
class Peers {
public:
    explicit Peers(MPI_Comm comm);
    // Thread `thread` of team, a rank among the threads of every process of process.
    Peers(Peers& process, ThreadRanks& team, unsigned thread);
    int Rank() const { return rank_; }
    int Size() const { return size_; }
    MPI_Comm Comm() const { return comm_; }

    // Sends outgoing[p] to each process p and returns what each sent here
    // (the buffer for this process is moved, not sent). Buffers of any size:
    // what exceeds one call's counts goes in further rounds.
    std::vector<std::string> AllToAll(std::vector<std::string>& outgoing);
    // Sums, element by element, over every process.
    void SumInPlace(std::vector<std::int64_t>& values);
    std::int64_t Sum(std::int64_t value);
    std::int64_t Min(std::int64_t value);
    std::int64_t Max(std::int64_t value);
    // Rank 0 gathers the buffers of every process, in rank order.
    std::vector<std::string> GatherToFirst(const std::string& mine);
    // The bytes root holds, given to every process.
    void Broadcast(std::string& bytes, int root);

    std::int64_t bytesSent = 0;
    std::int64_t messages = 0;

private:
    void Check(int code) const;
    MPI_Comm comm_;
    int rank_ = 0;
    int size_ = 1;
    Peers* process_ = nullptr;  // for a thread of a team: its process's peers
    ThreadRanks* team_ = nullptr;
    unsigned thread_ = 0;
};

// What a process read from another is no message of this program: the
// exploration cannot go on (the French message names what was being read).
[[noreturn]] void Unreadable(const char* what);

}  // namespace quarvo
