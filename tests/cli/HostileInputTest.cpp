// calvento handed what a hostile or unlucky user hands it: an export over its
// own input, formulas and specifications too deep for a stack, options that
// contradict each other, a closed or piped standard output.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/ScratchDirectory.h"
#include "tests/cli/CalventoRun.h"

namespace {

namespace fs = std::filesystem;
using quarvo::test::Bytes;
using quarvo::test::Calvento;
using quarvo::test::Finished;
using quarvo::test::Put;
using quarvo::test::ScratchDirectory;

const std::string Examples = std::string(QUARVO_SOURCE_DIR) + "/examples/";

TEST(HostileInput, AnExportNeverReplacesItsInput) {
    ScratchDirectory dir("quarvo_cli_export_self");
    const std::string dialect = dir.File("S.LOT"), standard = dir.File("S.lotos");
    fs::copy_file(Examples + "BUFFER.LOT", dialect);
    fs::copy_file(Examples + "BUFFER.lotos", standard);
    fs::create_symlink("S.LOT", dir.path / "link.LOT");
    fs::create_hard_link(standard, dir.path / "hard.lotos");
    const std::string dialectBytes = Bytes(dialect), standardBytes = Bytes(standard);
    const struct {
        std::string input, syntax, output;
    } cases[] = {
        {dialect, "--dialecte", dialect},          {dialect, "--lotos", dialect},
        {dialect, "--lotos", dir.File("link.LOT")}, {standard, "--lotos", standard},
        {standard, "--dialecte", dir.File("hard.lotos")},
    };
    for (const auto& c : cases) {
        const Finished run = Calvento(dir, {"export", c.input, c.syntax, "-o", c.output});
        EXPECT_EQ(run.exitCode, 2) << c.output;
        EXPECT_EQ(run.err, "calvento : Le fichier de sortie « " + c.output + " » est le fichier lu « " + c.input +
                               " » : rien n'a été écrit.\n");
        EXPECT_EQ(Bytes(dialect), dialectBytes);
        EXPECT_EQ(Bytes(standard), standardBytes);
    }
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"S.LOT", "S.lotos", "hard.lotos", "link.LOT"}));
    // Written elsewhere, the export reads back.
    EXPECT_EQ(Calvento(dir, {"export", dialect, "--lotos", "-o", dir.File("E.lotos")}).exitCode, 0);
    EXPECT_EQ(Calvento(dir, {"compile", dir.File("E.lotos")}).exitCode, 0);
}

std::string Repeated(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += piece;
    return text;
}

TEST(HostileInput, DeepFormulasAreRefusedWithAMessage) {
    ScratchDirectory dir("quarvo_cli_deep_formula");
    std::string mu;
    for (int i = 0; i < 10000; ++i) mu += "mu X" + std::to_string(i) + " . <PUT> (";
    const std::vector<std::string> formulas{
        Repeated("(", 30000) + "true" + Repeated(")", 30000),
        "<PUT> true" + Repeated("\nor <PUT> true", 29999),
        "<PUT> true" + Repeated("\nand <PUT> true", 29999),
        mu + "true" + Repeated(")", 10000),
        Repeated("not ", 100000) + "true",
        Repeated("<PUT> ", 100000) + "true",
    };
    for (const std::string& formula : formulas) {
        Put(dir.File("deep.mcl"), formula);
        const Finished run = Calvento(dir, {"verify", Examples + "BUFFER.LOT", "--fichier", dir.File("deep.mcl")});
        EXPECT_EQ(run.exitCode, 2) << formula.substr(0, 30);
        EXPECT_NE((run.out + run.err).find("formule trop imbriquée (plus de 1000 niveaux)"), std::string::npos)
            << formula.substr(0, 30) << "\n" << run.out << run.err;
    }
}

TEST(HostileInput, DeepSpecificationsAreRefusedByExportWithAMessage) {
    ScratchDirectory dir("quarvo_cli_deep_export");
    std::string nested = "SYSTEM S [A] :=\n" + Repeated("(A; NIL []\n", 20000) + "A; NIL";
    for (int i = 0; i < 20000; ++i) nested += i % 100 == 99 ? ")\n" : ")";
    Put(dir.File("nested.LOT"), nested + "\nENDSYS\n");
    Put(dir.File("hidden.LOT"), "SYSTEM S [A] :=\n" + Repeated("HIDE A IN\n", 50000) + "A; NIL\nENDSYS\n");
    for (const char* file : {"nested.LOT", "hidden.LOT"})
        for (const char* syntax : {"--lotos", "--dialecte"}) {
            const Finished run = Calvento(dir, {"export", dir.File(file), syntax});
            EXPECT_EQ(run.exitCode, 2) << file << ' ' << syntax;
            EXPECT_EQ(run.err,
                      "calvento : Spécification trop imbriquée pour être exportée : plus de 1000 niveaux de "
                      "parenthèses, de HIDE ou de WHERE.\n");
        }
}

