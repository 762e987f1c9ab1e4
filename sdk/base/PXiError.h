#pragma once

#include <stdexcept>
#include <string>

// The one exception type the SDK throws for a user's mistake: an expression naming no plug of
// the node, a cycle of expressions or connections, a value of the wrong kind for a plug, an
// image too large to hold, a node that cannot render. what() is a complete, readable message
// meant for the user ("plug 'midtoneBalance' of node n3: 'shadowBalanc' is no plug of the
// node"). Whatever threw it left the graph as it was before the call.
class PXiError : public std::runtime_error {
public:
    explicit PXiError(const std::string& message) : std::runtime_error(message) {}
};
