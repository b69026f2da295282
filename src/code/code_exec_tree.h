// Internal: the executable tree a CCode compiles into (built by code_exec.cpp from the syntax tree).
// Nodes carry their evaluation function, so each node kind (and each operator) is its own small function and
// hot shapes (frame-slot locals, op-with-constant, instance variables with slot hints, direct script calls,
// switch over constant labels) get specialised nodes.
#pragma once

#include <memory>
#include <vector>

#include "code/code_parser.h"

namespace kv {

struct NodeBase {
  virtual ~NodeBase() = default;
};

struct Expr;
struct Stmt;
struct Bytecode;

struct ExecTree {
  std::vector<std::unique_ptr<NodeBase>> nodes;  // owns every node
  Stmt* rootStmt = nullptr;                      // programs
  Expr* rootExpr = nullptr;                      // expressions
  const Bytecode* bytecode = nullptr;            // the same code as register bytecode (owned by nodes)
  std::vector<int> slotIds;                      // `var` ids, one frame slot each
  int SlotOf(int id) const {
    for (size_t i = 0; i < slotIds.size(); ++i)
      if (slotIds[i] == id) return static_cast<int>(i);
    return -1;
  }
};

// Builds the executable tree from a resolved and folded syntax tree.
std::unique_ptr<ExecTree> BuildExecTree(const SyntaxNode& root, bool isExpression, const std::vector<int>& localIds);

}  // namespace kv
