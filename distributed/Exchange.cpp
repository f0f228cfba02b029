// Buffers exchanged between the processes of a distributed exploration, in calls of bounded counts.
#include "distributed/Exchange.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <unistd.h>

namespace quarvo {
namespace {

// The most bytes one call carries in all (MPI counts are ints), and between
// two processes: the copies a call makes stay small beside the buffers.
constexpr std::int64_t RoundBytes = std::int64_t{1} << 30;
constexpr std::int64_t PairBytes = std::int64_t{8} << 20;

}  // namespace

void Unreadable(const char* what) {
    std::string text = "calvento-mpi : message illisible entre les processus (";
    text += what;
    text += ").";
    throw std::runtime_error(text);
}

Peers::Peers(MPI_Comm comm) : comm_(comm) {
    MPI_Comm_set_errhandler(comm_, MPI_ERRORS_RETURN);
    MPI_Comm_rank(comm_, &rank_);
    MPI_Comm_size(comm_, &size_);
}

Peers::Peers(Peers& process, ThreadRanks& team, unsigned thread)
    : comm_(process.comm_),
      rank_(process.rank_ * static_cast<int>(team.Threads()) + static_cast<int>(thread)),
      size_(process.size_ * static_cast<int>(team.Threads())),
      process_(&process),
      team_(&team),
      thread_(thread) {}

void Peers::Check(int code) const {
    if (code == MPI_SUCCESS) return;
    char text[256];
    const int n = std::snprintf(text, sizeof text,
                                "calvento-mpi : la communication entre les processus a échoué (processus %d sur %d) : "
                                "un processus s'est sans doute arrêté. Génération abandonnée, aucun fichier n'a été "
                                "remplacé.\n",
                                rank_, size_);
    if (n > 0) (void)!write(2, text, static_cast<std::size_t>(std::min<int>(n, sizeof text - 1)));
    MPI_Abort(comm_, 2);
    _exit(2);
}

std::vector<std::string> Peers::AllToAll(std::vector<std::string>& outgoing) {
    if (team_) {
        // What goes to another process's threads travels; the rest is moved.
        const std::size_t t = team_->Threads();
        const auto self = static_cast<std::size_t>(process_->Rank());
        outgoing.resize(static_cast<std::size_t>(size_));
        for (std::size_t r = 0; r < outgoing.size(); ++r)
            if (r / t != self) bytesSent += static_cast<std::int64_t>(outgoing[r].size());
        ++messages;
        return team_->AllToAll(thread_, outgoing);
    }
    const auto k = static_cast<std::size_t>(size_);
    outgoing.resize(k);
    std::vector<std::string> incoming(k);
    std::vector<std::int64_t> sendSizes(k), receiveSizes(k);
    for (std::size_t p = 0; p < k; ++p) {
        sendSizes[p] = p == static_cast<std::size_t>(rank_) ? 0 : static_cast<std::int64_t>(outgoing[p].size());
        if (p != static_cast<std::size_t>(rank_)) bytesSent += sendSizes[p];
    }
    Check(MPI_Alltoall(sendSizes.data(), 1, MPI_INT64_T, receiveSizes.data(), 1, MPI_INT64_T, comm_));
    for (std::size_t p = 0; p < k; ++p) incoming[p].resize(static_cast<std::size_t>(receiveSizes[p]));
    // Rounds until every pair has carried its bytes.
    std::int64_t most = 0;
    for (std::size_t p = 0; p < k; ++p) most = std::max({most, sendSizes[p], receiveSizes[p]});
    most = Max(most);
    // Each round carries at most chunk bytes between two processes.
    const std::int64_t chunk = std::clamp<std::int64_t>(RoundBytes / static_cast<std::int64_t>(k), 1, PairBytes);
    std::vector<int> sendCounts(k), sendPlaces(k), receiveCounts(k), receivePlaces(k);
    std::string sendBuffer, receiveBuffer;
    for (std::int64_t done = 0; done < most; done += chunk) {
        sendBuffer.clear();
        int place = 0;
        for (std::size_t p = 0; p < k; ++p) {
            const std::int64_t n = std::clamp<std::int64_t>(sendSizes[p] - done, 0, chunk);
            sendCounts[p] = static_cast<int>(n);
            sendPlaces[p] = place;
            if (n > 0) sendBuffer.append(outgoing[p], static_cast<std::size_t>(done), static_cast<std::size_t>(n));
            place += static_cast<int>(n);
        }
        place = 0;
        for (std::size_t p = 0; p < k; ++p) {
            const std::int64_t n = std::clamp<std::int64_t>(receiveSizes[p] - done, 0, chunk);
            receiveCounts[p] = static_cast<int>(n);
            receivePlaces[p] = place;
            place += static_cast<int>(n);
        }
        receiveBuffer.resize(static_cast<std::size_t>(place));
        Check(MPI_Alltoallv(sendBuffer.data(), sendCounts.data(), sendPlaces.data(), MPI_BYTE, receiveBuffer.data(),
                            receiveCounts.data(), receivePlaces.data(), MPI_BYTE, comm_));
        ++messages;
        for (std::size_t p = 0; p < k; ++p)
            if (receiveCounts[p] > 0)
                std::copy_n(receiveBuffer.data() + receivePlaces[p], receiveCounts[p],
                            incoming[p].data() + static_cast<std::size_t>(done));
    }
    incoming[static_cast<std::size_t>(rank_)] = std::move(outgoing[static_cast<std::size_t>(rank_)]);
    // What was sent is given back at once, before the caller reads what came.
    for (std::string& o : outgoing) std::string().swap(o);
    return incoming;
}

void Peers::SumInPlace(std::vector<std::int64_t>& values) {
    if (team_) return team_->SumInPlace(thread_, values);
    Check(MPI_Allreduce(MPI_IN_PLACE, values.data(), static_cast<int>(values.size()), MPI_INT64_T, MPI_SUM, comm_));
}

std::int64_t Peers::Sum(std::int64_t value) {
    if (team_) return team_->Reduce(thread_, value, ThreadRanks::Reduction::Sum);
    Check(MPI_Allreduce(MPI_IN_PLACE, &value, 1, MPI_INT64_T, MPI_SUM, comm_));
    return value;
}

std::int64_t Peers::Min(std::int64_t value) {
    if (team_) return team_->Reduce(thread_, value, ThreadRanks::Reduction::Min);
    Check(MPI_Allreduce(MPI_IN_PLACE, &value, 1, MPI_INT64_T, MPI_MIN, comm_));
    return value;
}

std::int64_t Peers::Max(std::int64_t value) {
    if (team_) return team_->Reduce(thread_, value, ThreadRanks::Reduction::Max);
    Check(MPI_Allreduce(MPI_IN_PLACE, &value, 1, MPI_INT64_T, MPI_MAX, comm_));
    return value;
}

std::vector<std::string> Peers::GatherToFirst(const std::string& mine) {
    if (team_) {
        if (process_->Rank() != 0) bytesSent += static_cast<std::int64_t>(mine.size());
        return team_->GatherToFirst(thread_, mine);
    }
    const auto k = static_cast<std::size_t>(size_);
    const auto size = static_cast<std::int64_t>(mine.size());
    std::vector<std::int64_t> sizes(k);
    Check(MPI_Gather(&size, 1, MPI_INT64_T, sizes.data(), 1, MPI_INT64_T, 0, comm_));
    std::vector<int> counts(k), places(k);
    std::string all;
    if (rank_ == 0) {
        int place = 0;
        for (std::size_t p = 0; p < k; ++p) {
            counts[p] = static_cast<int>(sizes[p]);
            places[p] = place;
            place += counts[p];
        }
        all.resize(static_cast<std::size_t>(place));
    } else {
        bytesSent += size;
    }
    Check(MPI_Gatherv(mine.data(), static_cast<int>(size), MPI_BYTE, all.data(), counts.data(), places.data(), MPI_BYTE,
                      0, comm_));
    ++messages;
    std::vector<std::string> parts;
    if (rank_ == 0)
        for (std::size_t p = 0; p < k; ++p) parts.emplace_back(all, static_cast<std::size_t>(places[p]), static_cast<std::size_t>(counts[p]));
    return parts;
}

void Peers::Broadcast(std::string& bytes, int root) {
    if (team_) return team_->Broadcast(thread_, bytes, root);
    auto size = static_cast<std::int64_t>(bytes.size());
    Check(MPI_Bcast(&size, 1, MPI_INT64_T, root, comm_));
    bytes.resize(static_cast<std::size_t>(size));
    Check(MPI_Bcast(bytes.data(), static_cast<int>(size), MPI_BYTE, root, comm_));
}

}  // namespace quarvo
