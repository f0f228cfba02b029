// Shared pieces of the tool chain tests: fresh work directories, the built modules, skipping without the tools.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "stemio/ToolChain.h"
#include "tests/ScratchDirectory.h"

namespace quarvo::test {

// The directory the work directories of this test process are made in,
// removed with them when the process ends.
inline const ScratchDirectory& WorkDirectories() {
    static const ScratchDirectory directories("quarvo_chain");
    return directories;
}

// A fresh, empty directory named after the running test; the name holds a
// blank and a quote so that every script line must quote its paths.
inline std::string FreshWorkDirectory(const std::string& suffix = "") {
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("quarvo chain's ") + info->test_suite_name() + "." + info->name() + suffix;
    for (char& c : name)
        if (c == '/') c = '_';
    std::filesystem::path dir = WorkDirectories().path / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string() + "/";
}

// The directory of the compiled OCaml modules in the build tree.
inline std::string BuiltModuleDirectory() { return QUARVO_MODULE_DIR; }

// Empty when the chain can run here, else why not.
inline std::string ChainUnavailable() {
    for (const char* tool : {"ocamlc", "ocamlrun"})
        if (FindOnPath(tool).empty()) return MissingToolMessage(tool);
    for (const char* file : {"calventoSource.cmo", "calventosource.cmi", "lotosGPM.cmo", "lotosGPM.cmi"})
        if (!std::filesystem::exists(BuiltModuleDirectory() + "/" + file)) return std::string("no built ") + file;
    return {};
}

}  // namespace quarvo::test
