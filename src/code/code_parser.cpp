#include "code/code_parser.h"

#include <string>

#include "code/code_error.h"
#include "code/code_function.h"
#include "code/code_variable.h"

namespace kv {

namespace {

class Parser {
 public:
  Parser(std::string_view text, bool isProgram, const std::vector<ResolvedToken>& t)
      : text_(text), isProgram_(isProgram), t_(t) {}

  bool Program(SyntaxNode& root) {
    if (Kind() == kTokEnd) {
      root = SyntaxNode{};
      root.kind = kNodeEmptyProgram;
      root.position = Pos();
      return true;
    }
    if (Kind() == kTokBegin) {
      if (!Block(root)) return false;
      if (Kind() != kTokEnd) return Fail("Program ends before end of the code.");
      return true;
    }
    root = SyntaxNode{};
    root.kind = kNodeBlock;
    root.position = Pos();
    while (Kind() != kTokEnd) {
      root.children.emplace_back();
      if (!Statement(root.children.back())) return false;
    }
    return true;
  }

  bool Expression(SyntaxNode& out) {
    if (Kind() == kTokEnd) {  // an empty expression is the constant 0
      out = SyntaxNode{};
      out.kind = kNodeConst;
      out.value = RValue(0.0);
      out.position = Pos();
      return true;
    }
    return Expr(out);  // tokens after a complete expression are ignored
  }

 private:
  int Kind() const { return t_[p_].kind; }
  int Pos() const { return t_[p_].position; }
  bool Fail(const char* msg) {
    RecordError(text_, isProgram_, Pos(), msg);
    return false;
  }
  bool FailAt(int pos, const std::string& msg) {
    RecordError(text_, isProgram_, pos, msg);
    return false;
  }
  void Next() {
    if (t_[p_].kind != kTokEnd) ++p_;
  }
  void SkipSemicolons() {
    while (Kind() == kTokSemicolon) Next();
  }

  // "{" statements "}" (begin/end are the same tokens).
  bool Block(SyntaxNode& out) {
    out = SyntaxNode{};
    out.kind = kNodeBlock;
    out.position = Pos();
    Next();
    while (Kind() != kTokEndBlock) {
      if (Kind() == kTokEnd) return Fail("Symbol } expected.");
      out.children.emplace_back();
      if (!Statement(out.children.back())) return false;
    }
    Next();
    return true;
  }

  // Nesting is bounded so that hostile text (execute_string) cannot exhaust the native stack in the
  // recursive parser, the compiler passes or the interpreter.
  static constexpr int kMaxNesting = 512;
  struct Nest {
    int& depth;
    explicit Nest(int& d) : depth(++d) {}
    ~Nest() { --depth; }
  };
  bool TooDeep() { return depth_ > kMaxNesting && !Fail("Code is nested too deeply."); }

  bool Statement(SyntaxNode& out) {
    Nest nest(depth_);
    if (TooDeep()) return false;
    if (!StatementBody(out)) return false;
    SkipSemicolons();
    return true;
  }

