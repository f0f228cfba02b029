// What calvento's outputs (-o, --aut) may name: never the specification or
// each other, devices and FIFOs written into, the standard output, and files
// replaced together or not at all.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "tests/ScratchDirectory.h"
#include "tests/cli/CalventoRun.h"

namespace {

namespace fs = std::filesystem;
using quarvo::test::Bytes;
using quarvo::test::Calvento;
using quarvo::test::Finished;
using quarvo::test::ScratchDirectory;

const std::string Example = std::string(QUARVO_SOURCE_DIR) + "/examples/BUFFER.LOT";

TEST(OutputSafety, TheSpecificationSurvivesAnOutputNamingIt) {
    ScratchDirectory dir("quarvo_cli_self");
    const std::string spec = dir.File("self.LOT");
    fs::copy_file(Example, spec);
    fs::create_symlink("self.LOT", dir.path / "link.LOT");
    const std::string before = Bytes(spec);
    for (const std::string& output : {spec, dir.File("link.LOT")})
        for (const char* option : {"-o", "--aut"}) {
            const Finished run = Calvento(dir, {"generate", spec, option, output});
            EXPECT_EQ(run.exitCode, 2) << option << ' ' << output;
            EXPECT_EQ(run.err, "calvento : Le fichier de sortie « " + output + " » est le fichier lu « " + spec +
                                   " » : rien n'a été écrit.\n");
            EXPECT_EQ(run.out, "");  // refused before the compilation
            EXPECT_EQ(Bytes(spec), before);
        }
    const Finished reduced = Calvento(dir, {"reduce", spec, "--aut", spec});
    EXPECT_EQ(reduced.exitCode, 2);
    EXPECT_EQ(Bytes(spec), before);
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"link.LOT", "self.LOT"}));
}

TEST(OutputSafety, TwoOutputsNamingOneFileAreRefused) {
    ScratchDirectory dir("quarvo_cli_twice");
    const std::string file = dir.File("F");
    const Finished run = Calvento(dir, {"generate", Example, "-o", file, "--aut", file});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "calvento : Les fichiers de sortie « " + file + " » et « " + file +
                           " » sont le même fichier : rien n'a été écrit.\n");
    const Finished standard = Calvento(dir, {"generate", Example, "-o", "-", "--aut", "-"});
    EXPECT_EQ(standard.exitCode, 2);
    EXPECT_EQ(standard.out, "");
    EXPECT_TRUE(dir.Names().empty());
}

TEST(OutputSafety, AFailingSecondOutputReplacesNoFile) {
    if (!fs::is_character_file("/dev/full")) GTEST_SKIP() << "no /dev/full";
    ScratchDirectory dir("quarvo_cli_full");
    const std::string stem = dir.File("d.stem");
    std::ofstream(stem, std::ios::binary) << "old stem";
    const Finished run = Calvento(dir, {"generate", Example, "-o", stem, "--aut", "/dev/full"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("calvento : Erreur d'écriture du fichier « /dev/full » : disque plein.\n"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(Bytes(stem), "old stem");
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"d.stem"}));
}

TEST(OutputSafety, TheStandardOutputReceivesTheFileAndTheMessagesGoToTheErrorOutput) {
    ScratchDirectory dir("quarvo_cli_stdout");
    const Finished file = Calvento(dir, {"generate", Example, "-o", dir.File("d.stem")});
    ASSERT_EQ(file.exitCode, 0);
    const Finished standard = Calvento(dir, {"generate", Example, "-o", "-"});
    EXPECT_EQ(standard.exitCode, 0);
    EXPECT_EQ(standard.out, Bytes(dir.path / "d.stem"));
    // The same messages, the confirmation saying where the file went.
    const std::string written = "STEM écrit dans « " + dir.File("d.stem") + " ».\n";
    ASSERT_NE(file.out.find(written), std::string::npos) << file.out;
    std::string expected = file.out;
    expected.replace(expected.find(written), written.size(), "STEM écrit sur la sortie standard.\n");
    EXPECT_EQ(standard.err, expected);
    const Finished aut = Calvento(dir, {"reduce", Example, "--aut", "-"});
    EXPECT_EQ(aut.exitCode, 0);
    EXPECT_EQ(aut.out.rfind("des (0, ", 0), 0u) << aut.out;
}

TEST(OutputSafety, DevicesAndFifosReceiveTheFileAndStayWhatTheyAre) {
    ScratchDirectory dir("quarvo_cli_devices");
    const fs::path fifo = dir.path / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = Bytes(fifo); });
    const Finished piped = Calvento(dir, {"generate", Example, "--aut", fifo.string()});
    reader.join();
    EXPECT_EQ(piped.exitCode, 0) << piped.err;
    EXPECT_EQ(received.rfind("des (0, ", 0), 0u) << received;
    EXPECT_TRUE(fs::is_fifo(fifo));

    const fs::path null = dir.path / "null";
    if (::mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        GTEST_SKIP() << "no device can be made here (not root)";
    const Finished run = Calvento(dir, {"generate", Example, "-o", null.string(), "--aut", dir.File("d.aut")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(fs::is_character_file(null));
    EXPECT_EQ(Bytes(dir.path / "d.aut").rfind("des (0, ", 0), 0u);
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"d.aut", "fifo", "null"}));
}

}  // namespace
