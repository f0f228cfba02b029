// The tool chain driver: script lines, work directory, module copies, polling, time-out and whole runs.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "../frontend/FrontendTestSupport.h"
#include "OcamlTestSupport.h"
#include "frontend/TextFile.h"
#include "stemio/ToolChain.h"

namespace quarvo {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Sets an environment variable for the scope of a test.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        const char* old = std::getenv(name);
        had_ = old != nullptr;
        if (had_) old_ = old;
        if (value) setenv(name, value, 1);
        else unsetenv(name);
    }
    ~ScopedEnv() {
        if (had_) setenv(name_, old_.c_str(), 1);
        else unsetenv(name_);
    }

private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

bool NoChildLeft() {
    int status = 0;
    return waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD;
}

TEST(ToolChainScripts, HoldThePartsLinesWithQuotedPaths) {
    ToolChain chain("/opt/quarvo/bin", "/tmp/it's here");
    const std::string w = "'/tmp/it'\\''s here/";
    EXPECT_EQ(chain.WorkDirectory(), "/tmp/it's here/");
    EXPECT_EQ(chain.ScriptLines(ChainScript::Compile, OcamlOutput::AlphaReduced),
              (std::vector<std::string>{"ocamlc -alert -deprecated -c " + w + "temp.ml'",
                                        "ocamlc -o " + w + "temp.exe' " + w + "calventoSource.cmo' " + w + "temp.cmo'",
                                        "mkdir " + w + "test'"}));
    EXPECT_EQ(chain.ScriptLines(ChainScript::Compile, OcamlOutput::Gpm)[1],
              "ocamlc -o " + w + "temp.exe' " + w + "lotosGPM.cmo' " + w + "temp.cmo'");
    EXPECT_EQ(chain.ScriptLines(ChainScript::Run, OcamlOutput::Gpm),
              (std::vector<std::string>{"ocamlrun temp.exe " + w + "Sortie.txt'", "mkdir " + w + "test'"}));
    EXPECT_EQ(chain.ScriptLines(ChainScript::Render, OcamlOutput::AlphaReduced),
              (std::vector<std::string>{"dot -Tjpg " + w + "Sortie.txt' -o  " + w + "Sortie.jpg'",
                                        "mkdir " + w + "test'"}));
    EXPECT_STREQ(ToolChain::ScriptName(ChainScript::Compile), "temp1.sh");
    EXPECT_STREQ(ToolChain::ScriptName(ChainScript::Run), "temp2.sh");
    EXPECT_STREQ(ToolChain::ScriptName(ChainScript::Render), "tempDot.sh");
}

TEST(ToolChainScripts, NameTheMissingTool) {
    EXPECT_EQ(MissingToolMessage("ocamlc"), "ocamlc introuvable : installez OCaml.");
    EXPECT_EQ(MissingToolMessage("dot"), "dot introuvable : installez Graphviz.");

    const std::string empty = test::FreshWorkDirectory();
    ScopedEnv path("PATH", empty.c_str());
    EXPECT_EQ(FindOnPath("sh"), "");
    EXPECT_TRUE(test::FailedWith(ToolChain::ToolsFound(ChainScript::Compile), "ocamlc introuvable : installez OCaml."));
    EXPECT_TRUE(test::FailedWith(ToolChain::ToolsFound(ChainScript::Run), "ocamlrun introuvable : installez OCaml."));
    EXPECT_TRUE(test::FailedWith(ToolChain::ToolsFound(ChainScript::Render), "dot introuvable : installez Graphviz."));

    // Nothing is started, and the files of an earlier run stay.
    ToolChain chain(empty, empty);
    WriteAll(chain.PathOf("Sortie.jpg"), "old");
    EXPECT_TRUE(test::FailedWith(chain.Start(ChainScript::Render, OcamlOutput::AlphaReduced),
                                 "dot introuvable : installez Graphviz."));
    EXPECT_FALSE(chain.Running());
    EXPECT_TRUE(fs::exists(chain.PathOf("Sortie.jpg")));
    EXPECT_FALSE(fs::exists(chain.PathOf("tempDot.sh")));
}

