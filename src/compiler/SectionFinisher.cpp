// Finishing a LAYER or POST section: which staged operations can affect an output, where each
// jump lands, the initial slot values and the listing.
#include <string>
#include <unordered_map>
#include <vector>

#include "compiler/FunctionTable.h"
#include "compiler/OperationCompiler.h"
#include "compiler/OperationLimits.h"

namespace tess::compiler {

namespace {

constexpr int kSlotSpace = 100000;  // every slot number an operand can hold lies below this

bool validSlot(int slot) { return slot >= 0 && slot < kSlotSpace; }

bool isSendSlot(int slot) { return slot >= kSlotSends4 && slot <= kSlotSends1; }

std::string labelKey(const NameField& field) {
    std::string key(fieldView(field));
    for (char& c : key) c = upperAscii(c);
    return key;
}

const char* comparisonText(Comparison comparison) {
    switch (comparison) {
        case Comparison::Equal: return "CMP(=)";
        case Comparison::Less: return "CMP(<)";
        case Comparison::Greater: return "CMP(>)";
        case Comparison::LessOrEqual: return "CMP(<) CMP(=)";
        case Comparison::GreaterOrEqual: return "CMP(>) CMP(=)";
        case Comparison::NotEqual: return "CMP(<) CMP(>)";
        default: return "CMP(?)";
    }
}

std::string operationName(int code) {
    switch (code) {
        case -1: return "COPY ";
        case 0: return "SUM ";
        case 1: return "SUB ";
        case 2: return "PROD ";
        case 3: return "DIV ";
        case 4: return "POW ";
        default: return std::string(functionName(code - 3));
    }
}

}  // namespace

std::string OperationCompiler::slotName(int slot) const {
    if (slot >= 0 && slot < slots_.size()) return std::string(fieldView(slots_[slot].name));
    if (slot >= kFirstControllerSlot && slot < kSlotSpace) {
        const std::string_view name = keywordNameForSlot(slot);
        return name.empty() ? format("MCC(%d)", 99999 - slot) : std::string(name);
    }
    return format("$%05d", slot);
}

void OperationCompiler::markLive(int section, bool isPost) {
    const std::size_t count = operations_.size();
    // While POST is finished, COMMON's writes to OUT are left out: they must not replace the mix
    // that the POST step receives.
    std::vector<char> considered(count, 1);
    std::vector<char> dropped(count, 0);
    std::vector<char> root(count, 0);
    for (std::size_t i = 0; i < count; ++i) {
        operations_[i].live = 0;
        if (isPost && i < static_cast<std::size_t>(commonOperations_) && operations_[i].output == kSlotOut)
            considered[i] = 0;
    }
    std::unordered_map<std::string, std::size_t> labels;
    for (std::size_t i = 0; i < count; ++i)
        if (considered[i] && operations_[i].hasLabel()) labels.emplace(labelKey(operations_[i].label), i);

    bool keepsJump = false;
    for (std::size_t i = 0; i < count; ++i) {
        if (!considered[i]) continue;
        Operation& op = operations_[i];
        if (op.isJump()) {
            op.output = -1;
            const bool found = op.jumpLabel[0] != '\0' && labels.count(labelKey(op.jumpLabel)) != 0;
            if (!found && !op.hasLabel()) {
                dropped[i] = 1;
                if (log_.debugLevel > 0) {
                    const std::string label(fieldView(op.jumpLabel));
                    log_.append(Log::kMain, format("Layer # %d, operation slot # %d: IF statement INVALID. Label %s NOT "
                                                   "FOUND.\r\n",
                                                   section + 1, static_cast<int>(i), label.c_str()));
                }
                continue;
            }
            root[i] = 1;
            keepsJump = true;
        } else if (op.hasLabel()) {
            root[i] = 1;
        }
    }

    auto operandsOf = [&](std::size_t i) {
        const Operation& op = operations_[i];
        const int n = std::min<int>(op.operandCount, Operation::kMaxOperands);
        return std::vector<int>(op.operands.begin(), op.operands.begin() + std::max(n, 0));
    };

    if (!keepsJump) {
        // Straight-line code: walk backwards from the outputs. A write ends the interest in its
        // slot, so earlier writes of the same slot are dead. The sends add every write to their
        // bus, so a write to a send never hides an earlier one.
        std::vector<char> wanted(kSlotSpace, 0);
        for (int slot : {kSlotOut, kSlotSends1, kSlotSends1 - 1, kSlotSends1 - 2, kSlotSends4}) wanted[slot] = 1;
        for (std::size_t i = 0; i < count; ++i)
            if (root[i]) {
                operations_[i].live = 1;
                for (int slot : operandsOf(i))
                    if (validSlot(slot)) wanted[static_cast<std::size_t>(slot)] = 1;
            }
        for (std::size_t k = count; k-- > 0;) {
            if (!considered[k] || dropped[k]) continue;
            const int output = operations_[k].output;
            if (!validSlot(output) || !wanted[static_cast<std::size_t>(output)]) continue;
            operations_[k].live = 1;
            if (!isSendSlot(output)) wanted[static_cast<std::size_t>(output)] = 0;
            for (int slot : operandsOf(k))
                if (validSlot(slot)) wanted[static_cast<std::size_t>(slot)] = 1;
        }
        return;
    }

    // With jumps the order of the operations says nothing about which write a read sees, so
    // an operation is live when it writes an output or a slot that any live operation reads.
    std::unordered_map<int, std::vector<std::size_t>> writers;
    std::vector<std::size_t> work;
    for (std::size_t i = 0; i < count; ++i) {
        if (!considered[i] || dropped[i]) continue;
        const int output = operations_[i].output;
        if (validSlot(output)) writers[output].push_back(i);
        if (root[i] || isOutputSlot(output)) {
            operations_[i].live = 1;
            work.push_back(i);
        }
    }
    std::vector<char> read(kSlotSpace, 0);
    while (!work.empty()) {
        const std::size_t i = work.back();
        work.pop_back();
        for (int slot : operandsOf(i)) {
            if (!validSlot(slot) || read[static_cast<std::size_t>(slot)]) continue;
            read[static_cast<std::size_t>(slot)] = 1;
            auto found = writers.find(slot);
            if (found == writers.end()) continue;
            for (std::size_t w : found->second)
                if (!operations_[w].live) {
                    operations_[w].live = 1;
                    work.push_back(w);
                }
        }
    }
}

void OperationCompiler::finishSection(int section, LayerProgram& program, float* postFrequency) {
    const bool isPost = section == kSectionPost;
    markLive(section, isPost);

    std::vector<Operation> stored;
    for (const Operation& op : operations_)
        if (op.live) stored.push_back(op);
    // The render loop steps to the next operation after a jump, so the target is the index of
    // the labelled operation minus one. A kept jump whose label is nowhere in the stored program
    // targets itself, which continues with the next operation as if it had not jumped.
    std::unordered_map<std::string, int> firstWithLabel;
    for (std::size_t i = 0; i < stored.size(); ++i)
        if (stored[i].hasLabel()) firstWithLabel.emplace(labelKey(stored[i].label), static_cast<int>(i));
    for (std::size_t i = 0; i < stored.size(); ++i) {
        Operation& op = stored[i];
        if (!op.isJump()) continue;
        auto found = firstWithLabel.find(labelKey(op.jumpLabel));
        op.jumpTarget = found != firstWithLabel.end() ? found->second - 1 : static_cast<int>(i);
    }

    program.operations = std::move(stored);
    program.slotCount = slots_.size();
    program.left.assign(static_cast<std::size_t>(program.slotCount), 0.0f);
    for (int s = 0; s < program.slotCount; ++s) program.left[static_cast<std::size_t>(s)] = slots_[s].value;
    program.right = program.left;

    if (log_.debugLevel >= 2) listProgram(section, program);
    if (isPost && postFrequency != nullptr) *postFrequency = program.operations.empty() ? -1.0f : 1.0f;
}

void OperationCompiler::listProgram(int section, const LayerProgram& program) const {
    const int layer = section + 1;
    for (std::size_t i = 0; i < program.operations.size(); ++i) {
        const Operation& op = program.operations[i];
        const int index = static_cast<int>(i);
        if (op.hasLabel()) {
            const std::string label(fieldView(op.label));
            log_.append(Log::kMain, format("Layer # %d, operation # %d has the label %s\r\n", layer, index, label.c_str()));
        }
        if (op.isJump()) {
            const std::string label(fieldView(op.jumpLabel));
            log_.append(Log::kMain, format("Layer # %d, operation # %d: IF $%05d %s $%05d GOTO opslot \"%s\"\r\n", layer,
                                           index, op.operands[0], comparisonText(op.comparison), op.operands[1],
                                           label.c_str()));
            continue;
        }
        std::string operands;
        for (int k = 0; k < op.operandCount && k < Operation::kMaxOperands; ++k) {
            operands += ' ';
            operands += slotName(op.operands[static_cast<std::size_t>(k)]);
        }
        log_.append(Log::kMain,
                    format("Layer # %d, operation # %d (HOLD: %d): %s = %s(%s ) (Function # %d, %d operands + alpha: "
                           "%.2f, num: %d).\r\n",
                           layer, index, op.hold, slotName(op.output).c_str(), operationName(op.code).c_str(),
                           operands.c_str(), op.code, op.operandCount, static_cast<double>(op.alpha), op.num));
    }
    if (log_.debugLevel >= 3)
        for (int s = 0; s < slots_.size(); ++s) {
            const std::string name(fieldView(slots_[s].name));
            log_.append(Log::kMain, format("Layer # %d, result slot # %d, Value: %.6f, isconst: %d, Name: %s\r\n", layer,
                                           s, static_cast<double>(slots_[s].value), slots_[s].isConst ? 1 : 0,
                                           name.c_str()));
        }
}

}  // namespace tess::compiler
