// The exploration over MPI processes gives the files and the lines of one process, byte for byte.
//
// Run by mpirun with any number of processes: each test is collective, every
// process taking part in each generation; process 0 compares.
#include <gtest/gtest.h>
#include <mpi.h>

#include <functional>
#include <mutex>
#include <stdexcept>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "../generation/GenerationTestSupport.h"
#include "../generation/ReferenceSemantics.h"
#include "distributed/DistributedExploration.h"
#include "distributed/Team.h"

namespace quarvo {
namespace {

struct Texts {
    std::string stem, aut;
    std::vector<std::string> lines;
    GenerationResult result;
};

Peers& World() {
    static Peers peers(MPI_COMM_WORLD);
    return peers;
}

bool First() { return World().Rank() == 0; }

// Each process runs settings.threads threads (one for 0), each a rank.
Texts Distributed(const std::string& text, const GenerationSettings& settings) {
    test::Compiled c = test::CompileText(text);
    Texts t;
    RunAsRanks(World(), static_cast<unsigned>(settings.threads), std::size_t{64} << 20, [&](Peers& peers) {
        OwnedStem stem;
        ProcessFigures figures;
        const GenerationResult result =
            ExploreDistributed(peers, c.outcome.compilation, settings, stem, nullptr, figures);
        const bool first = peers.Rank() == 0;
        std::ostringstream s, a;
        StreamClassicStem(peers, stem, first ? &s : nullptr);
        StreamAut(peers, stem, AutOptions{}, first ? &a : nullptr);
        if (!first) return;
        t.result = result;
        t.stem = s.str();
        t.aut = a.str();
        t.lines = GenerationSummaryLines(t.result);
    });
    return t;
}

Texts OneProcess(const std::string& text, const GenerationSettings& settings) {
    auto g = test::GenerateText(text, settings);
    std::ostringstream a;
    WriteAut(a, g->store, AutOptions{});
    return Texts{g->Text(), a.str(), g->messages, g->result};
}

using test::Modes;

// Collective; process 0 compares and says whether the texts agreed.
void ExpectSame(const std::string& text, const GenerationSettings& settings, const Texts* reference = nullptr) {
    const Texts many = Distributed(text, settings);
    if (!First()) return;
    const Texts one = reference ? *reference : OneProcess(text, settings);
    EXPECT_EQ(one.stem, many.stem) << World().Size() << " processes, bound " << settings.maxStates << "\n" << text;
    EXPECT_EQ(one.aut, many.aut) << text;
    EXPECT_EQ(one.lines, many.lines) << text;
    EXPECT_EQ(one.result.exploredStates, many.result.exploredStates) << text;
}

// A space that settings' bound does not cut is generated without it; the
// others with it, which stops inside a level. True when the bound was dropped.
bool ExpectSameBoundOnlyWhereNeeded(const std::string& text, GenerationSettings settings) {
    std::string bounded(1, '0');
    Texts reference;
    if (First()) {
        reference = OneProcess(text, settings);
        bounded[0] = reference.result.stoppedByBound ? '1' : '0';
    }
    World().Broadcast(bounded, 0);
    if (bounded == "0") settings.maxStates = 0;
    ExpectSame(text, settings, First() ? &reference : nullptr);
    return bounded == "0";
}

// Each example on state vectors where it has a parallel structure (on one
// thread and on three in each process), and on whole terms (on two): all
// send what one process would number alike.
TEST(Distributed, ExamplesGiveTheFilesOfOneProcess) {
    for (const std::string& text : test::ExampleTexts())
        for (std::int64_t bound : {0, 1, 37})  // a bound at the first state, and inside a level
            for (GenerationSettings settings : Modes(bound))
                for (const int way : {0, 1, 2}) {
                    settings.termsOnly = way == 2;
                    settings.threads = way == 0 ? 1 : way == 1 ? 3 : 2;
                    ExpectSame(text, settings);
                }
}

// Random parallel structures (chains of compositions, hidings, operands that
// end or recurse), whose vectors travel slot by slot against the last one
// sent: states met first on another process, events kept by compositions,
// changes of identity when components are normalised.
TEST(Distributed, RandomStructuresGiveTheFilesOfOneProcess) {
    std::mt19937 rng(5203);
    for (int i = 0; i < 120; ++i) {
        const std::string text = test::StructuredSpecification(rng);
        for (GenerationSettings settings : Modes(3000)) {
            // One, two or three threads in each process, each a rank of its own.
            settings.threads = 1 + i % 3;
            ExpectSameBoundOnlyWhereNeeded(text, settings);
        }
    }
}

// Levels of thousands of sources, whose first discoveries are counted in
// several blocks by several processes; a bound that falls inside one.
TEST(Distributed, WideLevelsGiveTheFilesOfOneProcess) {
    std::string names, operands;
    for (int i = 0; i < 10; ++i) {
        const std::string n = std::to_string(i);
        names += (i ? ", A" : "A") + n + ", B" + n;
        operands += (i ? " ||| (A" : "(A") + n + "; B" + n + "; EXIT)";
    }
    const std::string text = "SYSTEM S [" + names + "] :=\n  " + operands + "\nENDSYS\n";
    for (const std::int64_t bound : {0, 31000})
        for (const int way : {0, 1, 2}) {
            GenerationSettings settings = test::Interleaving();
            settings.maxStates = bound;
            settings.termsOnly = way == 2;
            settings.threads = way == 1 ? 2 : 1;
            ExpectSame(text, settings);
        }
}

// Random specifications whose space the bound does not cut are generated
// without it; the others with it, which stops inside a level.
TEST(Distributed, RandomSpecificationsGiveTheFilesOfOneProcess) {
    std::mt19937 rng(2412);
    int finite = 0;
    for (int i = 0; i < 50; ++i) {
        const std::string text = test::RandomSpecification(rng);
        for (GenerationSettings settings : Modes(400)) {
            settings.threads = 1 + i % 2;
            if (ExpectSameBoundOnlyWhereNeeded(text, settings)) ++finite;
        }
    }
    if (First()) {
        EXPECT_GT(finite, 60);
    }
}

// Unguarded recursion and hidden gates met on some process, by some thread:
// the warning names the process one exploration names, and the hidden
// actions keep their names.
TEST(Distributed, WarningsAndHiddenNamesAreThoseOfOneProcess) {
    const std::string text =
        "SYSTEM S [A, B, C] :=\n    HIDE B IN (P [A, B] ||| P [B, C] ||| Q [C])\nWHERE\n"
        "  PROCESS P [X, Y] :=\n    X; Y; P [X, Y] [] Y; EXIT\n  ENDPROC\n"
        "  PROCESS Q [Z] :=\n    Q [Z] [] Z; NIL\n  ENDPROC\nENDSYS\n";
    for (GenerationSettings settings : Modes(0))
        for (const int threads : {1, 3}) {
            settings.threads = threads;
            ExpectSame(text, settings);
        }
}

// A process recursing under a hiding, its hidden gate passed as an actual
// gate: the hidden gates renamed apart at each level must be encoded alike
// by every process.
TEST(Distributed, HiddenGatesPassedAsActualGatesAreThoseOfOneProcess) {
    for (const char* call : {"P [X, H]", "P [Y, H]", "P [H, X]"}) {
        const std::string text = std::string("SYSTEM S [A] :=\n  P [A, A]\nWHERE\n  PROCESS P [X, Y] :=\n") +
                                 "    X; HIDE H IN " + call + "\n  ENDPROC\nENDSYS\n";
        for (const GenerationSettings& settings : Modes(0)) ExpectSame(text, settings);
    }
}

// A random process whose body hides gates and passes them on, to itself and
// to another process, in choices and compositions.
std::string HiddenGateRecursion(std::mt19937& rng) {
    const auto pick = [&rng](const std::vector<std::string>& names) { return names[rng() % names.size()]; };
    std::function<std::string(std::vector<std::string>, int)> behaviour = [&](std::vector<std::string> gates,
                                                                             int depth) -> std::string {
        const std::string g = pick(gates);
        switch (depth <= 0 ? rng() % 3 : rng() % 6) {
        case 0: return g + "; NIL";
        case 1: return g + "; P [" + pick(gates) + ", " + pick(gates) + "]";
        case 2: return g + "; Q [" + pick(gates) + "]";
        case 3: {
            const std::string h = "H" + std::to_string(depth);
            gates.push_back(h);
            return "HIDE " + h + " IN (" + behaviour(gates, depth - 1) + ")";
        }
        case 4: return "(" + behaviour(gates, depth - 1) + " [] " + behaviour(gates, depth - 1) + ")";
        default: return "(" + behaviour(gates, depth - 1) + " |[" + g + "]| " + behaviour(gates, depth - 1) + ")";
        }
    };
    const std::vector<std::string> visible{"A", "B"};
    return "SYSTEM S [A, B] :=\n  P [" + pick(visible) + ", " + pick(visible) + "]\nWHERE\n  PROCESS P [X, Y] :=\n    " +
           pick({"X", "Y"}) + "; HIDE H IN (" + behaviour({"X", "Y", "H"}, 3) + ")\n  ENDPROC\n" +
           "  PROCESS Q [Z] :=\n    Z; HIDE H IN Q [H] [] Z; NIL\n  ENDPROC\nENDSYS\n";
}

// Threads as ranks: every exchange gives each rank what a process would
// give it, whether the other rank is a thread of the same process or not.
TEST(Distributed, ThreadsExchangeAsRanks) {
    for (const unsigned threads : {2u, 3u}) {
        std::vector<std::string> failures;
        std::mutex lock;
        RunAsRanks(World(), threads, std::size_t{8} << 20, [&](Peers& peers) {
            const int rank = peers.Rank(), size = peers.Size();
            std::vector<std::string> why;
            if (size != World().Size() * static_cast<int>(threads)) why.push_back("size");
            std::vector<std::string> out(static_cast<std::size_t>(size));
            for (int to = 0; to < size; ++to)
                out[static_cast<std::size_t>(to)] = std::to_string(rank) + ">" + std::to_string(to);
            const std::vector<std::string> in = peers.AllToAll(out);
            for (int from = 0; from < size; ++from)
                if (in[static_cast<std::size_t>(from)] != std::to_string(from) + ">" + std::to_string(rank))
                    why.push_back("all to all");
            if (peers.Sum(rank) != std::int64_t{size} * (size - 1) / 2) why.push_back("sum");
            if (peers.Min(rank + 5) != 5 || peers.Max(rank) != size - 1) why.push_back("min, max");
            std::vector<std::int64_t> values{rank, 1};
            peers.SumInPlace(values);
            if (values[1] != size) why.push_back("sum in place");
            std::string word = rank == size - 1 ? "dernier" : "";
            peers.Broadcast(word, size - 1);
            if (word != "dernier") why.push_back("broadcast");
            const std::vector<std::string> all = peers.GatherToFirst(std::to_string(rank));
            if (rank == 0)
                for (int r = 0; r < size; ++r)
                    if (static_cast<int>(all.size()) != size ||
                        all[static_cast<std::size_t>(r)] != std::to_string(r))
                        why.push_back("gather");
            const std::lock_guard<std::mutex> guard(lock);
            for (const std::string& w : why) failures.push_back("rank " + std::to_string(rank) + ": " + w);
        });
        EXPECT_TRUE(failures.empty()) << failures.front();
    }
}

// A thread that fails ends the other threads of its process, waiting in an
// exchange or coming to one, and its own failure is the one told.
TEST(Distributed, AFailingThreadEndsItsTeam) {
    std::string what;
    try {
        RunAsRanks(World(), 3, std::size_t{8} << 20, [](Peers& peers) {
            if (peers.Rank() % 3 == 1) throw std::runtime_error("fil 1");
            peers.Sum(1);
        });
    } catch (const std::runtime_error& e) {
        what = e.what();
    }
    EXPECT_EQ(what, "fil 1");
}

TEST(Distributed, RandomRecursionsUnderHidingGiveTheFilesOfOneProcess) {
    std::mt19937 rng(3712);
    for (int i = 0; i < 200; ++i) {
        const std::string text = HiddenGateRecursion(rng);
        for (GenerationSettings settings : Modes(400)) ExpectSameBoundOnlyWhereNeeded(text, settings);
    }
}

}  // namespace
}  // namespace quarvo

int main(int argc, char** argv) {
    int provided = 0;
    MPI_Init_thread(&argc, &argv, MPI_THREAD_SERIALIZED, &provided);
    ::testing::InitGoogleTest(&argc, argv);
    // Only process 0 reports; the others take part in silence.
    if (quarvo::World().Rank() != 0) {
        auto& listeners = ::testing::UnitTest::GetInstance()->listeners();
        delete listeners.Release(listeners.default_result_printer());
    }
    int failed = RUN_ALL_TESTS();
    MPI_Allreduce(MPI_IN_PLACE, &failed, 1, MPI_INT, MPI_MAX, MPI_COMM_WORLD);
    MPI_Finalize();
    return failed;
}