TEST(ToolChainScripts, FindToolsOnPath) {
    const std::string dir = test::FreshWorkDirectory();
    WriteAll(dir + "tool", "#!/bin/sh\n");
    WriteAll(dir + "plain", "not executable");
    fs::permissions(dir + "tool", fs::perms::owner_all);
    ScopedEnv path("PATH", ("/nonexistent::" + dir).c_str());
    EXPECT_EQ(FindOnPath("tool"), dir + "tool");
    EXPECT_EQ(FindOnPath("plain"), "");
    EXPECT_EQ(FindOnPath(dir + "tool"), dir + "tool");
    EXPECT_EQ(FindOnPath(""), "");
}

// The mode bits of a path itself (a link is not followed), or -1 when it is not a directory of this user.
int PrivateModeOf(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid()) return -1;
    return static_cast<int>(st.st_mode & 07777);
}

// The identifier of a process that has ended.
pid_t EndedProcess() {
    const pid_t child = fork();
    if (child == 0) _exit(0);
    int status = 0;
    waitpid(child, &status, 0);
    return child;
}

TEST(ToolChainDirectory, ComesFromTheEnvironmentOrIsPrivate) {
    {
        ScopedEnv chosen("QUARVO_CAMLDIR", "/var/tmp/mine");
        EXPECT_EQ(ChosenCamlDirectory(), "/var/tmp/mine/");
    }
    ScopedEnv chosen("QUARVO_CAMLDIR", "");
    EXPECT_EQ(ChosenCamlDirectory(), "");
    EXPECT_EQ(PrivateCamlPrefix(), "camlQuarvo-" + std::to_string(geteuid()) + "-" + std::to_string(getpid()) + "-");
}

TEST(ToolChainDirectory, ANamedDirectoryMissingIsMadeForThisUserAlone) {
    const std::string named = test::FreshWorkDirectory() + "new/caml";
    ScopedEnv chosen("QUARVO_CAMLDIR", named.c_str());
    const std::string installed = test::FreshWorkDirectory(" installed");
    for (const char* f : {"calventoSource.cmo", "calventosource.cmi", "lotosGPM.cmo", "lotosGPM.cmi"})
        WriteAll(installed + f, f);
    ToolChain chain(installed);
    EXPECT_EQ(chain.WorkDirectory(), named + "/");
    ASSERT_TRUE(test::Succeeded(chain.Prepare()));
    EXPECT_EQ(PrivateModeOf(named), 0700);
}

// Two chains side by side, as two programs or two users would run them, in a
// temporary directory where someone planted a link at the old fixed name.
TEST(ToolChainDirectory, EachChainHasAPrivateDirectoryNeverThroughALinkAndRemovedAfterwards) {
    const std::string tmp = test::FreshWorkDirectory();
    const std::string victim = test::FreshWorkDirectory(" victim");
    fs::create_directory_symlink(victim, tmp + "camlQuarvo");
    ScopedEnv chosen("QUARVO_CAMLDIR", nullptr);
    ScopedEnv temporary("TMPDIR", tmp.c_str());
    const std::string installed = test::FreshWorkDirectory(" installed");
    for (const char* f : {"calventoSource.cmo", "calventosource.cmi", "lotosGPM.cmo", "lotosGPM.cmi"})
        WriteAll(installed + f, f);

    std::string first, second;
    {
        ToolChain one(installed), two(installed);
        first = one.WorkDirectory();
        second = two.WorkDirectory();
        EXPECT_NE(first, second);
        for (const std::string& dir : {first, second}) {
            EXPECT_EQ(dir.rfind(tmp + PrivateCamlPrefix(), 0), 0u) << dir;
            EXPECT_EQ(PrivateModeOf(dir.substr(0, dir.size() - 1)), 0700) << dir;
        }
        ASSERT_TRUE(test::Succeeded(one.Prepare()));
        ASSERT_TRUE(test::Succeeded(two.Prepare()));
        ASSERT_TRUE(test::Succeeded(one.StartScript("mine.sh", {"echo one > mine.txt", "mkdir test"})));
        ASSERT_TRUE(test::Succeeded(one.WaitForMarker(10s)));
        EXPECT_EQ(ReadAll(one.PathOf("mine.txt")), "one\n");
        EXPECT_FALSE(fs::exists(two.PathOf("mine.txt")));
    }
    EXPECT_FALSE(fs::exists(first));
    EXPECT_FALSE(fs::exists(second));
    EXPECT_TRUE(fs::is_symlink(tmp + "camlQuarvo"));
    EXPECT_TRUE(fs::is_empty(victim));
}

