// The OCaml program that hands a compiled specification to the external OCaml modules.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "frontend/Status.h"
#include "frontend/SyntaxTree.h"

namespace quarvo {

// What the external tool chain produces.
enum class OcamlOutput { AlphaReduced, Gpm };
// The form of its result: a classic STEM text or a Graphviz graph.
enum class OcamlFormat { Stem, Dot };

// Process numbers: the system is 0; a definition takes the next number, then
// the definitions reached through its next chain are numbered, then its children.
struct ProcessNumbering {
    std::vector<const ProcessDefinition*> order;  // order[i] has number i
    std::unordered_map<const ProcessDefinition*, int> number;
    // The number of a definition, or -1 for one that was not numbered.
    int NumberOf(const ProcessDefinition* definition) const;
};
ProcessNumbering NumberProcesses(const ProcessDefinition* system);

// "[" then each name between double quotes, followed by ";" when the cell has a
// successor, then "]". With leaveOutDelta a cell named delta writes nothing.
std::string OcamlGateList(const GateCell* list, bool leaveOutDelta);

// The OCaml term of a behaviour (UTF-8); a call writes its callee's number.
std::string OcamlTerm(const BehaviourNode* behaviour, const ProcessNumbering& numbers);

// "(" number "," formal gates "," term ")".
std::string OcamlDefinitionEntry(const ProcessDefinition& definition, const ProcessNumbering& numbers);

// The lines of temp.ml (UTF-8): the module opened, "let sys=[", the entries
// (each but the last followed by ";", the last by "];;") and the test line.
// The GPM output always uses the DOT test line. Empty when the compilation
// has no compiled system definition.
std::vector<std::string> OcamlProgramLines(const Compilation* compilation, OcamlOutput output, OcamlFormat format);

// The bytes of temp.ml: Windows-1252, CR LF after every line but the last.
std::string OcamlProgramBytes(const std::vector<std::string>& lines);

// Writes temp.ml at path, replacing any earlier file; an empty file when
// there is nothing compiled.
Status WriteOcamlProgram(const std::string& path, const Compilation* compilation, OcamlOutput output,
                         OcamlFormat format);

}  // namespace quarvo
