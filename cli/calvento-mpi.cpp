// calvento-mpi: the generation of calvento over the processes that mpirun starts, one file as one process writes it.
#include <mpi.h>

#include <atomic>
#include <csignal>
#include <malloc.h>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sched.h>
#include <thread>
#include <unistd.h>

#include "QuarvoVersion.h"
#include "cli/CliSupport.h"
#include "distributed/DistributedExploration.h"
#include "distributed/Team.h"
#include "generation/Generator.h"
#include "generation/LargeStack.h"

namespace {

constexpr const char* kUsage =
    "Usage : mpirun -np K calvento-mpi generate FICHIER.LOT [--entrelacement] [--cpbr]\n"
    "                          [--max-etats N] [--memoire-max N] [--fils N]\n"
    "                          [-o FICHIER.STEM] [--aut FICHIER.aut] [--aut-noms-caches]\n"
    "                          [--mesures]\n"
    "       calvento-mpi --version\n"
    "\n"
    "Engendre le STEM (ou le STE) comme « calvento generate », réparti sur les K\n"
    "processus lancés par mpirun, sur une machine ou sur les machines d'un fichier\n"
    "d'hôtes (mpirun --hostfile) : chaque processus détient les états dont le\n"
    "condensé lui revient, leurs vecteurs (ou leurs termes) et leurs arcs. Les\n"
    "fichiers écrits et les lignes affichées sont ceux de « calvento generate »,\n"
    "octet pour octet, quel que soit K. Les options sont les siennes ; de plus :\n"
    "  --memoire-max N    s'applique à chaque processus ;\n"
    "  --fils N           donne N fils à chaque processus, chacun détenant ses\n"
    "                     états comme un processus (par défaut : les cœurs de la\n"
    "                     machine partagés entre ses processus, sans dépasser\n"
    "                     ceux auxquels mpirun l'a lié ; lancez mpirun\n"
    "                     --bind-to none pour plusieurs fils) ;\n"
    "  --mesures          affiche, pour chaque processus (chacun de ses fils), ses\n"
    "                     états, ses arcs, les octets envoyés et sa mémoire au\n"
    "                     plus haut.\n"
    "\n"
    "Si un processus s'arrête (signal, panne, arrêt demandé à mpirun), tous\n"
    "s'arrêtent, aucun fichier existant n'est remplacé et le code de sortie est\n"
    "non nul.\n"
    "\n"
    "Code de sortie : 0 si la génération est complète, 3 si elle a été arrêtée par\n"
    "--max-etats ou faute de mémoire (fichiers partiels écrits), 2 en cas d'erreur.\n";

// What a signal handler may touch: the message, made before it is installed.
struct StopMessage {
    char text[320] = {};
    std::size_t size = 0;
};

StopMessage& SignalMessage() {
    static StopMessage message;
    return message;
}

extern "C" void OnStopSignal(int) {
    const StopMessage& m = SignalMessage();
    (void)!write(STDERR_FILENO, m.text, m.size);
    _exit(2);
}

void InstallStopHandlers(int rank, int size) {
    StopMessage& m = SignalMessage();
    const int n = std::snprintf(m.text, sizeof m.text,
                                "\ncalvento-mpi : processus %d sur %d arrêté (arrêt demandé, ou un autre processus "
                                "s'est arrêté) : génération abandonnée, aucun fichier n'a été remplacé.\n",
                                rank, size);
    m.size = n > 0 ? std::min<std::size_t>(static_cast<std::size_t>(n), sizeof m.text - 1) : 0;
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) std::signal(signal, OnStopSignal);
}

extern "C" void OnLateStopSignal(int) { _exit(2); }

// Once the work is decided, a stop abandons nothing: mpirun stopping the
// others after the first one's exit with an error is not told again.
void QuietStopHandlers() {
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) std::signal(signal, OnLateStopSignal);
}

// Rank 0's progress line: the states, the arcs and the levels.
class ProgressLine final : public quarvo::LevelProgress {
public:
    void Level(std::int64_t level, std::int64_t states, std::int64_t arcs) override {
        line_.UpdatePhase("niveau " + std::to_string(level) + ", " + std::to_string(arcs) + " transitions", states,
                          "états");
    }

private:
    calvento::TerminalProgress line_;
};

struct Options : calvento::GenerateOptions {
    bool figures = false;
};

