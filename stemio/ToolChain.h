// The external OCaml tool chain: its work directory, the shell scripts that compile, run and render, and the polling.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "frontend/Status.h"
#include "frontend/SyntaxTree.h"
#include "stemio/OcamlWriter.h"

namespace quarvo {

inline constexpr int OcamlTimeoutSeconds = 120;
inline constexpr const char* OcamlTimeoutMessage = "Le traitement externe n'a pas abouti (délai dépassé).";
// The pause between two looks at the work directory.
inline constexpr std::chrono::milliseconds OcamlPollPause{50};

// The scripts of the chain, each ending by creating the directory "test".
enum class ChainScript {
    Compile,  // temp1.sh: compile temp.ml and link it with the module
    Run,      // temp2.sh: run the linked program, which writes Sortie.txt
    Render,   // tempDot.sh: render Sortie.txt with dot into Sortie.jpg
};

// "ocamlc introuvable : installez OCaml.", "dot introuvable : installez Graphviz.".
std::string MissingToolMessage(const std::string& tool);

// The full path of an executable found on PATH, or an empty string.
std::string FindOnPath(const std::string& tool);

// $QUARVO_CAMLDIR with a final '/' when set and not empty; else an empty
// string, which gives each ToolChain a private work directory of its own.
std::string ChosenCamlDirectory();

// The name every private work directory starts with: camlQuarvo-UID-PID-.
std::string PrivateCamlPrefix();

// Makes a new work directory in the temporary directory ($TMPDIR or /tmp)
// that only this user can enter: camlQuarvo-UID-PID-XXXXXX, mode 0700, made
// by mkdtemp, which never follows a link nor reuses a name. Several users,
// and several programs of one user, thus never share one, and nobody can
// plant a link in it. First removes the directories of that kind that this
// user's programs left when they ended without removing them (killed).
// On success, directory holds the path with a final '/'.
Status MakePrivateCamlDirectory(std::string& directory);

// The directory of the running program, with a final '/'.
std::string ProgramDirectory();

// Where the compiled OCaml modules are: beside the program in the build tree,
// else in ../share/quarvo/ once installed; with a final '/'.
std::string ModuleDirectory();

// Measures the time a caller's polling loop has waited for the chain.
class PollDeadline {
public:
    explicit PollDeadline(std::chrono::milliseconds limit = std::chrono::seconds(OcamlTimeoutSeconds));
    std::chrono::milliseconds Elapsed() const;
    bool Expired() const { return Elapsed() >= limit_; }

private:
    std::chrono::steady_clock::time_point start_;
    std::chrono::milliseconds limit_;
};

// One run of the chain at a time. A window starts a script, then calls Poll()
// between events until it answers true or its PollDeadline expires (then
// Cancel()); the command line and the tests use RunAndWait.
class ToolChain {
public:
    // moduleDirectory holds the installed calventoSource.cmo and lotosGPM.cmo
    // with their interfaces; workDirectory is where every file of a run goes.
    // An empty workDirectory asks for a private one (MakePrivateCamlDirectory),
    // made now and removed with everything in it when the chain is destroyed.
    explicit ToolChain(std::string moduleDirectory, std::string workDirectory = ChosenCamlDirectory());
    ~ToolChain();
    ToolChain(const ToolChain&) = delete;
    ToolChain& operator=(const ToolChain&) = delete;

    // The work directory with a final '/', and a file in it.
    const std::string& WorkDirectory() const { return workDir_; }
    std::string PathOf(const std::string& name) const { return workDir_ + name; }

    // Creates the work directory when missing and copies each module file into
    // it when missing there or older than the installed one.
    Status Prepare();

    // Writes temp.ml in the work directory.
    Status WriteProgram(const Compilation* compilation, OcamlOutput output, OcamlFormat format);

    // The lines of a script, paths quoted for the shell.
    std::vector<std::string> ScriptLines(ChainScript script, OcamlOutput output) const;
    static const char* ScriptName(ChainScript script);

    // Ok when every tool a script needs is on PATH; else failed with the
    // message for the first one missing.
    static Status ToolsFound(ChainScript script);

    // Removes what a run of this script would make (so that an earlier result
    // is never taken for the new one) and the marker "test", writes the script
    // and starts it detached with /bin/sh in the work directory.
    Status Start(ChainScript script, OcamlOutput output);
    // Starts any script given by its lines; Start uses it, and tests too.
    Status StartScript(const std::string& name, const std::vector<std::string>& lines);

    // Without waiting: reaps the script when it has ended and tells whether
    // the marker directory "test" exists.
    bool Poll();
    // True while a started script has not been reaped.
    bool Running() const { return child_ > 0; }
    // Ends the running script with everything it started.
    void Cancel();

    // Starts the script and polls until it is done, or cancels it at the
    // timeout with OcamlTimeoutMessage.
    Status RunAndWait(ChainScript script, OcamlOutput output,
                      std::chrono::milliseconds timeout = std::chrono::seconds(OcamlTimeoutSeconds));
    Status WaitForMarker(std::chrono::milliseconds timeout);

    // Prepare, temp.ml, compile and run: on success Sortie.txt holds the result.
    // Nothing compiled fails without a message.
    Status Produce(const Compilation* compilation, OcamlOutput output, OcamlFormat format,
                   std::chrono::milliseconds timeout = std::chrono::seconds(OcamlTimeoutSeconds));

    // Deletes the files of a run once its result was read: the program, its
    // compiled forms and the first two scripts; a missing file is no error.
    void RemoveRunFiles();
    // Deletes the DOT text and tempDot.sh once the picture was shown.
    void RemovePictureFiles();

private:
    void Reap(bool wait);
    void RemoveFile(const std::string& name);

    std::string moduleDir_;
    std::string workDir_;
    // Whether workDir_ is a private directory this chain made and removes.
    bool ownsWorkDir_ = false;
    // Why the private directory could not be made; Prepare reports it.
    Status workDirStatus_;
    pid_t child_ = -1;
};

}  // namespace quarvo
