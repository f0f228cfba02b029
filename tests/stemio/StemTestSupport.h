// Helpers of the STEM reader tests: reading from literal lines, a plain
// rendering of a store to compare against, and a writer of the text format.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "frontend/TextFile.h"
#include "generation/EventSet.h"
#include "stemio/StemReader.h"
#include "tests/ScratchDirectory.h"
#include "tests/StatusTestSupport.h"

namespace quarvo::test {

// The lines as the bytes of a file: each line followed by lineEnd, the last
// one too when finalEnd (or when it is empty: a file cannot end on an empty
// line without a line end).
inline std::string FileBytes(const std::vector<std::string>& lines, const std::string& lineEnd, bool finalEnd) {
    std::string bytes;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        bytes += lines[i];
        if (i + 1 < lines.size() || finalEnd || lines[i].empty()) bytes += lineEnd;
    }
    return bytes;
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline StemReadResult ReadFile(const std::string& path, std::size_t chunk) {
    FileLineStream lines(path, chunk);
    StemReadResult r = ReadClassicStem(lines);
    EXPECT_TRUE(Succeeded(lines.status()));
    return r;
}

inline std::vector<std::string> StoreText(const StemStore& stem);

// Reads the lines as the editor's lines. The same text written to a file (CR
// LF and a final line end, or LF alone and none) and read from it in chunks
// of a few bytes must give the same answer, error line included: checked
// here whenever no line holds a line end of its own.
inline StemReadResult Read(const std::vector<std::string>& lines) {
    VectorLineSource source(lines);
    StemReadResult r = ReadClassicStem(source);
    const bool plainLines = std::none_of(lines.begin(), lines.end(), [](const std::string& line) {
        return line.find_first_of("\r\n") != std::string::npos;
    });
    if (!plainLines) return r;
    const ScratchDirectory dir("quarvo_stem_test");
    const std::string path = dir.File("read.STEM");
    for (const auto& [lineEnd, finalEnd, chunk] :
         {std::tuple{std::string("\r\n"), true, std::size_t{3}}, std::tuple{std::string("\n"), false, std::size_t{5}},
          std::tuple{std::string("\r\n"), false, FileLineStream::DefaultChunk}}) {
        WriteBytes(path, FileBytes(lines, lineEnd, finalEnd));
        const StemReadResult f = ReadFile(path, chunk);
        const std::string how = "read from a file in chunks of " + std::to_string(chunk);
        EXPECT_EQ(f.status.ok(), r.status.ok()) << how;
        EXPECT_EQ(f.status.line(), r.status.line()) << how;
        EXPECT_EQ(f.status.message(), r.status.message()) << how;
        EXPECT_EQ(f.declaredStateCount, r.declaredStateCount) << how;
        EXPECT_EQ(f.stem.StemStateCount, r.stem.StemStateCount) << how;
        EXPECT_EQ(StoreText(f.stem), StoreText(r.stem)) << how;
    }
    return r;
}

// "{1:A}" with the action names as stored (case kept, cut at the first blank).
inline std::string SetText(const StemStore& stem, EventSetRef set) {
    std::string s = "{";
    for (const TEventEntry e : set) {
        if (s.size() > 1) s += ",";
        s += std::to_string(e.Event) + ":" + stem.actions.Name(e.Action).Text();
    }
    return s + "}";
}

// "3 {1:A} | {}B:2>4 {1:A}C:3>0": number, maximal events, then the arcs in list order.
inline std::string StateText(const StemStore& stem, const StateView& state) {
    std::string s = std::to_string(state.Number) + " " + SetText(stem, state.Events) + " |";
    for (const ArcView arc : state.Arcs)
        s += " " + SetText(stem, arc.Causes) + stem.actions.Name(arc.Action).Text() + ":" +
             std::to_string(arc.Event) + ">" + std::to_string(arc.Target);
    return s;
}

// One StateText per state, in list order.
inline std::vector<std::string> StoreText(const StemStore& stem) {
    std::vector<std::string> lines;
    for (const StateView state : stem.States()) lines.push_back(StateText(stem, state));
    return lines;
}

// The classic text of a store, written straight from the format's rules
// (header, one line per state with its arcs in list order, END), so that
// reading can be checked against writing without the generation module.
inline std::vector<std::string> ClassicText(const StemStore& stem) {
    auto set = [&stem](EventSetRef events) {
        std::string s = "{";
        for (const TEventEntry e : events) {
            if (s.size() > 1) s += ",";
            s += std::to_string(e.Event) + ":" + stem.actions.Text(e.Action);
        }
        return s + "}";
    };
    std::vector<std::string> lines{"BEGIN " + std::to_string(stem.StemStateCount) + ";"};
    for (const StateView state : stem.States()) {
        std::string line;
        for (const ArcView arc : state.Arcs) {
            const std::optional<StateView> target = stem.FindState(arc.Target);
            line += set(state.Events) + std::to_string(state.Number) + "<" + set(arc.Causes) +
                    stem.actions.Text(arc.Action) + ":" + std::to_string(arc.Event) + ">" +
                    set(target->Events) + std::to_string(arc.Target) + ";";
        }
        lines.push_back(line);
    }
    lines.push_back("END");
    return lines;
}

}  // namespace quarvo::test