// 0 to go on, otherwise the exit code.
int Parse(const std::vector<std::string>& args, Options& o, bool speak) {
    const bool help = args.size() == 1 && (args[0] == "--help" || args[0] == "-h");
    if (args.empty() || args[0] != "generate") {
        if (speak) (help ? std::cout : std::cerr) << kUsage;
        return help ? 1 : 2;
    }
    if (!calvento::OptionsAgree(args, speak ? "calvento-mpi" : nullptr)) return 2;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            if (speak) std::cout << kUsage;
            return 1;
        }
        const calvento::OptionRead read = calvento::ReadGenerateOption(args, i, o, "calvento-mpi", speak);
        if (read == calvento::OptionRead::Invalid) return 2;
        if (read == calvento::OptionRead::Taken) continue;
        if (a == "--mesures") {
            o.figures = true;
        } else if (!a.empty() && a[0] == '-') {
            if (speak) std::cerr << "calvento-mpi : option inconnue « " << a << " ».\n\n" << kUsage;
            return 2;
        } else if (o.input.empty()) {
            o.input = a;
        } else {
            if (speak) std::cerr << kUsage;
            return 2;
        }
    }
    if (o.input.empty()) {
        if (speak) std::cerr << kUsage;
        return 2;
    }
    return 0;
}

class SilentSink final : public quarvo::MessageSink {
public:
    void Append(std::string_view) override {}
};

// The threads each process runs: as many as asked, else the cores of its
// machine shared among the processes running there, and no more than the
// cores mpirun bound it to (one, by default, when it starts one or two).
// The fewest any process can take, on every process.
unsigned ThreadsPerProcess(quarvo::Peers& peers, int asked) {
    unsigned threads = static_cast<unsigned>(std::max(asked, 0));
    if (threads == 0) {
        MPI_Comm machine = MPI_COMM_NULL;
        int here = 1;
        if (MPI_Comm_split_type(peers.Comm(), MPI_COMM_TYPE_SHARED, 0, MPI_INFO_NULL, &machine) == MPI_SUCCESS) {
            MPI_Comm_size(machine, &here);
            MPI_Comm_free(&machine);
        }
        threads = std::max(1u, std::thread::hardware_concurrency()) / static_cast<unsigned>(std::max(here, 1));
        cpu_set_t bound;
        CPU_ZERO(&bound);
        if (sched_getaffinity(0, sizeof bound, &bound) == 0)
            threads = std::min(threads, static_cast<unsigned>(CPU_COUNT(&bound)));
    }
    return static_cast<unsigned>(peers.Min(std::max(threads, 1u)));
}

int GenerateOnRanks(quarvo::Peers& peers, const Options& o, const std::shared_ptr<quarvo::Compilation>& compilation,
                    quarvo::MessageSink& messages);

int Generate(quarvo::Peers& peers, const Options& o) {
    const bool first = peers.Rank() == 0;
    // Rank 0 judges the outputs and speaks; the others follow its word.
    std::string verdict(1, '1');
    if (first && !calvento::OutputsAreDistinct({o.input}, {o.stemPath, o.autPath})) verdict = "0";
    peers.Broadcast(verdict, 0);
    if (verdict != "1") return 2;
    calvento::StdoutSink messages(calvento::WritesStandardOutput({o.stemPath, o.autPath}));
    SilentSink silent;
    std::shared_ptr<quarvo::Compilation> compilation;
    {
        // Every process reads the file, rank 0 alone tells what went wrong.
        std::streambuf* const errors = first ? std::cerr.rdbuf() : std::cerr.rdbuf(nullptr);
        compilation = calvento::CompileFile(o.input, first ? static_cast<quarvo::MessageSink&>(messages) : silent,
                                            o.settings.memoryLimit);
        if (!first) {
            std::cerr.rdbuf(errors);
            std::cerr.clear();
        }
    }
    // Every process compiled the same text; what one refused, all refused.
    if (peers.Min(compilation ? 1 : 0) == 0) return 2;

    // Each thread of each process is a rank of the generation.
    const unsigned threads = ThreadsPerProcess(peers, o.settings.threads);
    cpu_set_t bound;
    CPU_ZERO(&bound);
    if (first && threads > 1 && sched_getaffinity(0, sizeof bound, &bound) == 0 &&
        static_cast<unsigned>(CPU_COUNT(&bound)) < threads)
        std::cerr << "calvento-mpi : " << threads << " fils par processus, mais mpirun a lié le processus 0 à "
                  << CPU_COUNT(&bound) << " cœur(s) : pour que ses fils aient chacun le leur, lancez mpirun "
                  << "--bind-to none.\n";
    std::atomic<int> code{0};
    quarvo::RunAsRanks(peers, threads, std::size_t{256} << 20,
                       [&](quarvo::Peers& ranks) { code = GenerateOnRanks(ranks, o, compilation, messages); });
    return code;
}

