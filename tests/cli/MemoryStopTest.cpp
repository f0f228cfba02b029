// The memory stop of calvento's readers: --memoire-max covers the reading of
// a STEM file by regenerate, compare and reduce, with its French message; and
// of its generation, within one state's derivation and within the expansion
// of gate choices at compilation.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/ScratchDirectory.h"
#include "tests/cli/CalventoRun.h"

namespace {

using quarvo::test::Calvento;
using quarvo::test::Finished;
using quarvo::test::ScratchDirectory;

// A chain of states long enough for the reader to look at the memory on the
// way, its header saying far more.
std::string WriteChain(const ScratchDirectory& dir) {
    const std::string path = dir.File("chain.STEM");
    std::ofstream out(path, std::ios::binary);
    out << "BEGIN 2000000000;\r\n";
    for (int i = 0; i < 20000; ++i) out << "{}" << i << "<{}A:1>{1:A}" << i + 1 << ";\r\n";
    out << "END\r\n";
    return path;
}

TEST(MemoryStop, RegenerateStopsAtTheLimitGiven) {
    const ScratchDirectory dir("quarvo_cli_memory");
    const std::string chain = WriteChain(dir);
    const Finished whole = Calvento(dir, {"regenerate", chain});
    EXPECT_EQ(whole.exitCode, 0) << whole.err;
    EXPECT_NE(whole.out.find("Nombre d'états = 20001."), std::string::npos) << whole.out;
    const Finished stopped = Calvento(dir, {"regenerate", chain, "--memoire-max", "1"});
    EXPECT_EQ(stopped.exitCode, 2);
    EXPECT_EQ(stopped.err, "calvento : mémoire insuffisante, opération abandonnée.\n");
    const Finished wrong = Calvento(dir, {"regenerate", chain, "--memoire-max", "x"});
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_EQ(wrong.err, "calvento : --memoire-max attend un nombre entier positif de mégaoctets.\n");
}

TEST(MemoryStop, CompareAndReduceStopAtTheLimitGiven) {
    const ScratchDirectory dir("quarvo_cli_memory_models");
    const std::string chain = WriteChain(dir);
    const std::string message = "calvento : Mémoire insuffisante : la régénération a été abandonnée.\n";
    const Finished reduced = Calvento(dir, {"reduce", chain, "--memoire-max", "1", "--aut", dir.File("r.aut")});
    EXPECT_EQ(reduced.exitCode, 2);
    EXPECT_EQ(reduced.err, message);
    const Finished compared = Calvento(dir, {"compare", chain, chain, "--memoire-max", "1"});
    EXPECT_EQ(compared.exitCode, 2);
    EXPECT_EQ(compared.err, message);
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"chain.STEM"}));
}

// calvento run with its outputs in files of dir, within an address space of
// 3 GB and two minutes (what a memory stop that does not hold runs into): its
// exit code (-1 when killed), its standard output and its peak resident size.
struct Measured {
    int exitCode = -1;
    std::string out;
    long peakKilobytes = 0;
};

Measured MeasuredCalvento(const ScratchDirectory& dir, const std::vector<std::string>& args) {
    const std::string out = dir.File(".stdout");
    const pid_t child = ::fork();
    if (child == 0) {
        const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int n = ::open("/dev/null", O_WRONLY);
        ::dup2(o, STDOUT_FILENO);
        ::dup2(n, STDERR_FILENO);
        const rlimit space{std::size_t{3} << 30, std::size_t{3} << 30};
        ::setrlimit(RLIMIT_AS, &space);
        ::alarm(120);
        std::vector<char*> argv{const_cast<char*>(CALVENTO_PATH)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(CALVENTO_PATH, argv.data());
        ::_exit(127);
    }
    Measured run;
    int status = 0;
    rusage usage{};
    if (child > 0 && ::wait4(child, &status, 0, &usage) == child && WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    run.peakKilobytes = usage.ru_maxrss;
    run.out = quarvo::test::Bytes(out);
    std::filesystem::remove(out);
    return run;
}

// A process whose single state's successors grow without end: the stop is
// asked within the derivation, not only between states.
TEST(MemoryStop, GenerationStopsWithinAStatesDerivation) {
    const ScratchDirectory dir("quarvo_cli_memory_derivation");
    const std::string spec = dir.File("GROW.LOT");
    std::ofstream(spec, std::ios::binary) << "SYSTEM S [A] :=\r\n  P1 [A]\r\nWHERE\r\n"
                                             "  PROCESS P0 [X] := X; (P1 [X] >> P0 [X]) ENDPROC\r\n"
                                             "  PROCESS P1 [X] := P0 [X] || X; P1 [X] ENDPROC\r\nENDSYS\r\n";
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{"--fils", "1"}, {"--fils", "1", "--entrelacement"}, {"--fils", "1", "--cpbr"},
          {"--max-etats", "100000"}}) {
        std::vector<std::string> args{"generate", spec, "--memoire-max", "200", "-o", dir.File("GROW.STEM")};
        args.insert(args.end(), options.begin(), options.end());
        const Measured run = MeasuredCalvento(dir, args);
        EXPECT_EQ(run.exitCode, 3) << options.back();
        EXPECT_NE(run.out.find("Génération interrompue : mémoire insuffisante"), std::string::npos) << run.out;
        EXPECT_LT(run.peakKilobytes, 300 * 1024) << options.back();
    }
}