TEST(HostileInput, ContradictoryOptionsAreRefused) {
    ScratchDirectory dir("quarvo_cli_options");
    const std::string model = Examples + "BUFFER.LOT";
    const struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"generate", model, "-o", dir.File("a"), "-o", dir.File("b")},
         "calvento : l'option « -o » est donnée deux fois : rien n'a été fait.\n"},
        {{"export", model, "--lotos", "--dialecte"},
         "calvento : les options « --lotos » et « --dialecte » s'excluent : rien n'a été fait.\n"},
        {{"compare", model, model, "--fort", "--traces"},
         "calvento : les options « --fort » et « --traces » s'excluent : rien n'a été fait.\n"},
        {{"reduce", model, "--branchement", "--fort", "--aut", dir.File("r.aut")},
         "calvento : les options « --branchement » et « --fort » s'excluent : rien n'a été fait.\n"},
        {{"generate", model, "--memoire-max", "100", "--memoire-max", "200"},
         "calvento : l'option « --memoire-max » est donnée deux fois : rien n'a été fait.\n"},
    };
    for (const auto& c : cases) {
        const Finished run = Calvento(dir, c.args);
        EXPECT_EQ(run.exitCode, 2) << c.args[0];
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(run.out, "");
    }
    EXPECT_TRUE(dir.Names().empty());
    // A value that looks like an option is a value: "-o -" twice names one output twice.
    EXPECT_EQ(Calvento(dir, {"generate", model, "-o", "-"}).exitCode, 0);
}

// Threads asked for beyond what the cores and the levels can use are not
// made: a thousand on the philosophers' 132 states once took 1.3 GB.
TEST(HostileInput, AThousandThreadsOnASmallSystemCostNothing) {
    ScratchDirectory dir("quarvo_cli_threads");
    const std::string model = Examples + "PHILO.LOT";
    const Finished one = Calvento(dir, {"generate", model, "--fils", "1", "-o", dir.File("one.stem")});
    const Finished many = Calvento(dir, {"generate", model, "--fils", "1000", "-o", dir.File("many.stem")});
    ASSERT_EQ(one.exitCode, 0) << one.err;
    ASSERT_EQ(many.exitCode, 0) << many.err;
    EXPECT_EQ(Bytes(dir.File("many.stem")), Bytes(dir.File("one.stem")));
    EXPECT_LT(many.peakKilobytes, 200 * 1024);
}

// A label holding a control byte, as an .aut file may: every message that
// names it writes the byte out, never sends it raw to a terminal.
TEST(HostileInput, ControlBytesOfLabelsAreShownInEveryMessage) {
    ScratchDirectory dir("quarvo_cli_control_bytes");
    const std::string label("A\0B", 3);
    Put(dir.File("nul.aut"), "des (0, 1, 2)\r\n(0, \"" + label + "\", 1)\r\n");
    Put(dir.File("still.aut"), "des (0, 0, 1)\r\n");
    Put(dir.File("taken.trace"), label + "\r\n");
    Put(dir.File("refused.trace"), "C\x1B\r\n");
    const struct {
        std::vector<std::string> args;
        std::string shown;
    } cases[] = {
        {{"compare", dir.File("nul.aut"), dir.File("still.aut")}, "<A\\x00B>true"},
        {{"compare", dir.File("nul.aut"), dir.File("still.aut")}, "peut faire A\\x00B ;"},
        {{"compare", dir.File("nul.aut"), dir.File("still.aut"), "--traces"}, "plus courte : A\\x00B"},
        {{"simulate", dir.File("nul.aut"), "--trace", dir.File("taken.trace")}, "Étape 1 : 0 -A\\x00B-> 1"},
        {{"simulate", dir.File("nul.aut"), "--trace", dir.File("refused.trace")},
         "impossible : « C\\x1B » depuis l'état 0."},
        {{"simulate", dir.File("nul.aut"), "--trace", dir.File("refused.trace")}, "Actions possibles : A\\x00B."},
        {{"verify", dir.File("nul.aut"), "<AB> true"}, "(voulez-vous dire « A\\x00B » ?)"},
    };
    for (const auto& c : cases) {
        const Finished run = Calvento(dir, c.args);
        const std::string said = run.out + run.err;
        EXPECT_NE(said.find(c.shown), std::string::npos) << c.args[0] << "\n" << said;
        EXPECT_EQ(said.find('\0'), std::string::npos) << c.args[0];
        EXPECT_EQ(said.find('\x1B'), std::string::npos) << c.args[0];
    }
}

// Runs calvento with its standard output closed, or on a pipe read to its end.
Finished RunWithStandardOutput(const std::vector<std::string>& args, bool closed) {
    int out[2], err[2];
    EXPECT_EQ(::pipe(out), 0);
    EXPECT_EQ(::pipe(err), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(out[0]);
        ::close(err[0]);
        ::dup2(err[1], STDERR_FILENO);
        if (closed) ::close(STDOUT_FILENO);
        else ::dup2(out[1], STDOUT_FILENO);
        std::vector<char*> argv{const_cast<char*>(CALVENTO_PATH)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(CALVENTO_PATH, argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    Finished run;
    const auto drain = [](int fd) {
        std::string text;
        char buffer[4096];
        for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
        ::close(fd);
        return text;
    };
    run.out = drain(out[0]);
    run.err = drain(err[0]);
    int status = 0;
    if (::waitpid(child, &status, 0) == child && WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    return run;
}

TEST(HostileInput, TheStandardOutputClosedOrAPipeNamedThroughDev) {
    const std::string model = Examples + "BUFFER.LOT";
    const Finished closed = RunWithStandardOutput({"generate", model, "-o", "-"}, true);
    EXPECT_EQ(closed.exitCode, 2);
    EXPECT_NE(closed.err.find("descripteur de fichier invalide"), std::string::npos) << closed.err;
    EXPECT_EQ(closed.err.find("Bad file descriptor"), std::string::npos) << closed.err;
    // /dev/stdout on a pipe: written into, as "-" is.
    const Finished piped = RunWithStandardOutput({"generate", model, "--aut", "/dev/stdout"}, false);
    EXPECT_EQ(piped.exitCode, 0) << piped.err;
    EXPECT_NE(piped.out.find("des (0, "), std::string::npos) << piped.out;
}

}  // namespace