int GenerateOnRanks(quarvo::Peers& peers, const Options& o, const std::shared_ptr<quarvo::Compilation>& compilation,
                    quarvo::MessageSink& messages) {
    const bool first = peers.Rank() == 0;
    quarvo::OwnedStem stem;
    quarvo::ProcessFigures figures;
    quarvo::GenerationResult result;
    if (first) messages.Append(quarvo::GenerationRunningMessage);
    {
        std::unique_ptr<ProgressLine> progress = first ? std::make_unique<ProgressLine>() : nullptr;
        quarvo::RunOnLargeStack(
            [&] { result = quarvo::ExploreDistributed(peers, compilation, o.settings, stem, progress.get(), figures); },
            std::size_t{256} << 20, [] {});
    }
    if (first)
        for (const std::string& line : quarvo::GenerationSummaryLines(result)) messages.Append(line);
    if (o.figures) {
        std::string mine = std::to_string(peers.Rank()) + " " + std::to_string(figures.ownedStates) + " " +
                           std::to_string(figures.ownedArcs) + " " + std::to_string(figures.bytesSent) + " " +
                           std::to_string(figures.calls) + " " + std::to_string(figures.peakBytes) + " (termes " +
                           std::to_string(figures.termBytes) + ", identités " + std::to_string(figures.identityBytes) +
                           ", index " + std::to_string(figures.indexBytes) + ", arcs " +
                           std::to_string(figures.stemBytes) + ")";
        const std::vector<std::string> all = peers.GatherToFirst(mine);
        if (first) {
            std::cerr << "Mesures (processus, états détenus, arcs, octets envoyés, échanges, mémoire au plus haut) :\n";
            for (const std::string& line : all) std::cerr << "  " << line << '\n';
            std::cerr << "Niveaux : " << figures.levels << '\n';
        }
    }
    const bool partial = result.interrupted || result.stoppedByMemory;
    // Every process takes part in each text in turn; rank 0 writes them together.
    bool stemDone = o.stemPath.empty(), autDone = o.autPath.empty();
    bool written = true;
    if (first) {
        std::vector<quarvo::FileOutput> outputs;
        if (!o.stemPath.empty())
            outputs.push_back({o.stemPath, [&](std::ostream& out) {
                                   quarvo::StreamClassicStem(peers, stem, &out);
                                   stemDone = true;
                               }});
        if (!o.autPath.empty())
            outputs.push_back({o.autPath, [&](std::ostream& out) {
                                   if (!stemDone) {  // the texts come in the same order on every process
                                       quarvo::StreamClassicStem(peers, stem, nullptr);
                                       stemDone = true;
                                   }
                                   quarvo::StreamAut(peers, stem, o.aut, &out);
                                   autDone = true;
                               }});
        written = calvento::WriteOutputs(std::move(outputs));
        if (!stemDone) quarvo::StreamClassicStem(peers, stem, nullptr);
        if (!autDone) quarvo::StreamAut(peers, stem, o.aut, nullptr);
    } else {
        if (!o.stemPath.empty()) quarvo::StreamClassicStem(peers, stem, nullptr);
        if (!o.autPath.empty()) quarvo::StreamAut(peers, stem, o.aut, nullptr);
    }
    std::string done(1, written ? '1' : '0');
    peers.Broadcast(done, 0);
    if (done != "1") return 2;
    if (first) {
        if (!o.stemPath.empty())
            messages.Append(partial ? "STEM partiel écrit dans « " + o.stemPath + " » (génération interrompue)."
                                    : calvento::WrittenLine("STEM écrit", o.stemPath));
        if (!o.autPath.empty())
            messages.Append(partial ? "Fichier .aut partiel écrit dans « " + o.autPath + " » (génération interrompue)."
                                    : calvento::WrittenLine("Fichier .aut écrit", o.autPath));
    }
    return partial ? 3 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    // --help and --version answer without MPI, so that they work without
    // mpirun too; under mpirun, the first process alone speaks.
    if (argc == 2 && (std::strcmp(argv[1], "--version") == 0 || std::strcmp(argv[1], "--help") == 0 ||
                      std::strcmp(argv[1], "-h") == 0)) {
        const char* rank = std::getenv("OMPI_COMM_WORLD_RANK");
        if (rank == nullptr || std::strcmp(rank, "0") == 0)
            std::cout << (argv[1][2] == 'v' ? quarvo::VersionText("calvento-mpi") : std::string(kUsage));
        return 0;
    }
    // A level's buffers, tens of megabytes each, are mapped and given back
    // whole when freed: left to the heap's own threshold, which rises as
    // they are freed, they would end up in the heap between the arcs, and the
    // memory they leave would stay taken.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    int provided = 0;
    MPI_Init_thread(&argc, &argv, MPI_THREAD_SERIALIZED, &provided);
    int code = 0;
    {
        quarvo::Peers peers(MPI_COMM_WORLD);
        QuietStopHandlers();
        const std::vector<std::string> args(argv + 1, argv + argc);
        Options options;
        code = Parse(args, options, peers.Rank() == 0);
        if (code == 1) {
            code = 0;
        } else if (code == 0) {
            InstallStopHandlers(peers.Rank(), peers.Size());
            try {
                code = Generate(peers, options);
            } catch (const std::bad_alloc&) {
                if (peers.Rank() == 0) code = calvento::OutOfMemory();
                MPI_Abort(MPI_COMM_WORLD, 2);
            } catch (const std::exception& e) {
                std::cerr << e.what() << '\n';
                MPI_Abort(MPI_COMM_WORLD, 2);
            }
            QuietStopHandlers();
        }
        std::cout.flush();
    }
    MPI_Finalize();
    return code;
}