TEST(ToolChainDirectory, TheDirectoriesOfEndedProgramsAreRemovedOthersKept) {
    const std::string tmp = test::FreshWorkDirectory();
    const std::string victim = test::FreshWorkDirectory(" victim");
    WriteAll(victim + "keep", "kept");
    ScopedEnv chosen("QUARVO_CAMLDIR", nullptr);
    ScopedEnv temporary("TMPDIR", tmp.c_str());
    const std::string mine = "camlQuarvo-" + std::to_string(geteuid()) + "-";
    const std::string ended = mine + std::to_string(EndedProcess()) + "-";
    // Left by a program that was killed: removed.
    fs::create_directory(tmp + ended + "abcdef");
    WriteAll(tmp + ended + "abcdef/temp.ml", "left");
    fs::permissions(tmp + ended + "abcdef", fs::perms::owner_all, fs::perm_options::replace);
    // A link with such a name, a directory open to others, a running program's: kept.
    fs::create_directory_symlink(victim, tmp + ended + "linked");
    fs::create_directory(tmp + ended + "opened");
    fs::permissions(tmp + ended + "opened", fs::perms::all, fs::perm_options::replace);
    fs::create_directory(tmp + mine + "1-running");
    fs::permissions(tmp + mine + "1-running", fs::perms::owner_all, fs::perm_options::replace);

    std::string made;
    ASSERT_TRUE(test::Succeeded(MakePrivateCamlDirectory(made)));
    EXPECT_FALSE(fs::exists(tmp + ended + "abcdef"));
    EXPECT_TRUE(fs::is_symlink(tmp + ended + "linked"));
    EXPECT_EQ(ReadAll(victim + "keep"), "kept");
    EXPECT_TRUE(fs::is_directory(tmp + ended + "opened"));
    EXPECT_TRUE(fs::is_directory(tmp + mine + "1-running"));
    EXPECT_EQ(PrivateModeOf(made.substr(0, made.size() - 1)), 0700);

    // Where no directory can be made, the chain says why instead of running.
    ScopedEnv nowhere("TMPDIR", (tmp + "missing").c_str());
    ToolChain chain(tmp);
    const Status prepared = chain.Prepare();
    EXPECT_FALSE(prepared.ok());
    EXPECT_NE(prepared.message().find("Impossible de créer le répertoire de travail dans " + tmp + "missing/"),
              std::string::npos)
        << prepared.message();
}

TEST(ToolChainDirectory, IsCreatedAndGetsModulesMissingOrOlderThanTheInstalledOnes) {
    const std::string installed = test::FreshWorkDirectory(" installed");
    const std::string work = test::FreshWorkDirectory() + "sub/dir/";
    const char* files[] = {"calventoSource.cmo", "calventosource.cmi", "lotosGPM.cmo", "lotosGPM.cmi"};
    for (const char* f : files) WriteAll(installed + f, std::string("v1 ") + f);

    ToolChain chain(installed, work);
    ASSERT_TRUE(test::Succeeded(chain.Prepare()));
    for (const char* f : files) EXPECT_EQ(ReadAll(work + f), std::string("v1 ") + f);

    // A newer installed module replaces the copy; an older one does not.
    const auto now = fs::file_time_type::clock::now();
    WriteAll(installed + "lotosGPM.cmo", "v2");
    fs::last_write_time(installed + "lotosGPM.cmo", now + 1h);
    WriteAll(installed + "lotosGPM.cmi", "v2");
    fs::last_write_time(installed + "lotosGPM.cmi", now - 1h);
    ASSERT_TRUE(test::Succeeded(chain.Prepare()));
    EXPECT_EQ(ReadAll(work + "lotosGPM.cmo"), "v2");
    EXPECT_EQ(ReadAll(work + "lotosGPM.cmi"), "v1 lotosGPM.cmi");

    // A module missing from the installation is taken from an earlier copy; missing from both, it is reported.
    fs::remove(installed + "calventoSource.cmo");
    EXPECT_TRUE(test::Succeeded(chain.Prepare()));
    fs::remove(work + "calventoSource.cmo");
    EXPECT_TRUE(test::FailedWith(chain.Prepare(), "Module OCaml introuvable : " + installed + "calventoSource.cmo."));
}