// The deadlock search without reduction over 14 independent processes (4.8
// million states, none a deadlock) on one and two threads, and the
// generation it falls back on breadth first; the safety search of a formula
// that holds and watches every action (no transition is invisible: the whole
// space beside the automaton), depth first on one thread and by levels on
// two: stopped at the limit, the verdict unknown.
TEST(MemoryStop, DeadlockAndSafetySearchesStopAtTheLimitOnEveryThread) {
    const ScratchDirectory dir("quarvo_cli_memory_deadlock");
    const std::string spec = dir.File("INDEP.LOT");
    {
        std::ofstream file(spec, std::ios::binary);
        file << "SYSTEM S [";
        for (int i = 0; i < 14; ++i) file << (i ? ",\r\n  " : "") << "A" << i << ", B" << i;
        file << "] :=\r\n";
        for (int i = 0; i < 14; ++i) file << (i ? "||| " : "") << "(A" << i << "; B" << i << "; EXIT)\r\n";
        file << "ENDSYS\r\n";
    }
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{"--fils", "1"}, {"--fils", "2"}, {"--fils", "2", "--plus-court"}}) {
        std::vector<std::string> args{"deadlock", spec, "--sans-reduction", "--memoire-max", "80"};
        args.insert(args.end(), options.begin(), options.end());
        const Measured run = MeasuredCalvento(dir, args);
        EXPECT_EQ(run.exitCode, 2) << options.back();
        EXPECT_NE(run.out.find("interrompue : mémoire insuffisante"), std::string::npos) << run.out;
        EXPECT_EQ(run.out.find("Aucun blocage"), std::string::npos) << run.out;
        EXPECT_LT(run.peakKilobytes, 180 * 1024) << options.back();
    }
    for (const char* threads : {"1", "2"}) {
        const Measured run =
            MeasuredCalvento(dir, {"verify", spec, "[true* . A0 . A0] false", "--memoire-max", "80", "--fils", threads});
        EXPECT_EQ(run.exitCode, 2) << threads;
        EXPECT_NE(run.out.find("Recherche interrompue : mémoire insuffisante"), std::string::npos) << run.out;
        EXPECT_EQ(run.out.find("Propriété"), std::string::npos) << run.out;
        EXPECT_LT(run.peakKilobytes, 180 * 1024) << threads;
    }
}

// Six nested gate choices of twenty gates: 64 million instances, stopped
// while they are expanded.
TEST(MemoryStop, CompilationStopsWithinTheExpansionOfGateChoices) {
    const ScratchDirectory dir("quarvo_cli_memory_choice");
    std::string gates;
    for (int i = 0; i < 20; ++i) gates += (i ? ", g" : "g") + std::to_string(i);
    std::string text = "specification S [" + gates + "] : noexit behaviour\r\n";
    for (int k = 1; k <= 6; ++k) text += "choice v" + std::to_string(k) + " in [" + gates + "] []\r\n";
    text += "v1; v2; v3; v4; v5; v6; stop\r\nendspec\r\n";
    const std::string spec = dir.File("CHOICE.lotos");
    std::ofstream(spec, std::ios::binary) << text;
    const Measured run = MeasuredCalvento(dir, {"generate", spec, "--memoire-max", "200"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.out.find("Mémoire insuffisante pour développer les choix et parallélismes sur des portes."),
              std::string::npos)
        << run.out;
    EXPECT_LT(run.peakKilobytes, 300 * 1024);
}

}  // namespace
