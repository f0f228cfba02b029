// The threads of a process as ranks: exchanges met by every thread, done by the last to come.
#include "distributed/Team.h"

#include <algorithm>
#include <mpi.h>
#include <stdexcept>

#include "generation/Crew.h"
#include "generation/StateEncoding.h"

namespace quarvo {
namespace {

// Thrown in the threads of a team that another thread's failure ended.
class TeamBroken : public std::runtime_error {
public:
    TeamBroken() : std::runtime_error("calvento-mpi : un fil d'exécution s'est arrêté.") {}
};

}  // namespace

void Team::Meet(unsigned thread, Deposit& deposit, const std::function<void()>& work) {
    std::unique_lock<std::mutex> lock(lock_);
    if (broken_) throw TeamBroken();
    deposits_[thread] = &deposit;
    const std::uint64_t generation = generation_;
    if (++arrived_ == threads_) {
        error_ = nullptr;
        try {
            work();
        } catch (...) {
            error_ = std::current_exception();
        }
        arrived_ = 0;
        ++generation_;
        met_.notify_all();
    } else {
        met_.wait(lock, [&] { return generation_ != generation || broken_; });
        if (generation_ == generation) throw TeamBroken();
    }
    if (error_) std::rethrow_exception(error_);
}

void Team::Break() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        broken_ = true;
    }
    met_.notify_all();
}

std::vector<std::string> Team::AllToAll(unsigned thread, std::vector<std::string>& outgoing) {
    const std::size_t t = threads_;
    const auto k = static_cast<std::size_t>(process_.Size());
    const auto self = static_cast<std::size_t>(process_.Rank());
    outgoing.resize(k * t);
    Deposit mine;
    mine.strings = &outgoing;
    Meet(thread, mine, [&] {
        for (Deposit* d : deposits_) d->result.assign(k * t, std::string());
        // Between the threads of this process: moved.
        for (std::size_t from = 0; from < t; ++from)
            for (std::size_t to = 0; to < t; ++to)
                deposits_[to]->result[self * t + from] = std::move((*deposits_[from]->strings)[self * t + to]);
        if (k == 1) return;
        // To each other process, every thread's part for each of its threads, framed.
        std::vector<std::string> out(k);
        for (std::size_t p = 0; p < k; ++p) {
            if (p == self) continue;
            std::size_t bytes = 0;
            for (std::size_t from = 0; from < t; ++from)
                for (std::size_t to = 0; to < t; ++to) bytes += (*deposits_[from]->strings)[p * t + to].size() + 10;
            out[p].reserve(bytes);
            ByteWriter w(out[p]);
            for (std::size_t from = 0; from < t; ++from)
                for (std::size_t to = 0; to < t; ++to) {
                    std::string& part = (*deposits_[from]->strings)[p * t + to];
                    w.Text(part);
                    std::string().swap(part);
                }
        }
        std::vector<std::string> in = process_.AllToAll(out);
        for (std::size_t p = 0; p < k; ++p) {
            if (p == self) continue;
            ByteReader r(in[p]);
            for (std::size_t from = 0; from < t; ++from)
                for (std::size_t to = 0; to < t; ++to) deposits_[to]->result[p * t + from] = std::string(r.Text());
            if (r.Failed() || !r.AtEnd()) Unreadable("échange");
            std::string().swap(in[p]);
        }
    });
    for (std::string& o : outgoing) std::string().swap(o);
    return std::move(mine.result);
}

void Team::SumInPlace(unsigned thread, std::vector<std::int64_t>& values) {
    Deposit mine;
    mine.values = &values;
    Meet(thread, mine, [&] {
        std::vector<std::int64_t> sum(values.size(), 0);
        for (Deposit* d : deposits_)
            for (std::size_t i = 0; i < sum.size(); ++i) sum[i] += (*d->values)[i];
        if (process_.Size() > 1) process_.SumInPlace(sum);
        for (Deposit* d : deposits_) std::copy(sum.begin(), sum.end(), d->values->begin());
    });
}

std::int64_t Team::Reduce(unsigned thread, std::int64_t value, Reduction op) {
    Deposit mine;
    mine.value = value;
    Meet(thread, mine, [&] {
        std::int64_t all = deposits_[0]->value;
        for (std::size_t i = 1; i < deposits_.size(); ++i) {
            const std::int64_t v = deposits_[i]->value;
            all = op == Reduction::Sum ? all + v : op == Reduction::Min ? std::min(all, v) : std::max(all, v);
        }
        if (process_.Size() > 1)
            all = op == Reduction::Sum   ? process_.Sum(all)
                  : op == Reduction::Min ? process_.Min(all)
                                         : process_.Max(all);
        for (Deposit* d : deposits_) d->value = all;
    });
    return mine.value;
}

std::vector<std::string> Team::GatherToFirst(unsigned thread, const std::string& mine) {
    Deposit deposit;
    deposit.text = &mine;
    Meet(thread, deposit, [&] {
        std::vector<std::string>& all = deposits_[0]->result;
        all.clear();
        if (process_.Size() == 1) {
            for (Deposit* d : deposits_) all.push_back(*d->text);
            return;
        }
        std::string framed;
        ByteWriter w(framed);
        for (Deposit* d : deposits_) w.Text(*d->text);
        const std::vector<std::string> parts = process_.GatherToFirst(framed);
        for (const std::string& part : parts) {
            ByteReader r(part);
            for (unsigned t = 0; t < threads_; ++t) all.emplace_back(r.Text());
            if (r.Failed() || !r.AtEnd()) Unreadable("échange");
        }
    });
    return std::move(deposit.result);
}

void Team::Broadcast(unsigned thread, std::string& bytes, int root) {
    Deposit mine;
    mine.bytes = &bytes;
    Meet(thread, mine, [&] {
        const int t = static_cast<int>(threads_);
        const int rootProcess = root / t;
        std::string value;
        if (rootProcess == process_.Rank()) value = *deposits_[static_cast<std::size_t>(root % t)]->bytes;
        if (process_.Size() > 1) process_.Broadcast(value, rootProcess);
        for (Deposit* d : deposits_) *d->bytes = value;
    });
}

void RunAsRanks(Peers& process, unsigned threads, std::size_t stackBytes, const std::function<void(Peers&)>& job) {
    if (threads <= 1) return job(process);
    Crew crew(stackBytes);
    // Where a thread cannot be made, every process takes as few.
    const auto made = static_cast<unsigned>(process.Min(crew.Grow(std::max(threads, 1u))));
    if (made <= 1) return job(process);
    Team team(process, made);
    std::exception_ptr first;
    std::mutex firstLock;
    try {
        crew.Run(made, [&](unsigned thread) {
            Peers peers(process, team, thread);
            try {
                job(peers);
            } catch (const TeamBroken&) {
                throw;
            } catch (...) {
                {
                    std::lock_guard<std::mutex> guard(firstLock);
                    if (!first) first = std::current_exception();
                }
                team.Break();
                throw;
            }
        });
    } catch (...) {
        if (first) std::rethrow_exception(first);
        throw;
    }
}

}  // namespace quarvo