  bool StatementBody(SyntaxNode& out) {
    out = SyntaxNode{};
    out.position = Pos();
    switch (Kind()) {
      case kTokFunction:
        return Call(out);
      case kTokBegin:
        return Block(out);
      case kTokIf: {
        out.kind = kNodeIf;
        Next();
        out.children.resize(2);
        if (!Expr(out.children[0])) return false;
        if (Kind() == kTokThen) Next();
        if (!Statement(out.children[1])) return false;
        if (Kind() == kTokElse) {
          Next();
          out.children.emplace_back();
          if (!Statement(out.children[2])) return false;
        }
        return true;
      }
      case kTokWhile: {
        out.kind = kNodeWhile;
        Next();
        out.children.resize(2);
        if (!Expr(out.children[0])) return false;
        if (Kind() == kTokDo) Next();
        return Statement(out.children[1]);
      }
      case kTokDo: {
        out.kind = kNodeDo;
        Next();
        out.children.resize(2);
        if (!Statement(out.children[0])) return false;
        if (Kind() != kTokUntil) return Fail("Keyword until expected.");
        Next();
        return Expr(out.children[1]);
      }
      case kTokFor: {
        out.kind = kNodeFor;
        Next();
        if (Kind() != kTokOpenParen) return Fail("Symbol ( expected.");
        Next();
        out.children.resize(4);
        if (!Statement(out.children[0])) return false;
        if (Kind() == kTokSemicolon) Next();
        if (!Expr(out.children[1])) return false;
        if (Kind() == kTokSemicolon) Next();
        if (!Statement(out.children[2])) return false;
        if (Kind() != kTokCloseParen) return Fail("Symbol ) expected.");
        Next();
        return Statement(out.children[3]);
      }
      case kTokRepeat: {
        out.kind = kNodeRepeat;
        Next();
        out.children.resize(2);
        if (!Expr(out.children[0])) return false;
        return Statement(out.children[1]);
      }
      case kTokExit:
        out.kind = kNodeExit;
        Next();
        return true;
      case kTokBreak:
        out.kind = kNodeBreak;
        Next();
        return true;
      case kTokContinue:
        out.kind = kNodeContinue;
        Next();
        return true;
      case kTokWith: {
        out.kind = kNodeWith;
        Next();
        out.children.resize(2);
        if (!Expr(out.children[0])) return false;
        if (Kind() == kTokDo) Next();
        return Statement(out.children[1]);
      }
      case kTokReturn: {
        out.kind = kNodeReturn;
        Next();
        out.children.resize(1);
        return Expr(out.children[0]);
      }
      case kTokSwitch: {
        out.kind = kNodeSwitch;
        Next();
        out.children.resize(1);
        if (!Expr(out.children[0])) return false;
        if (Kind() != kTokBegin) return Fail("Symbol { expected.");
        Next();
        while (Kind() != kTokEndBlock) {
          if (Kind() == kTokEnd) return Fail("Symbol } expected.");
          out.children.emplace_back();
          if (!Statement(out.children.back())) return false;
        }
        Next();
        return true;
      }
      case kTokCase: {
        out.kind = kNodeCase;
        Next();
        out.children.resize(1);
        if (!Expr(out.children[0])) return false;
        if (Kind() != kTokColon) return Fail("Symbol : expected.");
        Next();
        return true;
      }
      case kTokDefault:
        out.kind = kNodeDefault;
        Next();
        if (Kind() != kTokColon) return Fail("Symbol : expected.");
        Next();
        return true;
      case kTokVar:
      case kTokGlobalVar: {
        out.kind = Kind() == kTokVar ? kNodeVarDecl : kNodeGlobalVar;
        Next();
        while (Kind() == kTokVariable) {
          if (t_[p_].index < kUserVariableBase) return Fail("Cannot redeclare a builtin variable.");
          SyntaxNode name;
          name.kind = kNodeConst;
          name.index = t_[p_].index;
          name.position = Pos();
          out.children.push_back(std::move(name));
          Next();
          if (Kind() == kTokComma) Next();
        }
        return true;
      }
      case kTokSemicolon:
        out.kind = kNodeEmpty;
        Next();
        return true;
      case kTokEnd:
        return Fail("Unexpected end of code reached.");
      default:
        return Assignment(out);
    }
  }

  bool Assignment(SyntaxNode& out) {
    int start = Pos();
    SyntaxNode lhs;
    if (!Postfix(lhs)) return false;
    if (lhs.kind != kNodeVar) return FailAt(start, "Variable name expected.");
    int op = Kind();
    switch (op) {
      case kTokAssign: case kTokAddAssign: case kTokSubAssign: case kTokMulAssign: case kTokDivAssign:
      case kTokOrAssign: case kTokAndAssign: case kTokXorAssign:
        break;
      default:
        return Fail("Assignment operator expected.");
    }
    out = SyntaxNode{};
    out.kind = kNodeAssign;
    out.index = op;
    out.position = Pos();
    Next();
    out.children.resize(2);
    out.children[0] = std::move(lhs);
    return Expr(out.children[1]);
  }

  bool Call(SyntaxNode& out) {
    out = SyntaxNode{};
    out.kind = kNodeCall;
    out.index = t_[p_].index;
    out.position = Pos();
    Next();  // name
    Next();  // "(" (phase two only makes function tokens before "(")
    if (Kind() == kTokCloseParen) {
      // no arguments
    } else {
      for (;;) {
        out.children.emplace_back();
        if (!Expr(out.children.back())) return false;
        if (Kind() == kTokComma) {
          Next();
          continue;
        }
        if (Kind() == kTokCloseParen) break;
        if (Kind() == kTokEnd) return Fail("Symbol ) expected.");
        return Fail("Symbol , or ) expected.");
      }
    }
    int argc = static_cast<int>(out.children.size());
    int want = FunctionArgumentCount(out.index);
    if (argc > kMaxCallArgs || (want >= 0 && want != argc))
      return Fail("Wrong number of arguments to function or script.");
    Next();  // ")"
    return true;
  }

