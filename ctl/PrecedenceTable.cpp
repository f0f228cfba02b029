// Row and column classes of the CTL grammar symbols, and the loading of Preced.tab.
#include "ctl/PrecedenceTable.h"

#include <filesystem>
#include <string_view>
#include <system_error>

#include "frontend/ParseTables.h"

namespace quarvo {
namespace fs = std::filesystem;

namespace {

// The symbols that have the same number as a row and as a column: 1 for the
// first of them, up to 14; 0 for any other.
int SharedClass(char symbol) {
    constexpr std::string_view shared = "sbcdmihklrjnoq";
    const std::size_t at = shared.find(symbol);
    return at == std::string_view::npos ? 0 : static_cast<int>(at) + 1;
}

}  // namespace

int PrecedenceRow(char symbol) {
    if (const int shared = SharedClass(symbol)) return shared;
    switch (symbol) {
    case 'p': return 15;
    case ')': case ']': case 't': case 'v': case 'y': return 16;
    case 'f': case 'g': case 'w': case 'x': return 17;
    case 'a': case 'e': return 18;
    case 'u': return 19;
    case '[': return 20;
    case ':': return 21;
    case '#': return 22;
    case 'z': return 23;
    case '(': return 24;
    default: return 0;
    }
}

int PrecedenceColumn(char symbol) {
    if (const int shared = SharedClass(symbol)) return shared;
    switch (symbol) {
    case '(': case 'a': case 'e': case 'p': case 't': case 'v': case 'w': return 15;
    case ')': return 16;
    case '[': case 'f': case 'g': case 'x': return 17;
    case ']': return 18;
    case 'u': return 19;
    case ':': return 20;
    case 'y': return 21;
    case '#': return 22;
    case 'z': return 23;
    default: return 0;
    }
}

PrecedenceTableResult LoadPrecedenceTableFile(const std::string& path) {
    PrecedenceTableResult result;
    result.path = path;
    result.status = ReadIntTable(path, result.table.cells.data(), result.table.cells.size());
    if (!result.status) return result;
    // A short file would leave zeros ("shift") in the missing cells and make
    // the parser read nonsense; say so instead of compiling with it.
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(path, ec);
    const std::uintmax_t expected = result.table.cells.size() * 4;
    if (ec) {
        result.status = Failure{"Impossible de lire la taille de la table « " + path + " »."};
    } else if (size < expected) {
        result.status = Failure{"Table de précédence « " + path + " » incomplète : " + std::to_string(size) +
                                " octets au lieu de " + std::to_string(expected) + "."};
    }
    return result;
}

PrecedenceTableResult LoadPrecedenceTable(const std::string& startDirectory) {
    const std::string dir = FindTablesDirectory(startDirectory, PrecedenceFileName);
    return LoadPrecedenceTableFile((fs::path(dir) / PrecedenceFileName).string());
}

}  // namespace quarvo
