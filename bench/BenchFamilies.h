// The families of specifications the benchmarks grow, as LOTOS text (lines
// stay well under 300 characters).
#pragma once

#include <string>

namespace quarvo::bench {

// prefix followed by the number i, e.g. A12.
inline std::string Numbered(const char* prefix, int i) {
    std::string name(prefix);
    name += std::to_string(i);
    return name;
}

// n independent processes A_i; B_i; EXIT joined by |||.
inline std::string Independent(int n) {
    std::string gates, body;
    for (int i = 0; i < n; ++i) {
        const std::string a = Numbered("A", i), b = Numbered("B", i);
        gates += (i == 0 ? "" : i % 10 == 0 ? ",\n" : ", ") + a + ", " + b;
        body += (i == 0 ? "" : "\n||| ") + a + "; " + b + "; EXIT";
    }
    return "SYSTEM Independent [" + gates + "] :=\n" + body + "\nENDSYS";
}

// n dining philosophers around a table, forks being processes. Philosopher i
// takes its left fork i, then its right fork i+1, eats, puts the left fork
// down, then the right one, and starts again. Fork i is taken and put back by
// philosopher i or by its left neighbour. Only the EAT gates are visible.
inline std::string Philosophers(int n) {
    auto gate = [](const char* kind, int phil, int fork) { return Numbered(kind, phil) + Numbered("_", fork); };
    std::string eats, hidden, phils, forks;
    for (int i = 0; i < n; ++i) {
        const int left = i, right = (i + 1) % n, neighbour = (i + n - 1) % n;
        eats += (i == 0 ? "" : i % 10 == 0 ? ",\n" : ", ") + Numbered("EAT", i);
        // One philosopher's four gates per line.
        hidden += (i == 0 ? "" : ",\n") + gate("T", i, left) + ", " + gate("T", i, right) + ", " +
                  gate("R", i, left) + ", " + gate("R", i, right);
        phils += (i == 0 ? "" : "\n||| ") + ("Phil [" + gate("T", i, left) + ", " + gate("T", i, right) + ", " +
                                              Numbered("EAT", i) + ", " + gate("R", i, left) + ", " +
                                              gate("R", i, right) + "]");
        forks += (i == 0 ? "" : "\n||| ") + ("Fork [" + gate("T", i, i) + ", " + gate("R", i, i) + ", " +
                                              gate("T", neighbour, i) + ", " + gate("R", neighbour, i) + "]");
    }
    return "SYSTEM Philosophers [" + eats + "] :=\nHIDE " + hidden + " IN\n(" + phils + ")\n|[" + hidden +
           "]|\n(" + forks +
           ")\nWHERE\n"
           "PROCESS Phil [TL, TR, EAT, RL, RR] :=\n"
           "  TL; TR; EAT; RL; RR; Phil [TL, TR, EAT, RL, RR]\n"
           "ENDPROC\n"
           "PROCESS Fork [TA, RA, TB, RB] :=\n"
           "  TA; RA; Fork [TA, RA, TB, RB]\n"
           "  [] TB; RB; Fork [TA, RA, TB, RB]\n"
           "ENDPROC\n"
           "ENDSYS";
}

}  // namespace quarvo::bench