  // A variable reference with the given target expression.
  bool Variable(SyntaxNode& out, SyntaxNode target) {
    out = SyntaxNode{};
    out.kind = kNodeVar;
    out.index = t_[p_].index;
    out.position = Pos();
    out.children.push_back(std::move(target));
    Next();
    if (Kind() != kTokOpenBracket) return true;
    Next();
    if (Kind() == kTokCloseBracket) {  // x[] is x
      Next();
      return true;
    }
    for (;;) {
      if (out.children.size() == 3) return Fail("Only 1- and 2-dimensional arrays are supported.");
      out.children.emplace_back();
      if (!Expr(out.children.back())) return false;
      if (Kind() == kTokComma) {
        Next();
        continue;
      }
      if (Kind() == kTokCloseBracket) {
        Next();
        return true;
      }
      if (Kind() == kTokEnd) return Fail("Symbol ] expected.");
      return Fail("Symbol , or ] expected.");
    }
  }

  using Level = bool (Parser::*)(SyntaxNode&);
  bool BinaryLevel(SyntaxNode& out, Level next, std::initializer_list<int> ops) {
    if (!(this->*next)(out)) return false;
    for (;;) {
      int k = Kind();
      bool match = false;
      for (int o : ops) match |= (o == k);
      if (!match) return true;
      SyntaxNode node;
      node.kind = kNodeBinary;
      node.index = k;
      node.position = Pos();
      Next();
      node.children.resize(2);
      node.children[0] = std::move(out);
      if (!(this->*next)(node.children[1])) return false;
      out = std::move(node);
    }
  }
  bool Expr(SyntaxNode& out) {
    Nest nest(depth_);
    if (TooDeep()) return false;
    return BinaryLevel(out, &Parser::Compare, {kOpAnd, kOpOr, kOpXor});
  }
  bool Compare(SyntaxNode& out) {
    return BinaryLevel(out, &Parser::Bitwise,
                       {kTokAssign, kOpEqual, kOpNotEqual, kOpLess, kOpLessEq, kOpGreater, kOpGreaterEq});
  }
  bool Bitwise(SyntaxNode& out) { return BinaryLevel(out, &Parser::Shift, {kOpBitOr, kOpBitAnd, kOpBitXor}); }
  bool Shift(SyntaxNode& out) { return BinaryLevel(out, &Parser::Additive, {kOpShl, kOpShr}); }
  bool Additive(SyntaxNode& out) { return BinaryLevel(out, &Parser::Multiplicative, {kOpPlus, kOpMinus}); }
  bool Multiplicative(SyntaxNode& out) {
    return BinaryLevel(out, &Parser::Postfix, {kOpTimes, kOpDivide, kOpDiv, kOpMod});
  }

  bool Postfix(SyntaxNode& out) {
    if (!Primary(out)) return false;
    while (Kind() == kTokDot) {
      Next();
      if (Kind() != kTokVariable) return Fail("Variable name expected.");
      SyntaxNode target = std::move(out);
      if (!Variable(out, std::move(target))) return false;
    }
    return true;
  }

  bool Primary(SyntaxNode& out) {
    switch (Kind()) {
      case kTokConstant:
        out = SyntaxNode{};
        out.kind = kNodeConst;
        out.value = t_[p_].value;
        out.position = Pos();
        Next();
        return true;
      case kTokFunction:
        return Call(out);
      case kTokVariable: {
        SyntaxNode target;
        target.kind = kNodeConst;
        target.value = RValue(static_cast<double>(kTargetPlain));
        target.position = Pos();
        return Variable(out, std::move(target));
      }
      case kTokOpenParen: {
        Next();
        if (!Expr(out)) return false;
        if (Kind() != kTokCloseParen) return Fail("Symbol ) expected.");
        Next();
        return true;
      }
      case kOpNot: case kOpPlus: case kOpMinus: case kOpBitNot: {
        Nest nest(depth_);
        if (TooDeep()) return false;
        SyntaxNode node;
        node.kind = kNodeUnary;
        node.index = Kind();
        node.position = Pos();
        Next();
        node.children.resize(1);
        if (!Postfix(node.children[0])) return false;
        out = std::move(node);
        return true;
      }
      default:
        return Fail("Unexpected symbol in expression.");
    }
  }

  std::string_view text_;
  bool isProgram_;
  const std::vector<ResolvedToken>& t_;
  size_t p_ = 0;
  int depth_ = 0;
};

}  // namespace

bool Parse(std::string_view text, bool isProgram, const std::vector<ResolvedToken>& tokens, SyntaxNode& root) {
  Parser p(text, isProgram, tokens);
  return isProgram ? p.Program(root) : p.Expression(root);
}

}  // namespace kv
