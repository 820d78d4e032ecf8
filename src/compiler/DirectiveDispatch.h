// The chain of directive keywords, in the order the reader tries them. Each keyword has a
// handler slot; a keyword whose handler is not installed yet still consumes its line, with a
// warning, so that no directive line is ever silently taken for something else.
#pragma once

#include <string_view>
#include <vector>

#include "compiler/DirectiveLine.h"

namespace tess::compiler {

class DirectiveDispatch {
public:
    DirectiveDispatch();

    // Installs the handler of one keyword of the chain. Returns false for a word that is not a
    // directive keyword (the chain itself never changes).
    bool setHandler(std::string_view keyword, DirectiveHandler handler);
    bool hasHandler(std::string_view keyword) const;

    // Offers the line to the chain; true when a keyword matched (the line is then consumed).
    bool dispatch(const DirectiveLine& line) const;

    // The keywords in chain order.
    static const std::vector<std::string_view>& keywords();

private:
    std::vector<DirectiveHandler> handlers_;  // parallel to keywords()
};

}  // namespace tess::compiler
