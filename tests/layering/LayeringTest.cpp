// Keeps the layers as they are drawn: no core source sees Qt or a window, each
// core folder includes only the folders below it, no two units include each
// other (even through others), and the libraries link without a cycle.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Graph = std::map<std::string, std::set<std::string>>;

// The strongly connected components of more than one node, or of one node
// that reaches itself: each is a cycle, given by its members in order.
std::vector<std::vector<std::string>> Cycles(const Graph& graph) {
    std::map<std::string, int> index, low;
    std::set<std::string> onStack;
    std::vector<std::string> stack;
    std::vector<std::vector<std::string>> cycles;
    int next = 0;
    // Iterative Tarjan: a frame is a node and the position reached among its successors.
    for (const auto& [root, ignored] : graph) {
        if (index.count(root)) continue;
        std::vector<std::pair<std::string, std::set<std::string>::const_iterator>> frames;
        auto enter = [&](const std::string& node) {
            index[node] = low[node] = next++;
            stack.push_back(node);
            onStack.insert(node);
            static const std::set<std::string> none;
            const auto found = graph.find(node);
            frames.emplace_back(node, (found == graph.end() ? none : found->second).begin());
        };
        enter(root);
        while (!frames.empty()) {
            auto& [node, it] = frames.back();
            const auto found = graph.find(node);
            if (found != graph.end() && it != found->second.end()) {
                const std::string successor = *it++;
                if (!index.count(successor)) {
                    enter(successor);
                } else if (onStack.count(successor)) {
                    low[node] = std::min(low[node], index[successor]);
                }
                continue;
            }
            const std::string done = node;
            frames.pop_back();
            if (!frames.empty()) low[frames.back().first] = std::min(low[frames.back().first], low[done]);
            if (low[done] != index[done]) continue;
            std::vector<std::string> component;
            std::string member;
            do {
                member = stack.back();
                stack.pop_back();
                onStack.erase(member);
                component.push_back(member);
            } while (member != done);
            const bool selfLoop = found != graph.end() && found->second.count(done);
            if (component.size() > 1 || selfLoop) {
                std::sort(component.begin(), component.end());
                cycles.push_back(component);
            }
        }
    }
    return cycles;
}

std::string Join(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& n : names) text += (text.empty() ? "" : ", ") + n;
    return text;
}

// The folders each core folder may include from (itself included).
const std::map<std::string, std::set<std::string>>& CoreLayers() {
    static const std::map<std::string, std::set<std::string>> layers = {
        {"frontend", {"frontend"}},
        {"generation", {"frontend", "generation"}},
        {"stemio", {"frontend", "generation", "stemio"}},
        {"ctl", {"frontend", "generation", "ctl"}},
        {"views", {"frontend", "generation", "views"}},
        {"equivalence", {"frontend", "generation", "equivalence"}},
        {"logic", {"frontend", "generation", "logic"}},
        {"distributed", {"frontend", "generation", "distributed"}},
    };
    return layers;
}

struct Include {
    std::string target;  // as written
    bool angled = false;
    int line = 0;
};

struct Source {
    std::string path;  // relative to the repository root
    std::vector<Include> includes;
};

std::vector<Source> ReadSources(const fs::path& root) {
    static const std::regex include(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
    std::vector<Source> sources;
    for (const char* folder : {"frontend", "generation", "stemio", "ctl", "views", "equivalence", "logic", "distributed", "app", "cli", "tools", "tests",
                               "bench", "fuzz"}) {
        if (!fs::exists(root / folder)) continue;
        for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
            const std::string ext = entry.path().extension().string();
            if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp")) continue;
            Source source{fs::relative(entry.path(), root).generic_string(), {}};
            std::ifstream in(entry.path());
            std::string text;
            for (int line = 1; std::getline(in, text); ++line) {
                std::smatch m;
                if (std::regex_search(text, m, include)) source.includes.push_back({m[2], m[1] == "<", line});
            }
            sources.push_back(std::move(source));
        }
    }
    return sources;
}

std::string Folder(const std::string& path) { return path.substr(0, path.find('/')); }

// A header and its source file are one unit.
std::string Unit(const std::string& path) { return path.substr(0, path.rfind('.')); }

const fs::path Root = QUARVO_SOURCE_DIR;