TEST(ToolChainPolling, GivesUpOnAScriptThatNeverEndsAndLeavesNoProcess) {
    const std::string work = test::FreshWorkDirectory();
    ToolChain chain(work, work);
    ASSERT_TRUE(test::Succeeded(chain.StartScript("never.sh", {"sleep 60 &", "sleep 60"})));
    EXPECT_TRUE(chain.Running());
    EXPECT_FALSE(chain.Poll());
    Status outcome = chain.WaitForMarker(200ms);
    EXPECT_TRUE(test::FailedWith(outcome, "Le traitement externe n'a pas abouti (délai dépassé)."));
    EXPECT_FALSE(chain.Running());
    EXPECT_TRUE(NoChildLeft());
}

TEST(ToolChainPolling, FailsAtOnceWhenTheScriptEndsWithoutTheMarker) {
    const std::string work = test::FreshWorkDirectory();
    ToolChain chain(work, work);
    fs::create_directory(chain.PathOf("test"));  // left by an earlier run
    ASSERT_TRUE(test::Succeeded(chain.StartScript("quiet.sh", {"echo failing >&2", "exit 3"})));
    Status outcome = chain.WaitForMarker(60s);
    EXPECT_TRUE(test::FailedWith(outcome, "Le traitement externe n'a pas abouti : voir " + work + "temp.log."));
    EXPECT_EQ(ReadAll(work + "temp.log"), "failing\n");
    EXPECT_FALSE(fs::exists(chain.PathOf("test")));
    EXPECT_TRUE(NoChildLeft());
}

TEST(ToolChainPolling, SeesTheMarkerOfAScriptRunInTheWorkDirectory) {
    const std::string work = test::FreshWorkDirectory();
    ToolChain chain(work, work);
    ASSERT_TRUE(test::Succeeded(chain.StartScript("marker.sh", {"pwd > here.txt", "mkdir test"})));
    Status outcome = chain.WaitForMarker(60s);
    EXPECT_TRUE(test::Succeeded(outcome));
    EXPECT_TRUE(chain.Poll());
    EXPECT_EQ(fs::path(ReadAll(work + "here.txt").substr(0, work.size() - 1)), fs::path(work.substr(0, work.size() - 1)));
    // Scripts end with line feeds only.
    EXPECT_EQ(ReadAll(work + "marker.sh"), "pwd > here.txt\nmkdir test\n");
}

// Whole runs with OCaml and the built modules.
class ToolChainRun : public testing::Test {
protected:
    void SetUp() override {
        std::string why = test::ChainUnavailable();
        if (!why.empty()) GTEST_SKIP() << why;
    }
    std::shared_ptr<Compilation> Compile(const std::string& text) {
        test::Compiled c = test::CompileText(text);
        EXPECT_TRUE(c.ok());
        return c.outcome.compilation;
    }
};

