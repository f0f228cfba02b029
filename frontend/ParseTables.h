// The parse-table files of the LR automaton and where they are looked up.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "frontend/Status.h"

namespace quarvo {

constexpr int ParserStateCount = 66;   // states 0..65
constexpr int ParserTerminals = 24;    // columns of taction.tab
constexpr int ParserNonTerminals = 13; // columns of tsucc.tab

// Both tables, stored row after row as in their files.
struct ParseTables {
    std::array<std::int32_t, ParserStateCount * ParserTerminals> action{};
    std::array<std::int32_t, ParserStateCount * ParserNonTerminals> successor{};

    std::int32_t Action(int state, int terminal) const {
        return action[static_cast<std::size_t>(state * ParserTerminals + terminal)];
    }
    std::int32_t Successor(int state, int nonTerminal) const {
        return successor[static_cast<std::size_t>(state * ParserNonTerminals + nonTerminal)];
    }
};

struct ParseTablesResult {
    ParseTables tables;
    Status status;  // a failure names the file
};

// The directories searched for "tables", in order: below startDirectory, next
// to the running program, then the installed data directory.
std::vector<std::string> TableSearchDirectories(const std::string& startDirectory);

// The first of those directories that holds tables/<fileName>, or the first
// one when none does.
std::string FindTablesDirectory(const std::string& startDirectory, const std::string& fileName);

// Reads a file of raw 32-bit little-endian integers into count entries;
// entries past the end of a short file read as 0.
Status ReadIntTable(const std::string& path, std::int32_t* entries, std::size_t count);

// Loads taction.tab and tsucc.tab from the tables directory found for startDirectory.
ParseTablesResult LoadParseTables(const std::string& startDirectory);

// Loads both files from tablesDir itself (the folder that holds the files).
ParseTablesResult LoadParseTablesFrom(const std::string& tablesDir);

}  // namespace quarvo