TEST(Layering, TheCycleFinderFindsCyclesAndOnlyThem) {
    const Graph chain = {{"a", {"b"}}, {"b", {"c"}}, {"c", {}}};
    EXPECT_TRUE(Cycles(chain).empty());
    const Graph loop = {{"a", {"b"}}, {"b", {"c"}}, {"c", {"a"}}, {"d", {"a"}}};
    ASSERT_EQ(Cycles(loop).size(), 1u);
    EXPECT_EQ(Cycles(loop)[0], (std::vector<std::string>{"a", "b", "c"}));
    const Graph self = {{"a", {"a"}}};
    EXPECT_EQ(Cycles(self).size(), 1u);
}

TEST(Layering, CoreSourcesIncludeNeitherQtNorAWindowNorAHigherLayer) {
    std::vector<std::string> faults;
    for (const Source& source : ReadSources(Root)) {
        const auto layer = CoreLayers().find(Folder(source.path));
        if (layer == CoreLayers().end()) continue;
        for (const Include& include : source.includes) {
            const std::string where = source.path + ":" + std::to_string(include.line) + ": ";
            if (include.angled) {
                if (include.target.rfind("Q", 0) == 0 || include.target.rfind("qt", 0) == 0)
                    faults.push_back(where + "Qt header <" + include.target + ">");
                continue;
            }
            const std::string folder = Folder(include.target);
            if (include.target.find('/') == std::string::npos || !layer->second.count(folder))
                faults.push_back(where + "\"" + include.target + "\" lies outside the layers below " + layer->first);
        }
    }
    EXPECT_TRUE(faults.empty()) << Join(faults);
}

TEST(Layering, NoTwoUnitsIncludeEachOther) {
    const std::vector<Source> sources = ReadSources(Root);
    std::set<std::string> known;
    for (const Source& source : sources) known.insert(source.path);
    Graph units;
    for (const Source& source : sources) {
        const std::string from = Unit(source.path);
        units[from];
        for (const Include& include : source.includes) {
            if (include.angled || !known.count(include.target)) continue;
            const std::string to = Unit(include.target);
            if (to != from) units[from].insert(to);
        }
    }
    std::vector<std::string> faults;
    for (const auto& cycle : Cycles(units)) faults.push_back("{" + Join(cycle) + "}");
    EXPECT_TRUE(faults.empty()) << "include cycles: " << Join(faults);
}

TEST(Layering, LibrariesLinkWithoutCycleAndOnlyDownwards) {
    std::ifstream in(QUARVO_LIBRARY_LINKS);
    ASSERT_TRUE(in) << QUARVO_LIBRARY_LINKS;
    Graph links;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string library, dependency;
        words >> library;
        if (library.empty()) continue;
        library.pop_back();  // the colon
        auto& out = links[library];
        while (words >> dependency)
            if (dependency.rfind("quarvo_", 0) == 0 || dependency.rfind("Qt", 0) == 0 || dependency.rfind("MPI", 0) == 0)
                out.insert(dependency);
    }
    ASSERT_TRUE(links.count("quarvo_frontend"));
    std::vector<std::string> faults;
    for (const auto& cycle : Cycles(links)) faults.push_back("cycle {" + Join(cycle) + "}");
    // Which core library may link which, by the folders it may include.
    const std::map<std::string, std::string> folderOf = {{"quarvo_frontend", "frontend"},
                                                         {"quarvo_generation", "generation"},
                                                         {"quarvo_stemio", "stemio"},
                                                         {"quarvo_ctl", "ctl"},
                                                         {"quarvo_viewmodel", "views"},
                                                         {"quarvo_equivalence", "equivalence"},
                                                         {"quarvo_logic", "logic"},
                                                         {"quarvo_distributed", "distributed"}};
    // The desktop program and calvento never need MPI.
    for (const char* program : {"quarvo_gui", "quarvo", "calvento"}) {
        if (!links.count(program)) continue;
        for (const std::string& dependency : links[program])
            if (dependency == "quarvo_distributed" || dependency.find("MPI") != std::string::npos)
                faults.push_back(std::string(program) + " links " + dependency);
    }
    for (const auto& [library, dependencies] : links) {
        const auto folder = folderOf.find(library);
        if (folder == folderOf.end()) continue;
        for (const std::string& dependency : dependencies) {
            if (library == "quarvo_distributed" && dependency.rfind("MPI", 0) == 0) continue;  // its reason to be
            const auto other = folderOf.find(dependency);
            if (other == folderOf.end() || !CoreLayers().at(folder->second).count(other->second))
                faults.push_back(library + " links " + dependency);
        }
    }
    EXPECT_TRUE(faults.empty()) << Join(faults);
}

}  // namespace