TEST_F(ToolChainRun, ProducesTheAlphaReducedStemOfAnInterleaving) {
    const std::string work = test::FreshWorkDirectory();
    ToolChain chain(test::BuiltModuleDirectory(), work);
    auto compilation = Compile("SYSTEM S [A, B] := A; NIL ||| B; NIL ENDSYS\n");
    Status outcome = chain.Produce(compilation.get(), OcamlOutput::AlphaReduced, OcamlFormat::Stem);
    ASSERT_TRUE(test::Succeeded(outcome));
    EXPECT_EQ(ReadAll(chain.PathOf("Sortie.txt")),
              "BEGIN 4;\r\n"
              "{}0<{}B:1>{1:B}2;{}0<{}A:1>{1:A}1;\r\n"
              "{1:A}1<{}B:2>{1:A,2:B}3;\r\n"
              "{1:B}2<{}A:1>{1:A,2:B}3;\r\n"
              "\r\n"
              "END");
    for (const char* f : {"temp1.sh", "temp2.sh", "temp.exe", "temp.ml", "calventoSource.cmo"})
        EXPECT_TRUE(fs::exists(chain.PathOf(f))) << f;
    chain.RemoveRunFiles();
    for (const char* f : {"temp1.sh", "temp2.sh", "temp.exe", "temp.cmo", "temp.cmi", "temp.ml"})
        EXPECT_FALSE(fs::exists(chain.PathOf(f))) << f;
    EXPECT_TRUE(fs::exists(chain.PathOf("Sortie.txt")));
    EXPECT_TRUE(NoChildLeft());
}

TEST_F(ToolChainRun, ProducesTheMaximalStepGraphAndItsPicture) {
    const std::string work = test::FreshWorkDirectory();
    ToolChain chain(test::BuiltModuleDirectory(), work);
    auto compilation = Compile("SYSTEM S [A, B] := A; NIL ||| B; NIL ENDSYS\n");
    Status outcome = chain.Produce(compilation.get(), OcamlOutput::Gpm, OcamlFormat::Stem);
    ASSERT_TRUE(test::Succeeded(outcome));
    TextFileResult text = ReadTextFile(chain.PathOf("Sortie.txt"));
    EXPECT_EQ(text.lines, (std::vector<std::string>{"digraph GPM {", "  S0 [shape=doublecircle];",
                                                    "  S1 [shape=circle];", "  S0 -> S1 [label=\"A|B\"];", "}"}));

    if (!ToolChain::ToolsFound(ChainScript::Render)) GTEST_SKIP() << "dot is not installed";
    outcome = chain.RunAndWait(ChainScript::Render, OcamlOutput::Gpm);
    ASSERT_TRUE(test::Succeeded(outcome));
    EXPECT_EQ(ReadAll(chain.PathOf("Sortie.jpg")).substr(0, 3), "\xFF\xD8\xFF");
    chain.RemovePictureFiles();
    EXPECT_FALSE(fs::exists(chain.PathOf("Sortie.txt")));
    EXPECT_FALSE(fs::exists(chain.PathOf("tempDot.sh")));
    EXPECT_TRUE(fs::exists(chain.PathOf("Sortie.jpg")));
}

TEST_F(ToolChainRun, NeverShowsTheResultOfAnEarlierRun) {
    const std::string work = test::FreshWorkDirectory();
    ToolChain chain(test::BuiltModuleDirectory(), work);
    auto compilation = Compile("SYSTEM S [A] := A; EXIT ENDSYS\n");
    ASSERT_TRUE(test::Succeeded(chain.Produce(compilation.get(), OcamlOutput::AlphaReduced, OcamlFormat::Stem)));

    // A program that does not compile: the earlier program and result must not stand in for it.
    WriteAll(chain.PathOf("temp.ml"), "this is not OCaml");
    Status compiled = chain.RunAndWait(ChainScript::Compile, OcamlOutput::AlphaReduced);
    EXPECT_TRUE(test::Succeeded(compiled));  // the script ran to its end
    EXPECT_FALSE(fs::exists(chain.PathOf("temp.exe")));
    EXPECT_FALSE(fs::exists(chain.PathOf("Sortie.txt")));
    Status ran = chain.RunAndWait(ChainScript::Run, OcamlOutput::AlphaReduced);
    EXPECT_TRUE(test::Succeeded(ran));
    EXPECT_FALSE(fs::exists(chain.PathOf("Sortie.txt")));
    EXPECT_NE(ReadAll(chain.PathOf("temp.log")).find("Error"), std::string::npos);
}

}  // namespace
}  // namespace quarvo
