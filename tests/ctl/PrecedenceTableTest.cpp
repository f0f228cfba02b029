// The committed precedence matrix, its loading, and the parser's behaviour on broken matrices.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "CtlTestSupport.h"
#include "tests/StatusTestSupport.h"
#include "RandomFormula.h"

namespace quarvo {
namespace {

namespace fs = std::filesystem;

// The relation cells of the matrix, row by row: columns holding -1, 0 and 1.
struct RelationRow {
    int row;
    std::vector<int> yields, equal, takes;
};

const std::vector<RelationRow>& RelationCells() {
    static const std::vector<RelationRow> rows = {
        {1, {}, {11, 19}, {16, 18}},
        {2, {}, {}, {11, 16, 18, 19, 22}},
        {3, {}, {12}, {11, 16, 18, 19, 22}},
        {4, {}, {}, {11, 12, 16, 18, 19, 22}},
        {5, {}, {13}, {11, 12, 16, 18, 19, 22}},
        {6, {}, {}, {11, 12, 13, 16, 18, 19, 22}},
        {7, {}, {14}, {11, 12, 13, 16, 18, 19, 22}},
        {8, {}, {}, {11, 12, 13, 14, 16, 18, 19, 22}},
        {9, {}, {}, {16, 18}},
        {10, {}, {18}, {}},
        {11, {3, 4, 5, 6, 7, 8, 15}, {2}, {}},
        {12, {5, 6, 7, 8, 15}, {4}, {}},
        {13, {7, 8, 15}, {6}, {}},
        {14, {15}, {8}, {}},
        {15, {}, {20}, {11, 12, 13, 14, 16, 18, 19, 22}},
        {16, {}, {}, {11, 12, 13, 14, 16, 18, 19, 22}},
        {17, {15}, {8}, {}},
        {18, {}, {17}, {}},
        {19, {1, 2, 3, 4, 5, 6, 7, 8, 15}, {9}, {}},
        {20, {1, 2, 3, 4, 5, 6, 7, 8, 15}, {10}, {}},
        {21, {}, {21}, {}},
        {22, {1, 2, 3, 4, 5, 6, 7, 8, 15}, {}, {}},
        {23, {}, {16}, {}},
        {24, {1, 2, 3, 4, 5, 6, 7, 8, 9, 15}, {23}, {}},
    };
    return rows;
}

bool IsErrorCode(std::int32_t v) { return v >= 2 && v <= 14 && v != 10; }

TEST(PrecedenceTable, CommittedFileHoldsExactlyTheRelationsAndErrorCodesElsewhere) {
    const PrecedenceTableResult loaded =
        LoadPrecedenceTableFile(std::string(QUARVO_SOURCE_DIR) + "/tables/Preced.tab");
    ASSERT_TRUE(test::Succeeded(loaded.status));
    const PrecedenceTable& t = loaded.table;
    std::array<std::array<std::int32_t, PrecedenceColumns + 1>, PrecedenceRows + 1> expected{};
    for (auto& row : expected) row.fill(-100);
    for (const RelationRow& r : RelationCells()) {
        for (int c : r.yields) expected[r.row][c] = -1;
        for (int c : r.equal) expected[r.row][c] = 0;
        for (int c : r.takes) expected[r.row][c] = 1;
    }
    expected[1][22] = 50;
    expected[22][22] = 10;
    for (int row = 1; row <= PrecedenceRows; ++row)
        for (int column = 1; column <= PrecedenceColumns; ++column) {
            if (expected[row][column] != -100)
                EXPECT_EQ(t.At(row, column), expected[row][column]) << row << "," << column;
            else
                EXPECT_TRUE(IsErrorCode(t.At(row, column))) << row << "," << column << ": " << t.At(row, column);
        }
    // Where the messages point to an obvious cell, the matrix uses them.
    for (int column = 1; column <= PrecedenceColumns; ++column) {
        if (column != 17) {
            EXPECT_EQ(t.At(18, column), 4) << column;
        }
        if (column != 21) {
            EXPECT_EQ(t.At(21, column), 5) << column;
        }
    }
    for (int row = 1; row <= PrecedenceRows; ++row) {
        if (row == 18 || row == 21 || row == 10) continue;
        EXPECT_EQ(t.At(row, 17), 7) << row;
        if (row != 15) {
            EXPECT_EQ(t.At(row, 20), 8) << row;
        }
        EXPECT_EQ(t.At(row, 21), 9) << row;
    }
    for (int row : {1, 2, 3, 4, 5, 6, 7, 8, 9, 15, 16, 23}) EXPECT_EQ(t.At(row, 15), 6) << row;
}

TEST(PrecedenceTable, SymbolsFallIntoTheirRowAndColumnClasses) {
    const std::string rowSymbols[] = {"s", "b", "c", "d", "m", "i", "h", "k", "l", "r", "j", "n",
                                      "o", "q", "p", ")]tvy", "fgwx", "ae", "u", "[", ":", "#", "z", "("};
    const std::string columnSymbols[] = {"s", "b", "c", "d", "m", "i", "h", "k", "l", "r", "j", "n",
                                         "o", "q", "(aeptvw", ")", "[fgx", "]", "u", ":", "y", "#", "z"};
    for (int r = 0; r < PrecedenceRows; ++r)
        for (char c : rowSymbols[r]) EXPECT_EQ(PrecedenceRow(c), r + 1) << c;
    for (int k = 0; k < PrecedenceColumns; ++k)
        for (char c : columnSymbols[k]) EXPECT_EQ(PrecedenceColumn(c), k + 1) << c;
    EXPECT_EQ(PrecedenceRow('?'), 0);
    EXPECT_EQ(PrecedenceColumn('?'), 0);
    // Every other character, NUL included, is in no class.
    auto listed = [](const auto& classes, char c) {
        for (const std::string& symbols : classes)
            if (symbols.find(c) != std::string::npos) return true;
        return false;
    };
    for (int code = -128; code < 128; ++code) {
        const char c = static_cast<char>(code);
        if (!listed(rowSymbols, c)) {
            EXPECT_EQ(PrecedenceRow(c), 0) << code;
        }
        if (!listed(columnSymbols, c)) {
            EXPECT_EQ(PrecedenceColumn(c), 0) << code;
        }
    }
}

class TemporaryDirectory {
public:
    TemporaryDirectory() : path_(fs::temp_directory_path() / ("quarvo_ctl_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
        fs::create_directories(path_ / "tables");
    }
    ~TemporaryDirectory() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

TEST(PrecedenceTable, MissingOrShortFileGivesAFrenchMessageAndNoCompilation) {
    TemporaryDirectory dir;
    const std::string file = (dir.path() / "tables" / "Preced.tab").string();
    PrecedenceTableResult missing = LoadPrecedenceTableFile(file);
    EXPECT_TRUE(test::FailedWith(missing.status, "Fichier de table introuvable : « " + file + " »."));

    {
        std::ofstream out(file, std::ios::binary);
        const char bytes[8] = {-1, -1, -1, -1, 0, 0, 0, 0};
        out.write(bytes, 8);
    }
    PrecedenceTableResult shortFile = LoadPrecedenceTableFile(file);
    EXPECT_TRUE(test::FailedWith(shortFile.status,
                                 "Table de précédence « " + file + " » incomplète : 8 octets au lieu de 2208."));
    EXPECT_EQ(shortFile.table.At(1, 1), -1);
    EXPECT_EQ(shortFile.table.At(1, 2), 0);
    EXPECT_EQ(shortFile.table.At(24, 23), 0);  // past the end

    std::vector<std::string> lines{"p"};
    VectorLineSource source(lines);
    FormulaCompileResult r = CompileFormula(source, dir.path().string());
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(test::FailedWith(r.tables, shortFile.status.message()));
    EXPECT_EQ(r.Message(), shortFile.status.message());
}

// Whatever the matrix says, the parser stops with a verdict: no hang, no crash.
TEST(PrecedenceTable, ParserEndsOnEveryMatrixEvenNonsense) {
    std::mt19937 rng(7);
    const std::int32_t values[] = {-2, -1, -1, 0, 0, 1, 1, 1, 2, 3, 10, 11, 14, 50, 99};
    std::vector<PrecedenceTable> tables;
    tables.push_back(PrecedenceTable{});  // all zero: what a short file leaves
    for (int i = 0; i < 40; ++i) {
        PrecedenceTable t;
        for (auto& cell : t.cells) cell = values[rng() % std::size(values)];
        tables.push_back(t);
    }
    for (const PrecedenceTable& table : tables)
        for (int k = 0; k < 25; ++k) {
            test::RandomFormula f = test::MakeRandomFormula(rng, 3);
            std::vector<std::string> lines = test::Lines(f.text + " ) ] : 3");
            VectorLineSource source(lines);
            FormulaCompileResult r = CompileFormula(source, table);
            if (!r.ok()) {
                EXPECT_FALSE(r.error.message.empty());
            }
            for (FormulaIndex n : r.formula.SubformulaList) ASSERT_LT(static_cast<std::size_t>(n), r.formula.nodes.size());
        }
}

}  // namespace
}  // namespace quarvo
