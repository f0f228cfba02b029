// Reader of classic STEM files: rebuilds a STEM from the lines of the editor or of a file.
#pragma once

#include <cstdint>
#include <string>

#include "frontend/CoreInterfaces.h"
#include "frontend/Status.h"
#include "generation/Generator.h"
#include "generation/Progress.h"
#include "generation/StemStore.h"

namespace quarvo {

// Texts of the regeneration command.
inline constexpr const char* StemReadErrorPrefix = "Erreur dans le fichier ligne:";
inline constexpr const char* StemReadErrorCaption = "Erreur dans le fichier";
inline constexpr const char* StemReadSuccessCaption = "Régénération...";
inline constexpr const char* StemReadSuccessText = "STEM régénéré avec succès.";
inline constexpr const char* StemReadOutOfMemoryText = "Mémoire insuffisante : la régénération a été abandonnée.";

struct StemReadResult {
    // Ok, or the failure: at a line of the text, line() the 1-based line and
    // message() "Erreur dans le fichier ligne:" + line; or of the reading
    // itself, line() 0: the file could not be read (reading a file only; the
    // French message of the failure), or memory ran out (outOfMemory,
    // StemReadOutOfMemoryText).
    Status status;
    bool outOfMemory = false;
    // The STEM read, when ok: state 0 first, then the states in the order in
    // which they first appear as a target; each state's arcs in the reverse of
    // their order in the text. StemStateCount is the number of states read.
    StemStore stem;
    // The count written after BEGIN (0 when the reading failed before it).
    std::int32_t declaredStateCount = 0;
    // Some event of the text is named -1: the generation that wrote it ran
    // out of event names (EventNamesExhaustedWarning says so).
    bool eventNamesExhausted = false;

    // The reading itself failed: no line of the text is at fault.
    bool ReadingFailed() const { return !status && status.line() == 0; }
};

// A Progress that also wants the count of the header, to size its bar.
class StemReadProgress : public Progress {
public:
    virtual void Declared(std::int32_t /*stateCount*/) {}
};

// Reads the lines as a classic STEM file into a fresh store; the caller's
// store is not touched, so a failed reading changes nothing. Throws nothing:
// running out of memory fails the reading, and so does the memory nearing
// memoryLimit bytes (0: the machine's memory and the address-space limit of
// the process only), before the system must refuse any. The header's count
// sizes nothing: the states are those the text holds. progress, when
// given, receives Update(states so far, transitions so far) every 1024
// transitions and once at the end (and Declared(count) when it is a
// StemReadProgress); the reading cannot be stopped, it is linear in the text.
StemReadResult ReadClassicStem(const LineSource& lines, Progress* progress = nullptr, std::int64_t memoryLimit = 0);

// The same over lines read one after the other.
StemReadResult ReadClassicStem(LineStream& lines, Progress* progress = nullptr, std::int64_t memoryLimit = 0);

// The same straight from a file, read in chunks: the file's lines are those an
// editor would show (CR LF, LF or a lone CR end a line), so an error names the
// same line; the size of the file is no limit.
StemReadResult ReadClassicStemFile(const std::string& path, Progress* progress = nullptr,
                                   std::int64_t memoryLimit = 0);

// "Erreur dans le fichier ligne:" immediately followed by the line.
std::string StemReadErrorText(int line);

// Makes a STEM read from a file the current one. LastGenStateCount stays that
// of the last generation (the go-to-state dialog bounds itself by it).
void AdoptRegeneratedStem(StemStore& current, StemStore&& fresh);

}  // namespace quarvo
