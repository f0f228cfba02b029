// The precedence matrix of the CTL parser, its row and column classes, and the Preced.tab loader.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "frontend/Status.h"

namespace quarvo {

constexpr int PrecedenceRows = 24;
constexpr int PrecedenceColumns = 23;
constexpr const char* PrecedenceFileName = "Preced.tab";

// Values of the matrix that are not error codes.
constexpr std::int32_t PrecYields = -1;   // handle start: shift
constexpr std::int32_t PrecEqual = 0;     // inside a handle: shift
constexpr std::int32_t PrecTakes = 1;     // reduce
constexpr std::int32_t PrecAccept = 10;
constexpr std::int32_t PrecFinished = 50; // the whole formula is on top: keep it as the root

// 24 rows of 23 entries, stored row after row as in the file.
struct PrecedenceTable {
    std::array<std::int32_t, PrecedenceRows * PrecedenceColumns> cells{};

    // row in 1..24, column in 1..23, as numbered in the table's description.
    std::int32_t At(int row, int column) const {
        return cells[static_cast<std::size_t>((row - 1) * PrecedenceColumns + (column - 1))];
    }
    std::int32_t& At(int row, int column) {
        return cells[static_cast<std::size_t>((row - 1) * PrecedenceColumns + (column - 1))];
    }
};

// Row of a grammar symbol on top of the stack, 1..24; 0 for a character that is no symbol.
int PrecedenceRow(char symbol);
// Column of a grammar symbol read or popped, 1..23; 0 for a character that is no column symbol.
int PrecedenceColumn(char symbol);

struct PrecedenceTableResult {
    PrecedenceTable table;  // entries past the end of a short file are 0
    std::string path;       // the file that was read
    Status status;          // ok when the whole table was read
};

// Reads Preced.tab from the tables directory found for startDirectory.
PrecedenceTableResult LoadPrecedenceTable(const std::string& startDirectory);
// Reads the given file.
PrecedenceTableResult LoadPrecedenceTableFile(const std::string& path);

}  // namespace quarvo
