// Loading of the raw integer table files, and the look-up of the tables directory.
#include "frontend/ParseTables.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "frontend/SystemError.h"

#ifndef QUARVO_DATA_DIR
#define QUARVO_DATA_DIR "/usr/local/share/quarvo"
#endif

namespace quarvo {
namespace fs = std::filesystem;

std::vector<std::string> TableSearchDirectories(const std::string& startDirectory) {
    std::vector<std::string> dirs;
    dirs.push_back((fs::path(startDirectory) / "tables").string());
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        dirs.push_back((exe.parent_path() / "tables").string());
        // An installed tree moved elsewhere than its configured prefix.
        dirs.push_back((exe.parent_path().parent_path() / "share" / "quarvo" / "tables").string());
    }
    dirs.push_back((fs::path(QUARVO_DATA_DIR) / "tables").string());
    return dirs;
}

std::string FindTablesDirectory(const std::string& startDirectory, const std::string& fileName) {
    std::vector<std::string> dirs = TableSearchDirectories(startDirectory);
    for (const std::string& dir : dirs) {
        std::error_code ec;
        if (fs::is_regular_file(fs::path(dir) / fileName, ec)) return dir;
    }
    return dirs.front();
}

Status ReadIntTable(const std::string& path, std::int32_t* entries, std::size_t count) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return Failure{"Fichier de table introuvable : « " + path + " »."};
    std::ifstream in(path, std::ios::binary);
    if (!in) return Failure{"Impossible d'ouvrir la table « " + path + " » : " + SystemErrorReason(errno) + "."};
    std::vector<unsigned char> bytes(count * 4, 0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) return Failure{"Erreur de lecture de la table « " + path + " »."};
    // A short file leaves the remaining entries at 0.
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t v = static_cast<std::uint32_t>(bytes[4 * i]) |
                          static_cast<std::uint32_t>(bytes[4 * i + 1]) << 8 |
                          static_cast<std::uint32_t>(bytes[4 * i + 2]) << 16 |
                          static_cast<std::uint32_t>(bytes[4 * i + 3]) << 24;
        entries[i] = static_cast<std::int32_t>(v);
    }
    return {};
}

ParseTablesResult LoadParseTablesFrom(const std::string& tablesDir) {
    ParseTablesResult result;
    result.status = ReadIntTable((fs::path(tablesDir) / "taction.tab").string(), result.tables.action.data(),
                                 result.tables.action.size());
    if (result.status) {
        result.status = ReadIntTable((fs::path(tablesDir) / "tsucc.tab").string(), result.tables.successor.data(),
                                     result.tables.successor.size());
    }
    return result;
}

ParseTablesResult LoadParseTables(const std::string& startDirectory) {
    std::string dir = FindTablesDirectory(startDirectory, "taction.tab");
    ParseTablesResult result = LoadParseTablesFrom(dir);
    std::error_code ec;
    if (!result.status && !fs::is_regular_file(fs::path(dir) / "taction.tab", ec)) {
        std::string searched;
        for (const std::string& d : TableSearchDirectories(startDirectory)) {
            if (!searched.empty()) searched += ", ";
            searched += d;
        }
        result.status =
            Failure{"Table d'analyse « taction.tab » introuvable ; répertoires consultés : " + searched + "."};
    }
    return result;
}

}  // namespace quarvo
