#include "code/code_folder.h"

#include <algorithm>

#include "code/code_error.h"
#include "code/code_operator.h"

namespace kv {

namespace {

class Folder {
 public:
  Folder(std::string_view text, bool isProgram, std::vector<int>& locals)
      : text_(text), isProgram_(isProgram), locals_(locals) {}

  // Children before their parent, children in order: a `var` affects only the uses after it in the text.
  bool Walk(SyntaxNode& n) {
    for (SyntaxNode& c : n.children)
      if (!Walk(c)) return false;
    switch (n.kind) {
      case kNodeVarDecl:
        for (const SyntaxNode& c : n.children)
          if (std::find(locals_.begin(), locals_.end(), c.index) == locals_.end()) locals_.push_back(c.index);
        return true;
      case kNodeVar:
        return Variable(n);
      case kNodeUnary:
        if (n.children[0].kind == kNodeConst) return Fold(n, n.children[0].position);
        return true;
      case kNodeBinary:
        if (n.children[0].kind == kNodeConst && n.children[1].kind == kNodeConst)
          return Fold(n, n.children[1].position);
        return true;
      default:
        return true;
    }
  }

 private:
  bool Fail(int pos, const char* msg) {
    RecordError(text_, isProgram_, pos, msg);
    return false;
  }

  bool Variable(SyntaxNode& n) {
    SyntaxNode& target = n.children[0];
    if (target.kind != kNodeConst) return true;
    if (target.value.IsReal() && target.value.RealUnchecked() == static_cast<double>(kTargetPlain) &&
        std::find(locals_.begin(), locals_.end(), n.index) != locals_.end())
      target.value = RValue(static_cast<double>(kTargetLocal));
    if (n.children.size() != 1) return true;
    if (target.value.IsString()) return Fail(n.position, "Left hand side must be a real value.");
    double t = target.value.RealUnchecked();
    if (!(t > -9.2e18 && t < 9.2e18)) return Fail(target.position, "Number too large.");
    n.kind = kNodeVarConst;
    n.target = RoundToInt32Wrap(t);
    n.children.clear();
    return true;
  }

  bool Fold(SyntaxNode& n, int errorPos) {
    RValue out;
    const char* err;
    try {
      err = n.kind == kNodeUnary ? ApplyUnary(n.index, n.children[0].value, out)
                                 : ApplyBinary(n.index, n.children[0].value, n.children[1].value, out);
    } catch (const ArithmeticFault&) {
      // Overflow while folding is a compile error at the operator, not a fault of the loader.
      return Fail(errorPos, "Arithmetic overflow in constant expression.");
    }
    if (err) return Fail(errorPos, err);
    int pos = n.position;
    n = SyntaxNode{};
    n.kind = kNodeConst;
    n.value = std::move(out);
    n.position = pos;
    return true;
  }

  std::string_view text_;
  bool isProgram_;
  std::vector<int>& locals_;
};

}  // namespace

bool ResolveAndFold(std::string_view text, bool isProgram, SyntaxNode& root, std::vector<int>& localIds) {
  localIds.clear();
  Folder f(text, isProgram, localIds);
  return f.Walk(root);
}

}  // namespace kv
