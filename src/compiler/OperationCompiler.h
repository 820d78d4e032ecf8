// The operation compiler: turns statement lines (assignments, HOLD assignments, LABEL and
// IF ... GOTO) into Operations on ResultSlots in a staging area, and finishes each LAYER or POST
// section into its LayerProgram (liveness, label resolution, slot arrays, listing).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/Log.h"
#include "compiler/CompiledInstrument.h"
#include "compiler/Diagnostics.h"
#include "compiler/Operation.h"
#include "compiler/SlotTable.h"

namespace tess::compiler {

class OperationCompiler {
public:
    explicit OperationCompiler(Log& log) : log_(log) {}

    // Empties the staging area (operations, slots, COMMON's counts, pending label).
    void reset();

    // Compiles one statement line (the line as read); errors go to the log.
    void compileStatement(std::string_view rawLine, int lineNumber, std::string_view fileName);

    // Slot number of one operand text, or a negative code: -1 not a number, -5 bad character,
    // -6 to -8 malformed MCC(...), -9 controller number 1000 or more, -10 name not found.
    int resolveOperand(std::string_view text);

    // Records the current counts as the end of COMMON.
    void markCommonEnd();
    // Cuts the staging area back to COMMON's operations and slots.
    void cutBackToCommon();

    // Finishes the current LAYER (section >= 0) or POST (section -1) into `program`.
    // For POST, `postFrequency` receives 1.0 or -1.0.
    void finishSection(int section, LayerProgram& program, float* postFrequency = nullptr);

    const std::vector<Operation>& operations() const { return operations_; }
    const SlotTable& slots() const { return slots_; }
    int commonOperationCount() const { return commonOperations_; }
    int commonSlotCount() const { return commonSlots_; }
    std::string_view pendingLabel() const { return fieldView(pendingLabel_); }

private:
    void compileAssignment(const std::string& normalized, const SourceLine& line);
    void compileLabel(const std::string& normalized, const SourceLine& line);
    void compileIf(const std::string& normalized, const SourceLine& line);
    // Emits the Operations of a call form; false (with the log written) when it cannot.
    bool emitCallForm(const std::string& callForm, bool hold, int targetSlot);
    Operation& addOperation(bool hold);
    void echoStatement(const std::string& normalized);
    // Liveness of the staged operations; sets Operation::live.
    void markLive(int section, bool isPost);
    void listProgram(int section, const LayerProgram& program) const;
    std::string slotName(int slot) const;

    Log& log_;
    std::vector<Operation> operations_;
    SlotTable slots_;
    int commonOperations_ = 0;
    int commonSlots_ = 0;
    bool commonClosed_ = false;  // COMMON has ended; the staging area now holds POST or a LAYER
    NameField pendingLabel_{};
};

}  // namespace tess::compiler
