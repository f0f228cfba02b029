// A fresh, empty directory of its own for a test, removed with all it holds
// when the test ends: made in the temporary directory the environment names
// (TMPDIR, else /tmp), under a unique name, so that test processes running
// side by side never share a file and nothing is left behind.
#pragma once

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace quarvo::test {

class ScratchDirectory {
public:
    // label starts the directory's name, so that one left by a crash tells
    // whose it was.
    explicit ScratchDirectory(const std::string& label = "quarvo_test") {
        std::string pattern = (std::filesystem::temp_directory_path() / (label + "_XXXXXX")).string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a directory from " + pattern);
        path = pattern;
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    // The path of name in the directory.
    std::string File(const std::string& name) const { return (path / name).string(); }

    // The names the directory holds, sorted.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::filesystem::path path;
};

// The whole content of a file, and a file made of bytes.
inline std::string Bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
inline void Put(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace quarvo::test
