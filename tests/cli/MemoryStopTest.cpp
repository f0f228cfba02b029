// The memory stop of calvento's readers: --memoire-max covers the reading of
// a STEM file by regenerate, compare and reduce, with its French message.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

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

}  // namespace
