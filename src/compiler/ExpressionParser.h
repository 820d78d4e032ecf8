// The infix parser: turns a rewritten assignment ("$00003 = $00001 + .00002 * $00000") into the
// call form, a list of single calls on temporary slots:
//   "$00004=* (.00002 $00000 );$00005=+ ($00001 $00004 );$00003=$00005"
// and ";$00003=$00001" when the expression holds no call at all.
#pragma once

#include <string>
#include <string_view>

namespace tess::compiler {

// Returns 0 with `callForm` filled, or -1 with the reason in `message`. `firstTemporary` is
// the number of the first temporary slot; the temporaries rise by one per call.
// `zeroReference` is the slot reference of a constant 0, used for a minus sign that cannot be
// joined to a number ("-(a + b)" is computed as 0 - (a + b)); `debugLevel` 3 and above adds the
// parser's working strings to `message`.
int parseExpression(std::string_view modified, int firstTemporary, std::string& message, std::string& callForm,
                    std::string_view zeroReference = {}, int debugLevel = 0);

// True when the rewritten instruction holds a minus sign in operand position that is not part
// of a number, i.e. when parseExpression will need `zeroReference`.
bool needsZeroConstant(std::string_view modified);

// A slot reference of the call form: "$" or "." followed by five digits. -1 when `text` is not one.
int referenceSlot(std::string_view text);

}  // namespace tess::compiler
