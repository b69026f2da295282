// The interpreter: node kinds of the executable tree, their evaluation, and the builder that lowers the
// syntax tree into them.
//
// Expressions evaluate into an RValue out-parameter and return false on a (recorded) error; conditions have a
// numeric entry that yields a real directly (0), or the value when it is a string (1), or an error (2), so
// arithmetic and conditions keep reals in registers and build values only for strings. Statements return their status. Arithmetic faults are exceptions; the RAII guards below (argument
// stack, local frames, depth) put everything back when one passes through.
#include "code/code_exec.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <unordered_map>

#include "code/code_code.h"
#include "code/code_error.h"
#include "code/code_exec_tree.h"
#include "code/code_function.h"
#include "code/code_function_real.h"
#include "code/code_instance.h"
#include "code/code_operator.h"
#include "code/code_variable.h"
#include "code/code_script.h"

namespace kv {

// ======================================================================================================
// Run-time state: argument stack, local frames, recursion depth
// ======================================================================================================
namespace {

// Argument slots live on a stack: the bottom 16 are the program's global argument slots; a call reserves the
// next 16 as staging for its arguments (kept real 0 while unused), and a script call makes them the current
// frame. Popping restores the caller's slots without copying.
constexpr int kArgStackFrames = kMaxRunDepth + 256;
// Room for every frame is reserved at start, but the slots are made (and their pages touched) only as deep as
// calls go, this many frames at a time: making all 2.6 MB at start cost every run, and most never nest deeply.
constexpr int kArgStackGrowFrames = 64;
struct ArgStack {
  RValue* store;
  RValue* end;    // end of the slots made so far
  RValue* limit;  // end of the reserved room
  RValue* frame;  // current argument0…15
  RValue* top;    // next free staging area
  // Per frame: how many leading slots may have been written besides the call's own arguments (slots written
  // through CurrentArguments() count as all 16), so popping resets only what is needed.
  uint8_t* dirty;
  uint8_t& DirtyOf(const RValue* f) { return dirty[(f - store) / kArgumentSlots]; }
  ArgStack() {
    dirty = new uint8_t[kArgStackFrames]();
    const size_t slots = static_cast<size_t>(kArgStackFrames) * kArgumentSlots;
    store = static_cast<RValue*>(::operator new(slots * sizeof(RValue)));
    end = store;
    limit = store + slots;
    Grow();
    frame = store;
    top = store + kArgumentSlots;
  }
  // Makes the next frames' slots (real 0); false when the reserved room is used up.
  [[gnu::noinline]] bool Grow() {
    if (end == limit) return false;
    RValue* const next = end + std::min<size_t>(static_cast<size_t>(limit - end),
                                                static_cast<size_t>(kArgStackGrowFrames) * kArgumentSlots);
    for (; end != next; ++end) new (end) RValue();
    return true;
  }
};
ArgStack g_args;

// Reserves 16 staging slots; on scope exit resets the first `used` of them to real 0 and pops them.
struct StageGuard {
  RValue* stage;
  int used;
  explicit StageGuard(int n) : stage(g_args.top), used(n) { g_args.top += kArgumentSlots; }
  ~StageGuard() {
    uint8_t& d = g_args.DirtyOf(stage);
    int n = used > d ? used : d;
    d = 0;
    for (int i = 0; i < n; ++i) stage[i].SetReal(0.0);
    g_args.top = stage;
  }
  static bool Room() { return g_args.top + kArgumentSlots <= g_args.end || g_args.Grow(); }
};

struct LocalSlot {
  RVariable var;
  bool present = false;  // the run's local list holds this variable (written at least once)
};

// Frames of local slots for nested runs, in chunks so that slots never move while a run uses them.
class LocalStack {
 public:
  LocalSlot* Alloc(int n, size_t& markChunk, size_t& markUsed) {
    markChunk = chunk_;
    markUsed = used_;
    if (chunks_.empty()) NewChunk(n);
    if (used_ + n > sizes_[chunk_]) {
      ++chunk_;
      if (chunk_ >= chunks_.size() || sizes_[chunk_] < static_cast<size_t>(n)) {
        chunks_.resize(chunk_);
        sizes_.resize(chunk_);
        NewChunk(n);
      }
      used_ = 0;
    }
    LocalSlot* p = chunks_[chunk_].get() + used_;
    used_ += n;
    return p;
  }
  void Release(LocalSlot* p, int n, size_t markChunk, size_t markUsed) {
    for (int i = 0; i < n; ++i) {
      p[i].present = false;
      p[i].var.value.SetReal(0.0);
      p[i].var.rows.reset();
    }
    chunk_ = markChunk;
    used_ = markUsed;
  }

 private:
  void NewChunk(int n) {
    size_t size = std::max<size_t>(1024, static_cast<size_t>(n));
    chunks_.emplace_back(new LocalSlot[size]);
    sizes_.push_back(size);
  }
  std::vector<std::unique_ptr<LocalSlot[]>> chunks_;
  std::vector<size_t> sizes_;
  size_t chunk_ = 0, used_ = 0;
};
LocalStack g_locals;

int g_depth = 0;
const char* g_stackBase = nullptr;
size_t g_stackBudget = 4u << 20;

struct DepthGuard {
  bool ok;
  DepthGuard() {
    char probe;
    const char* here = &probe;
    if (g_depth == 0) g_stackBase = here;
    ok = g_depth < kMaxRunDepth && !(g_stackBase > here && static_cast<size_t>(g_stackBase - here) > g_stackBudget);
    ++g_depth;
  }
  ~DepthGuard() { --g_depth; }
};

}  // namespace

RValue* CurrentArguments() {
  g_args.DirtyOf(g_args.frame) = kArgumentSlots;
  return g_args.frame;
}
const RValue* CurrentArgumentsForRead() { return g_args.frame; }

ArgumentFrame::ArgumentFrame(const RValue* args, int count) {
  saved_ = g_args.frame;
  if (!StageGuard::Room()) return;
  stage_ = g_args.top;
  g_args.top += kArgumentSlots;
  for (int i = 0; i < count && i < kArgumentSlots; ++i) stage_[i] = args[i];
  g_args.frame = stage_;
  ok_ = true;
}

ArgumentFrame::~ArgumentFrame() {
  if (!ok_) return;
  for (int i = 0; i < kArgumentSlots; ++i) stage_[i].SetReal(0.0);
  g_args.top = stage_;
  g_args.frame = saved_;
}

void SetNativeStackBudget(size_t bytes) { g_stackBudget = bytes; }

// ======================================================================================================
// Node kinds
// ======================================================================================================
namespace {

struct Ctx {
  CInstance* self;
  CInstance* other;
  LocalSlot* slots;
  const CCode* code;
  const ExecTree* tree;
  RValue* result;
  std::unique_ptr<CVariableList> dynLocals;  // locals reached by `local.x` for a name no `var` declared
};

using EvalFn = bool (*)(const Expr*, Ctx&, RValue&);
// The numeric entry: 0 = a real in v; 1 = the value (a string) in slow; 2 = error (recorded).
using NumFn = int (*)(const Expr*, Ctx&, double& v, RValue& slow);
using ExecFn = int (*)(const Stmt*, Ctx&);
enum : int { kNumReal = 0, kNumValue = 1, kNumError = 2 };

bool Err(Ctx& c, int pos, std::string_view msg) {
  RecordError(c.code->Text(), c.code->IsProgram(), pos, msg);
  return false;
}

}  // namespace

struct Expr : NodeBase {
  EvalFn eval = nullptr;
  NumFn num = nullptr;
  int pos = 0;
  bool pure = false;  // evaluating twice gives the same result with no side effect (constants, plain reads)
};
struct Stmt : NodeBase {
  ExecFn exec = nullptr;
  int pos = 0;
};

namespace {

int NumGeneric(const Expr* e, Ctx& c, double& v, RValue& slow) {
  if (!e->eval(e, c, slow)) return kNumError;
  if (slow.IsString()) return kNumValue;
  v = slow.RealUnchecked();
  return kNumReal;
}

// num for nodes whose primary entry is eval.
template <EvalFn F>
int NumViaEval(const Expr* e, Ctx& c, double& v, RValue& slow) {
  if (!F(e, c, slow)) return kNumError;
  if (slow.IsString()) return kNumValue;
  v = slow.RealUnchecked();
  return kNumReal;
}

// eval for nodes whose primary entry is num.
template <NumFn F>
bool EvalViaNum(const Expr* e, Ctx& c, RValue& out) {
  double v;
  int r = F(e, c, v, out);
  if (r == kNumReal) {
    out.SetReal(v);
    return true;
  }
  return r == kNumValue;
}

// ---- constants ----
struct ConstE : Expr {
  RValue value;
};
bool EvalConst(const Expr* e, Ctx&, RValue& out) {
  out = static_cast<const ConstE*>(e)->value;
  return true;
}
int NumConst(const Expr* e, Ctx&, double& v, RValue& slow) {
  const RValue& r = static_cast<const ConstE*>(e)->value;
  if (r.IsString()) {
    slow = r;
    return kNumValue;
  }
  v = r.RealUnchecked();
  return kNumReal;
}

// ---- variables: the general path ----
struct VarRef {
  int id = 0;
  int constTarget = kTargetPlain;
  Expr* targetExpr = nullptr;  // dotted variable with a computed target
  Expr* idx[2] = {nullptr, nullptr};
  int nidx = 0;
  int slot = -1;  // frame slot when the id was declared with `var`
  int pos = 0;
  mutable uint32_t hint = 0;
};

int NumLocal(const Expr* e, Ctx& c, double& r, RValue& slow);
const LocalSlot& SlotOfLocalExpr(const Expr* e, Ctx& c);

bool IndexValueSlow(const Expr* ie, Ctx& c, int64_t& out);
// Evaluates one index expression into 0…31999.
inline bool IndexValue(const Expr* ie, Ctx& c, int64_t& out) {
  if (ie->num == NumLocal) {  // the usual i, j counters: read the frame slot directly
    const LocalSlot& s = SlotOfLocalExpr(ie, c);
    if (s.present && s.var.value.IsReal()) {
      double d = s.var.value.RealUnchecked();
      if (d >= 0 && d < kArrayDim) {
        int64_t n = static_cast<int64_t>(d);
        if (static_cast<double>(n) == d) {
          out = n;
          return true;
        }
      }
    }
  }
  return IndexValueSlow(ie, c, out);
}
bool IndexValueSlow(const Expr* ie, Ctx& c, int64_t& out) {
  double d;
  RValue slow;
  int r = ie->num(ie, c, d, slow);
  if (r != kNumReal) return r == kNumError ? false : Err(c, ie->pos, "Wrong type of array index");
  int64_t n = RoundToInt64(d);
  if (n < 0) return Err(c, ie->pos, "Negative array index");
  if (n >= kArrayDim) return Err(c, ie->pos, "Array index >= 32000");
  out = n;
  return true;
}

bool RefTargetIndex(const VarRef& v, Ctx& c, int64_t& target, int64_t& index) {
  if (v.targetExpr) {
    double d;
    RValue slow;
    int r = v.targetExpr->num(v.targetExpr, c, d, slow);
    if (r != kNumReal) return r == kNumError ? false : Err(c, v.targetExpr->pos, "Wrong type of variable index");
    target = RoundToInt64(d);
  } else {
    target = v.constTarget;
  }
  index = 0;
  for (int k = 0; k < v.nidx; ++k) {
    int64_t n;
    if (!IndexValue(v.idx[k], c, n)) return false;
    index = index * kArrayDim + n;
  }
  return true;
}

int LocalSlotOf(const VarRef& v, Ctx& c) { return v.slot >= 0 ? v.slot : c.tree->SlotOf(v.id); }

bool RefRead(const VarRef& v, Ctx& c, int64_t target, int64_t index, RValue& out) {
  switch (target) {
    case kTargetSelf: return GetInstanceVariable(c.self, v.id, index, out);
    case kTargetOther: return GetInstanceVariable(c.other, v.id, index, out);
    case kTargetNoone: return false;
    case kTargetGlobal: return GlobalVariables().GetValue(v.id, index, out);
    case kTargetPlain:
      if (IsDeclaredGlobal(v.id)) return GlobalVariables().GetValue(v.id, index, out);
      return GetInstanceVariable(c.self, v.id, index, out);
    case kTargetLocal: {
      int s = LocalSlotOf(v, c);
      if (s >= 0) return c.slots[s].present && c.slots[s].var.Get(index, out);
      return c.dynLocals && c.dynLocals->GetValue(v.id, index, out);
    }
    default:
      if (target == kTargetAll || (target >= 0 && target <= INT32_MAX))
        return GetTargetVariable(static_cast<int>(target), v.id, index, out);
      return false;
  }
}

bool RefWrite(const VarRef& v, Ctx& c, int64_t target, int64_t index, const RValue& value) {
  switch (target) {
    case kTargetSelf: return SetInstanceVariable(c.self, v.id, index, value);
    case kTargetOther: return SetInstanceVariable(c.other, v.id, index, value);
    case kTargetNoone: return false;
    case kTargetGlobal: GlobalVariables().SetValue(v.id, index, value); return true;
    case kTargetPlain:
      if (IsDeclaredGlobal(v.id)) {
        GlobalVariables().SetValue(v.id, index, value);
        return true;
      }
      return SetInstanceVariable(c.self, v.id, index, value);
    case kTargetLocal: {
      int s = LocalSlotOf(v, c);
      if (s >= 0) {
        c.slots[s].present = true;
        c.slots[s].var.id = v.id;
        c.slots[s].var.Cell(index) = value;
        return true;
      }
      if (!c.dynLocals) c.dynLocals = std::make_unique<CVariableList>();
      c.dynLocals->SetValue(v.id, index, value);
      return true;
    }
    default:
      if (target == kTargetAll || (target >= 0 && target <= INT32_MAX))
        return SetTargetVariable(static_cast<int>(target), v.id, index, value);
      if (target > INT32_MAX) return true;  // an instance id that cannot exist: nothing to write
      return false;
  }
}

bool NotFound(const VarRef& v, Ctx& c, int64_t index, RValue& out) {
  if (UninitializedZero()) {
    out.SetReal(0.0);
    return true;
  }
  std::string msg = "Unknown variable " + VariableIdToName(v.id);
  if (index != 0) msg += " or array index out of bounds";
  return Err(c, v.pos, msg);
}

struct VarE : Expr {
  VarRef ref;
};
bool EvalVar(const Expr* e, Ctx& c, RValue& out) {
  const VarRef& v = static_cast<const VarE*>(e)->ref;
  int64_t target, index;
  if (!RefTargetIndex(v, c, target, index)) return false;
  if (RefRead(v, c, target, index, out)) return true;
  return NotFound(v, c, index, out);
}

// ---- variables: fast paths ----
const LocalSlot& SlotOfLocalExpr(const Expr* e, Ctx& c) { return c.slots[static_cast<const VarE*>(e)->ref.slot]; }

// A `var` local without index.
bool EvalLocal(const Expr* e, Ctx& c, RValue& out) {
  const VarRef& v = static_cast<const VarE*>(e)->ref;
  const LocalSlot& s = c.slots[v.slot];
  if (s.present) {
    out = s.var.value;
    return true;
  }
  return NotFound(v, c, 0, out);
}
int NumLocal(const Expr* e, Ctx& c, double& r, RValue& slow) {
  const VarRef& v = static_cast<const VarE*>(e)->ref;
  const LocalSlot& s = c.slots[v.slot];
  if (s.present && s.var.value.IsReal()) {
    r = s.var.value.RealUnchecked();
    return kNumReal;
  }
  return NumGeneric(e, c, r, slow);
}

inline bool RowCol(const VarRef& v, Ctx& c, int& i, int& j) {
  int64_t a = 0, b;
  if (v.nidx == 2 && !IndexValue(v.idx[0], c, a)) return false;
  if (!IndexValue(v.idx[v.nidx - 1], c, b)) return false;
  i = static_cast<int>(a);
  j = static_cast<int>(b);
  return true;
}

// A `var` local with one or two indices.
int NumLocalIdx(const Expr* e, Ctx& c, double& r, RValue& slow) {
  const VarRef& v = static_cast<const VarE*>(e)->ref;
  int i, j;
  if (!RowCol(v, c, i, j)) return kNumError;
  const LocalSlot& s = c.slots[v.slot];
  const RValue* cell = s.present ? s.var.Find2(i, j) : nullptr;
  if (cell) {
    if (cell->IsReal()) {
      r = cell->RealUnchecked();
      return kNumReal;
    }
    slow = *cell;
    return kNumValue;
  }
  if (!NotFound(v, c, int64_t(i) * kArrayDim + j, slow)) return kNumError;
  r = slow.Real();
  return kNumReal;
}

// A plain user-variable name without index: the instance's variable (or the global one once declared).
bool EvalPlain(const Expr* e, Ctx& c, RValue& out) {
  const VarRef& v = static_cast<const VarE*>(e)->ref;
  if (!IsDeclaredGlobal(v.id)) {
    if (RVariable* var = c.self->locals.FindHinted(v.id, v.hint)) {
      out = var->value;
      return true;
    }
    return NotFound(v, c, 0, out);
  }
  return EvalVar(e, c, out);
}
int NumPlain(const Expr* e, Ctx& c, double& r, RValue& slow) {
  const VarRef& v = static_cast<const VarE*>(e)->ref;
  if (!IsDeclaredGlobal(v.id)) {
    RVariable* var = c.self->locals.FindHinted(v.id, v.hint);
    if (var && var->value.IsReal()) {
      r = var->value.RealUnchecked();
      return kNumReal;
    }
  }
  return NumGeneric(e, c, r, slow);
}

// A built-in instance variable (x, y, hspeed …) by plain name without index: never a global, so it is read from
// self through its entry, as the general path would after its checks.
bool EvalBuiltinPlain(const Expr* e, Ctx& c, RValue& out) {
  const VarRef& v = static_cast<const VarE*>(e)->ref;
  const RBuiltinVariable* b = GetBuiltinVariable(v.id);
  if (b && b->read && b->read(c.self, 0, out)) return true;
  return NotFound(v, c, 0, out);
}

// argument0 … argument15 read directly from the current frame.
struct ArgE : Expr {
  int k = 0;
};
bool EvalArg(const Expr* e, Ctx&, RValue& out) {
  out = g_args.frame[static_cast<const ArgE*>(e)->k];
  return true;
}
int NumArg(const Expr* e, Ctx&, double& r, RValue& slow) {
  const RValue& v = g_args.frame[static_cast<const ArgE*>(e)->k];
  if (v.IsString()) {
    slow = v;
    return kNumValue;
  }
  r = v.RealUnchecked();
  return kNumReal;
}

// ---- operators ----
struct UnaryE : Expr {
  int op = 0;
  Expr* a = nullptr;
};
bool EvalUnary(const Expr* e, Ctx& c, RValue& out) {
  const UnaryE* n = static_cast<const UnaryE*>(e);
  RValue v;
  if (!n->a->eval(n->a, c, v)) return false;
  const char* err = ApplyUnary(n->op, v, out);
  return err ? Err(c, n->a->pos, err) : true;
}
int NumNegate(const Expr* e, Ctx& c, double& r, RValue& slow) {
  const UnaryE* n = static_cast<const UnaryE*>(e);
  int st = n->a->num(n->a, c, r, slow);
  if (st == kNumReal) {
    r = -r;
    return kNumReal;
  }
  if (st == kNumError) return kNumError;
  Err(c, n->a->pos, "Wrong type of arguments to unary operator.");
  return kNumError;
}

// The real-real result of a binary operator; false when the operator must take the general path
// (a zero divisor, which is an error with a message).
template <int OP>
[[gnu::always_inline]] inline bool RealFast(double a, double b, double& r) {
  if constexpr (OP == kOpPlus) r = CheckFinite(a + b);
  else if constexpr (OP == kOpMinus) r = CheckFinite(a - b);
  else if constexpr (OP == kOpTimes) r = CheckFinite(a * b);
  else if constexpr (OP == kOpDivide) {
    if (b == 0.0) return false;
    r = CheckFinite(a / b);
  } else if constexpr (OP == kOpDiv) {
    if (b == 0.0) return false;
    r = OpDiv(a, b);
  } else if constexpr (OP == kOpMod) {
    if (b == 0.0) return false;
    r = OpMod(a, b);
  } else if constexpr (OP == kOpEqual || OP == kTokAssign) r = a == b ? 1.0 : 0.0;
  else if constexpr (OP == kOpNotEqual) r = a != b ? 1.0 : 0.0;
  else if constexpr (OP == kOpLess) r = a < b ? 1.0 : 0.0;
  else if constexpr (OP == kOpLessEq) r = a <= b ? 1.0 : 0.0;
  else if constexpr (OP == kOpGreater) r = a > b ? 1.0 : 0.0;
  else if constexpr (OP == kOpGreaterEq) r = a >= b ? 1.0 : 0.0;
  else if constexpr (OP == kOpAnd) r = (IsTrue(a) && IsTrue(b)) ? 1.0 : 0.0;
  else if constexpr (OP == kOpOr) r = (IsTrue(a) || IsTrue(b)) ? 1.0 : 0.0;
  else if constexpr (OP == kOpXor) r = (IsTrue(a) != IsTrue(b)) ? 1.0 : 0.0;
  else if constexpr (OP == kOpBitOr) r = static_cast<double>(RoundToInt64(a) | RoundToInt64(b));
  else if constexpr (OP == kOpBitAnd) r = static_cast<double>(RoundToInt64(a) & RoundToInt64(b));
  else if constexpr (OP == kOpBitXor) r = static_cast<double>(RoundToInt64(a) ^ RoundToInt64(b));
  else if constexpr (OP == kOpShl) r = OpShift(a, b, true);
  else if constexpr (OP == kOpShr) r = OpShift(a, b, false);
  else return false;
  return true;
}

// General combination of two evaluated operands; errors are placed at errPos (the right operand).
template <int OP>
inline bool Combine(Ctx& c, RValue& a, const RValue& b, RValue& out, int errPos) {
  if (a.IsReal() && b.IsReal()) {
    double r;
    if (RealFast<OP>(a.RealUnchecked(), b.RealUnchecked(), r)) {
      out.SetReal(r);
      return true;
    }
  } else if constexpr (OP == kOpPlus) {
    if (a.IsString() && b.IsString()) {
      if (a.StrLength() + b.StrLength() > kMaxStringLength) return Err(c, errPos, kStringTooLongMessage);
      a.Append(b.Str());  // a is the caller's temporary: appending reuses its buffer
      out = std::move(a);
      return true;
    }
  }
  const char* err = ApplyBinary(OP, a, b, out);
  return err ? Err(c, errPos, err) : true;
}

// The general path of a binary node: the result goes to v (a real) or slow (a string).
template <int OP>
int Finish(Ctx& c, RValue& left, const RValue& right, double& v, RValue& slow, int errPos) {
  if (!Combine<OP>(c, left, right, slow, errPos)) return kNumError;
  if (slow.IsReal()) {
    v = slow.RealUnchecked();
    return kNumReal;
  }
  return kNumValue;
}

struct BinE : Expr {
  Expr* l = nullptr;
  Expr* r = nullptr;
  int op = 0;
};
// Both operands always evaluated, left first. Reals stay in registers; values are built only for strings and
// errors.
template <int OP>
int NumBin(const Expr* e, Ctx& c, double& v, RValue& slow) {
  const BinE* n = static_cast<const BinE*>(e);
  double a, b;
  int ra = n->l->num(n->l, c, a, slow);
  if (ra == kNumError) return kNumError;
  if (ra == kNumReal) {
    int rb = n->r->num(n->r, c, b, slow);
    if (rb == kNumError) return kNumError;
    if (rb == kNumReal && RealFast<OP>(a, b, v)) return kNumReal;
    RValue left(a);
    RValue right = rb == kNumReal ? RValue(b) : std::move(slow);
    return Finish<OP>(c, left, right, v, slow, n->r->pos);
  }
  RValue left = std::move(slow);
  int rb = n->r->num(n->r, c, b, slow);
  if (rb == kNumError) return kNumError;
  RValue right = rb == kNumReal ? RValue(b) : std::move(slow);
  return Finish<OP>(c, left, right, v, slow, n->r->pos);
}

// Right operand a real constant (i < 100, i mod 7, x * 0.5 …).
struct BinKE : Expr {
  Expr* l = nullptr;
  double k = 0;
  int op = 0;
  int kpos = 0;
  int leftSlot = -1;  // the left operand is this `var` local (no index)
  int64_t kint = 0;   // k when it is a whole number in 1…2^31 (the bytecode's whole-number `mod`), else 0
};
template <int OP>
int NumBinK(const Expr* e, Ctx& c, double& v, RValue& slow) {
  const BinKE* n = static_cast<const BinKE*>(e);
  double a;
  int ra = n->l->num(n->l, c, a, slow);
  if (ra == kNumReal) {
    if (RealFast<OP>(a, n->k, v)) return kNumReal;
    RValue left(a);
    return Finish<OP>(c, left, RValue(n->k), v, slow, n->kpos);
  }
  if (ra == kNumError) return kNumError;
  RValue left = std::move(slow);
  return Finish<OP>(c, left, RValue(n->k), v, slow, n->kpos);
}
template <int OP>
int NumArgK(const Expr* e, Ctx& c, double& v, RValue& slow) {
  const BinKE* n = static_cast<const BinKE*>(e);
  const RValue& a = g_args.frame[n->leftSlot];
  if (a.IsReal() && RealFast<OP>(a.RealUnchecked(), n->k, v)) return kNumReal;
  return NumBinK<OP>(e, c, v, slow);
}
template <int OP>
int NumLocalK(const Expr* e, Ctx& c, double& v, RValue& slow) {
  const BinKE* n = static_cast<const BinKE*>(e);
  const LocalSlot& s = c.slots[n->leftSlot];
  if (s.present && s.var.value.IsReal() && RealFast<OP>(s.var.value.RealUnchecked(), n->k, v)) return kNumReal;
  return NumBinK<OP>(e, c, v, slow);
}

// ---- calls ----
struct CallE : Expr {
  int id = 0;
  BuiltinFn fn = nullptr;
  std::vector<Expr*> args;
  mutable const CCode* script = nullptr;  // cached ScriptCode(id − 100000) for scriptGen
  mutable uint64_t scriptGen = 0;
  mutable const Bytecode* vm = nullptr;  // the script's bytecode while `script` is a compiled program
  RealForm real;                          // a built-in's form over plain reals, when it has one
};

// Evaluates the arguments left to right into the staging slots.
inline bool EvalArgs(const CallE* n, Ctx& c, RValue* stage) {
  for (size_t i = 0; i < n->args.size(); ++i) {
    const Expr* a = n->args[i];
    if (a->eval == EvalConst) {  // constant arguments (flags, counts) copied without the call
      stage[i] = static_cast<const ConstE*>(a)->value;
      continue;
    }
    if (!a->eval(a, c, stage[i])) return false;
  }
  return true;
}

bool EvalCallBuiltin(const Expr* e, Ctx& c, RValue& out) {
  const CallE* n = static_cast<const CallE*>(e);
  if (!StageGuard::Room()) return Err(c, n->pos, kStackOverflowMessage);
  const int argc = static_cast<int>(n->args.size());
  StageGuard g(argc);
  if (!EvalArgs(n, c, g.stage)) return false;
  out.SetReal(0.0);
  n->fn(out, c.self, c.other, argc, g.stage);
  return true;
}

}  // namespace
bool RunScriptCode(CInstance* self, CInstance* other, const CCode* code, RValue& result);
namespace {

bool CallScriptFrame(const CCode* code, int index, Ctx& c, RValue* stage, RValue& out, int pos) {
  if (!code) return false;  // an empty slot fails without a message
  if (g_depth >= kMaxRunDepth) return Err(c, pos, kStackOverflowMessage);
  struct FrameSwap {
    RValue* saved;
    explicit FrameSwap(RValue* f) : saved(g_args.frame) { g_args.frame = f; }
    ~FrameSwap() { g_args.frame = saved; }
  } swap(stage);
  out.SetReal(0.0);
  if (RunScriptCode(c.self, c.other, code, out)) return true;
  // Nested failures read outermost first. Past a generous size the message stops growing, so runaway
  // recursion cannot build a huge text.
  if (PendingMessage().size() < 16384) SetPendingMessage("In script " + ScriptName(index) + ":\r" + PendingMessage());
  return false;
}

// Flattened: the call protocol, the run and the frame set-up inline into one function.
__attribute__((flatten)) bool EvalCallScript(const Expr* e, Ctx& c, RValue& out) {
  const CallE* n = static_cast<const CallE*>(e);
  if (!StageGuard::Room()) return Err(c, n->pos, kStackOverflowMessage);
  StageGuard g(static_cast<int>(n->args.size()));  // slots the script writes mark themselves dirty
  if (!EvalArgs(n, c, g.stage)) return false;
  const int index = n->id - kScriptIdBase;
  if (n->scriptGen != ScriptTableGeneration()) {  // scripts may be replaced while the game runs
    n->script = ScriptCode(index);
    n->scriptGen = ScriptTableGeneration();
  }
  return CallScriptFrame(n->script, index, c, g.stage, out, n->pos);
}

bool EvalCallExtension(const Expr* e, Ctx& c, RValue& out) {
  const CallE* n = static_cast<const CallE*>(e);
  if (!StageGuard::Room()) return Err(c, n->pos, kStackOverflowMessage);
  StageGuard g(kArgumentSlots);
  if (!EvalArgs(n, c, g.stage)) return false;
  const ExtensionFunctionHooks& h = GetExtensionFunctionHooks();
  out.SetReal(0.0);
  if (!h.call) return false;
  return h.call(n->id - kExtensionIdBase, c.self, c.other, static_cast<int>(n->args.size()), g.stage, out);
}

// ======================================================================================================
// Statements
// ======================================================================================================
struct BlockS : Stmt {
  std::vector<Stmt*> list;
};
int ExecBlock(const Stmt* s, Ctx& c) {
  for (const Stmt* x : static_cast<const BlockS*>(s)->list) {
    int st = x->exec(x, c);
    if (st != kStatusOk) return st;
  }
  return kStatusOk;
}
int ExecEmpty(const Stmt*, Ctx&) { return kStatusOk; }

struct ExprS : Stmt {
  Expr* e = nullptr;
};
int ExecExprStmt(const Stmt* s, Ctx& c) {
  const Expr* e = static_cast<const ExprS*>(s)->e;
  RValue dropped;
  return e->eval(e, c, dropped) ? kStatusOk : kStatusError;
}

// ---- assignment ----
struct AssignS : Stmt {
  VarRef ref;
  Expr* rhs = nullptr;
  double k = 0;    // AssignLocalK
  int op = 0;      // 0 for `=`, else the binary operator of the compound assignment
  int shape = 0;   // AssignShape
};
enum AssignShape : int { kShapeGeneric, kShapeLocal, kShapeLocalIdx, kShapePlain, kShapeLocalK };

// Combines the current value with the right side into cur (compound operators); false on error.
template <int OP>
inline bool CompoundInto(Ctx& c, RValue& cur, RValue& rhs, int errPos) {
  if (cur.IsReal() && rhs.IsReal()) {
    double r;
    if (RealFast<OP>(cur.RealUnchecked(), rhs.RealUnchecked(), r)) {
      cur.SetReal(r);
      return true;
    }
  } else if constexpr (OP == kOpPlus) {
    if (cur.IsString() && rhs.IsString()) {  // s += t appends in place when s is not shared
      if (cur.StrLength() + rhs.StrLength() > kMaxStringLength) return Err(c, errPos, kStringTooLongMessage);
      cur.Append(rhs.Str());
      return true;
    }
  }
  RValue out;
  const char* err = ApplyBinary(OP, cur, rhs, out);
  if (err) return Err(c, errPos, err);
  cur = std::move(out);
  return true;
}

// The second half of every assignment shape: the target (and index) and the right side are evaluated; read
// the current value for a compound operator, combine, store. The tree and the bytecode both end here.
template <int OP>
int AssignFinish(const AssignS* n, Ctx& c, int64_t target, int64_t index, RValue& value) {
  const VarRef& v = n->ref;
  if constexpr (OP != 0) {
    RValue cur;
    if (!RefRead(v, c, target, index, cur) && !NotFound(v, c, index, cur)) return kStatusError;
    if (!CompoundInto<OP>(c, cur, value, n->rhs->pos)) return kStatusError;
    value = std::move(cur);
  }
  if (!RefWrite(v, c, target, index, value)) {
    Err(c, v.pos, "Cannot assign to the variable");
    return kStatusError;
  }
  return kStatusOk;
}

template <int OP>
int ExecAssign(const Stmt* s, Ctx& c) {
  const AssignS* n = static_cast<const AssignS*>(s);
  int64_t target, index;
  if (!RefTargetIndex(n->ref, c, target, index)) return kStatusError;
  RValue value;
  if (!n->rhs->eval(n->rhs, c, value)) return kStatusError;
  return AssignFinish<OP>(n, c, target, index, value);
}

// Evaluates the right side: a real stays in v, anything else lands in slow.
inline int Rhs(const AssignS* n, Ctx& c, double& v, RValue& slow) { return n->rhs->num(n->rhs, c, v, slow); }

// Applies a compound operator to cur with the right side (v or slow); false on error.
template <int OP>
inline bool CompoundNum(Ctx& c, RValue& cur, int r, double v, RValue& slow, int errPos) {
  double res;
  if (r == kNumReal && cur.IsReal() && RealFast<OP>(cur.RealUnchecked(), v, res)) {
    cur.SetReal(res);
    return true;
  }
  if (r == kNumReal) slow.SetReal(v);
  return CompoundInto<OP>(c, cur, slow, errPos);
}

// A `var` local without index, the right side evaluated (r: kNumReal with v, or kNumValue with slow).
template <int OP>
int AssignLocalFinish(const AssignS* n, Ctx& c, int r, double v, RValue& slow) {
  LocalSlot& slot = c.slots[n->ref.slot];
  if constexpr (OP == 0) {
    if (r == kNumReal) slot.var.value.SetReal(v);
    else slot.var.value = std::move(slow);
  } else {
    if (!slot.present) {
      RValue zero;
      if (!NotFound(n->ref, c, 0, zero)) return kStatusError;
    }
    if (!CompoundNum<OP>(c, slot.var.value, r, v, slow, n->rhs->pos)) return kStatusError;
  }
  slot.present = true;
  slot.var.id = n->ref.id;
  return kStatusOk;
}

template <int OP>
int ExecAssignLocal(const Stmt* s, Ctx& c) {
  const AssignS* n = static_cast<const AssignS*>(s);
  double v;
  RValue slow;
  int r = Rhs(n, c, v, slow);
  if (r == kNumError) return kStatusError;
  return AssignLocalFinish<OP>(n, c, r, v, slow);
}

// i += k / i -= k on a `var` local.
template <int OP>
int ExecAssignLocalK(const Stmt* s, Ctx& c) {
  const AssignS* n = static_cast<const AssignS*>(s);
  LocalSlot& slot = c.slots[n->ref.slot];
  if (slot.present && slot.var.value.IsReal()) {
    double r;
    RealFast<OP>(slot.var.value.RealUnchecked(), n->k, r);
    slot.var.value.SetReal(r);
    return kStatusOk;
  }
  return ExecAssignLocal<OP>(s, c);
}

// A `var` local with indices (row i, column j already checked), the right side evaluated.
template <int OP>
int AssignLocalIdxFinish(const AssignS* n, Ctx& c, int i, int j, int r, double v, RValue& slow) {
  LocalSlot& slot = c.slots[n->ref.slot];
  if constexpr (OP == 0) {
    RValue& cell = slot.var.Cell2(i, j);
    if (r == kNumReal) cell.SetReal(v);
    else cell = std::move(slow);
  } else {
    const RValue* found = slot.present ? slot.var.Find2(i, j) : nullptr;
    RValue cur;
    if (found) cur = *found;
    else if (!NotFound(n->ref, c, int64_t(i) * kArrayDim + j, cur)) return kStatusError;
    if (!CompoundNum<OP>(c, cur, r, v, slow, n->rhs->pos)) return kStatusError;
    slot.var.Cell2(i, j) = std::move(cur);
  }
  slot.present = true;
  slot.var.id = n->ref.id;
  return kStatusOk;
}

template <int OP>
int ExecAssignLocalIdx(const Stmt* s, Ctx& c) {
  const AssignS* n = static_cast<const AssignS*>(s);
  int i, j;
  if (!RowCol(n->ref, c, i, j)) return kStatusError;
  double v;
  RValue slow;
  int r = Rhs(n, c, v, slow);
  if (r == kNumError) return kStatusError;
  return AssignLocalIdxFinish<OP>(n, c, i, j, r, v, slow);
}

// A plain user-variable name without index, the right side evaluated.
template <int OP>
int AssignPlainFinish(const AssignS* n, Ctx& c, int r, double d, RValue& slow) {
  const VarRef& v = n->ref;
  if (IsDeclaredGlobal(v.id)) {
    if (r == kNumReal) slow.SetReal(d);
    return AssignFinish<OP>(n, c, kTargetPlain, 0, slow);
  }
  // Found after the right side ran: it may have created variables on this instance.
  if constexpr (OP == 0) {
    // The hinted find inlines; adding stays out of line.
    RVariable* found = c.self->locals.FindHinted(v.id, v.hint);
    RValue& cell = (found ? *found : c.self->locals.FindOrAddHinted(v.id, v.hint)).value;
    if (r == kNumReal) cell.SetReal(d);
    else cell = std::move(slow);
  } else {
    RVariable* var = c.self->locals.FindHinted(v.id, v.hint);
    if (!var) {
      RValue zero;
      if (!NotFound(v, c, 0, zero)) return kStatusError;
      var = &c.self->locals.FindOrAddHinted(v.id, v.hint);
    }
    if (!CompoundNum<OP>(c, var->value, r, d, slow, n->rhs->pos)) return kStatusError;
  }
  return kStatusOk;
}

template <int OP>
int ExecAssignPlain(const Stmt* s, Ctx& c) {
  const AssignS* n = static_cast<const AssignS*>(s);
  if (IsDeclaredGlobal(n->ref.id)) return ExecAssign<OP>(s, c);
  double d;
  RValue slow;
  int r = Rhs(n, c, d, slow);
  if (r == kNumError) return kStatusError;
  return AssignPlainFinish<OP>(n, c, r, d, slow);
}

// ---- control flow ----
struct IfS : Stmt {
  Expr* cond = nullptr;
  Stmt* then = nullptr;
  Stmt* otherwise = nullptr;
};
int ExecIf(const Stmt* s, Ctx& c) {
  const IfS* n = static_cast<const IfS*>(s);
  double v;
  RValue slow;
  int st = n->cond->num(n->cond, c, v, slow);
  if (st != kNumReal) {
    if (st == kNumValue) Err(c, n->cond->pos, "Expression expected");
    return kStatusError;
  }
  if (v > 0.5) return n->then->exec(n->then, c);  // `if` alone needs more than 0.5
  return n->otherwise ? n->otherwise->exec(n->otherwise, c) : kStatusOk;
}

struct LoopS : Stmt {
  Expr* cond = nullptr;
  Stmt* init = nullptr;
  Stmt* step = nullptr;
  Stmt* body = nullptr;
};
int ExecWhile(const Stmt* s, Ctx& c) {
  const LoopS* n = static_cast<const LoopS*>(s);
  for (;;) {
    double v;
    RValue slow;
    int st = n->cond->num(n->cond, c, v, slow);
    if (st != kNumReal) {
      if (st == kNumValue) Err(c, n->cond->pos, "Boolean expression expected");
      return kStatusError;
    }
    if (!IsTrue(v)) return kStatusOk;
    st = n->body->exec(n->body, c);
    if (st == kStatusOk || st == kStatusContinue) continue;
    return st == kStatusBreak ? kStatusOk : st;
  }
}
int ExecDo(const Stmt* s, Ctx& c) {
  const LoopS* n = static_cast<const LoopS*>(s);
  for (;;) {
    int st = n->body->exec(n->body, c);
    if (st == kStatusBreak) return kStatusOk;
    if (st != kStatusOk && st != kStatusContinue) return st;
    double v;
    RValue slow;
    st = n->cond->num(n->cond, c, v, slow);
    if (st != kNumReal) {
      if (st == kNumValue) Err(c, n->cond->pos, "Boolean expression expected");
      return kStatusError;
    }
    if (IsTrue(v)) return kStatusOk;
  }
}
int ExecFor(const Stmt* s, Ctx& c) {
  const LoopS* n = static_cast<const LoopS*>(s);
  int st = n->init->exec(n->init, c);
  if (st != kStatusOk) return st;
  for (;;) {
    double v;
    RValue slow;
    st = n->cond->num(n->cond, c, v, slow);
    if (st != kNumReal) {
      if (st == kNumValue) Err(c, n->cond->pos, "Expression expected");
      return kStatusError;
    }
    if (!IsTrue(v)) return kStatusOk;
    st = n->body->exec(n->body, c);
    if (st == kStatusBreak) return kStatusOk;
    if (st != kStatusOk && st != kStatusContinue) return st;
    st = n->step->exec(n->step, c);
    if (st != kStatusOk) return st;
  }
}
// for (…; i CMP k; i += d) with i a `var` local: the test and the step run inline while i holds a real;
// anything unusual goes through the general condition and step nodes, so the results are the same.
struct ForLocalS : LoopS {
  int cmp = 0;
  int slot = 0;
  double limit = 0;
  double stepBy = 0;
};
template <int CMP>
int ExecForLocal(const Stmt* s, Ctx& c) {
  const ForLocalS* n = static_cast<const ForLocalS*>(s);
  int st = n->init->exec(n->init, c);
  if (st != kStatusOk) return st;
  LocalSlot& slot = c.slots[n->slot];
  for (;;) {
    double v;
    if (slot.present && slot.var.value.IsReal()) {
      RealFast<CMP>(slot.var.value.RealUnchecked(), n->limit, v);
    } else {
      RValue slow;
      st = n->cond->num(n->cond, c, v, slow);
      if (st != kNumReal) {
        if (st == kNumValue) Err(c, n->cond->pos, "Expression expected");
        return kStatusError;
      }
    }
    if (!IsTrue(v)) return kStatusOk;
    st = n->body->exec(n->body, c);
    if (st == kStatusBreak) return kStatusOk;
    if (st != kStatusOk && st != kStatusContinue) return st;
    if (slot.present && slot.var.value.IsReal()) {
      slot.var.value.SetReal(CheckFinite(slot.var.value.RealUnchecked() + n->stepBy));
    } else {
      st = n->step->exec(n->step, c);
      if (st != kStatusOk) return st;
    }
  }
}

int ExecRepeat(const Stmt* s, Ctx& c) {
  const LoopS* n = static_cast<const LoopS*>(s);
  double v;
  RValue slow;
  int st = n->cond->num(n->cond, c, v, slow);
  if (st != kNumReal) {
    if (st == kNumValue) Err(c, n->cond->pos, "Repeat count must be a number");
    return kStatusError;
  }
  int64_t count = RoundToInt64(v);  // rounded once
  for (int64_t i = 0; i < count; ++i) {
    st = n->body->exec(n->body, c);
    if (st == kStatusBreak) return kStatusOk;
    if (st != kStatusOk && st != kStatusContinue) return st;
  }
  return kStatusOk;
}

int ExecExit(const Stmt*, Ctx&) { return kStatusExit; }
int ExecBreak(const Stmt*, Ctx&) { return kStatusBreak; }
int ExecContinue(const Stmt*, Ctx&) { return kStatusContinue; }

struct ReturnS : Stmt {
  Expr* e = nullptr;
};
int ExecReturn(const Stmt* s, Ctx& c) {
  const Expr* e = static_cast<const ReturnS*>(s)->e;
  return e->eval(e, c, *c.result) ? kStatusExit : kStatusError;
}

struct GlobalVarS : Stmt {
  std::vector<int> ids;
};
int ExecGlobalVar(const Stmt* s, Ctx&) {
  for (int id : static_cast<const GlobalVarS*>(s)->ids) DeclareGlobalVariable(id);
  return kStatusOk;
}

int ExecCaseOutside(const Stmt* s, Ctx& c) {
  Err(c, s->pos, "Case statement only allowed inside switch statement.");
  return kStatusError;
}
int ExecDefaultOutside(const Stmt* s, Ctx& c) {
  Err(c, s->pos, "Default statement only allowed inside switch statement.");
  return kStatusError;
}

// ---- with ----
struct WithS : Stmt {
  Expr* target = nullptr;
  Stmt* body = nullptr;
};
// Runs the body for one instance; returns the with statement's status, or 1 to go on with the next instance.
template <class Body>
inline int WithBody(Ctx& c, CInstance* inst, const Body& body) {
  CInstance* savedSelf = c.self;
  CInstance* savedOther = c.other;
  c.other = savedSelf;
  c.self = inst;
  int st = body();
  c.self = savedSelf;
  c.other = savedOther;
  if (st == kStatusOk || st == kStatusContinue) return 1;
  return st == kStatusBreak ? kStatusOk : st;
}
// The with statement once its target is evaluated (tv); body() runs the body for c.self and returns its status.
// The tree and the bytecode share it.
template <class Body>
int WithLoop(const WithS* n, Ctx& c, const RValue& tv, const Body& body) {
  if (tv.IsString()) {
    Err(c, n->target->pos, "Object id expected");
    return kStatusError;
  }
  int64_t t = RoundToInt64(tv.RealUnchecked());
  if (t == kTargetLocal) {
    Err(c, n->target->pos, "Cannot use local in with statement.");
    return kStatusError;
  }
  if (t == kTargetGlobal) {
    Err(c, n->target->pos, "Cannot use global in with statement.");
    return kStatusError;
  }
  if (t == kTargetNoone || t < kTargetLocal) return kStatusOk;
  if (t == kTargetSelf || t == kTargetPlain || t == kTargetOther) {
    int st = WithBody(c, t == kTargetOther ? c.other : c.self, body);
    return st == 1 ? kStatusOk : st;
  }
  CodeWorld* w = GetCodeWorld();
  if (!w) return kStatusOk;
  if (t >= kUserVariableBase) {
    if (t > INT32_MAX) return kStatusOk;
    CInstance* inst = w->FindInstance(static_cast<int>(t));
    if (!inst || inst->deleted) return kStatusOk;
    int st = WithBody(c, inst, body);
    return st == 1 ? kStatusOk : st;
  }
  // all, or an object's family: positions 0 … n−1 with n fixed at the start (instances the body creates are
  // not visited); the list is re-read and bounds-checked every time since the body may change it.
  const bool all = t == kTargetAll;
  const int obj = static_cast<int>(t);
  const int count = all ? w->ActiveCount() : w->FamilyCount(obj);
  for (int i = 0; i < count; ++i) {
    if (i >= (all ? w->ActiveCount() : w->FamilyCount(obj))) break;
    CInstance* inst = all ? w->ActiveAt(i) : w->FamilyAt(obj, i);
    if (!inst || inst->deleted || inst->deactivated) continue;
    int st = WithBody(c, inst, body);
    if (st != 1) return st;
  }
  return kStatusOk;
}
int ExecWith(const Stmt* s, Ctx& c) {
  const WithS* n = static_cast<const WithS*>(s);
  RValue tv;
  if (!n->target->eval(n->target, c, tv)) return kStatusError;
  return WithLoop(n, c, tv, [n, &c] { return n->body->exec(n->body, c); });
}

// ---- switch ----
struct SwitchS : Stmt {
  Expr* selector = nullptr;
  std::vector<Stmt*> body;        // top-level statements, labels included
  std::vector<uint8_t> isLabel;   // 1: body[i] is a case/default label (stepped over); 2: a plain break
  std::vector<Expr*> caseExpr;    // per body index: the case expression (null for non-case)
  int firstDefault = -1;
  // When every case before the first default is a constant, the scan is a lookup: small non-negative
  // integers index a table, other reals and strings are searched (each value keeps its first label).
  bool table = false;
  std::vector<int> smallLabels;                      // value -> label index, -1 none
  std::vector<std::pair<double, int>> realLabels;    // −0 stored as +0
  std::vector<std::pair<std::string, int>> stringLabels;
  int Lookup(const RValue& sel) const {
    if (sel.IsReal()) return LookupReal(sel.RealUnchecked());
    std::string_view str = sel.Str();
    for (const auto& [v, at] : stringLabels)
      if (v == str) return at;
    return -1;
  }
  int LookupReal(double key) const {
    {
      if (key >= 0 && key < static_cast<double>(smallLabels.size())) {
        int k = static_cast<int>(key);
        if (static_cast<double>(k) == key) return smallLabels[k];
      }
      if (key == 0.0) key = 0.0;
      for (const auto& [v, at] : realLabels)
        if (v == key) return at;
      return -1;
    }
  }
};
int RunSwitchFrom(const SwitchS* n, Ctx& c, int label) {
  for (size_t i = static_cast<size_t>(label) + 1; i < n->body.size(); ++i) {
    if (n->isLabel[i]) {
      if (n->isLabel[i] == 2) return kStatusOk;  // break ends the switch
      continue;
    }
    const Stmt* x = n->body[i];
    int st = x->exec(x, c);
    if (st == kStatusOk) continue;
    return st == kStatusBreak ? kStatusOk : st;
  }
  return kStatusOk;
}
int ExecSwitch(const Stmt* s, Ctx& c) {
  const SwitchS* n = static_cast<const SwitchS*>(s);
  RValue sel;
  double key;
  int r;
  const LocalSlot* ls = n->selector->num == NumLocal ? &SlotOfLocalExpr(n->selector, c) : nullptr;
  if (ls && ls->present && ls->var.value.IsReal()) {
    key = ls->var.value.RealUnchecked();
    r = kNumReal;
  } else {
    r = n->selector->num(n->selector, c, key, sel);
  }
  if (r == kNumError) return kStatusError;
  if (r == kNumReal && !n->table) sel.SetReal(key);
  int start = -1;
  if (n->table) {
    int found = r == kNumReal ? n->LookupReal(key) : n->Lookup(sel);
    start = found >= 0 ? found : n->firstDefault;
  } else {
    for (size_t i = 0; i < n->body.size() && start < 0; ++i) {
      if (n->isLabel[i] != 1) continue;
      const Expr* ce = n->caseExpr[i];
      if (!ce) {
        start = static_cast<int>(i);  // default stops the scan where it stands
        break;
      }
      RValue v;
      if (!ce->eval(ce, c, v)) return kStatusError;
      if (v.IsReal() == sel.IsReal() && v == sel) start = static_cast<int>(i);
    }
  }
  if (start < 0) return kStatusOk;
  return RunSwitchFrom(n, c, start);
}

// ======================================================================================================
// Builder: syntax tree -> executable tree
// ======================================================================================================
class Builder {
 public:
  Builder(ExecTree& t) : t_(t) {}

  Expr* BuildExpr(const SyntaxNode& n);
  Stmt* BuildStmt(const SyntaxNode& n);

 private:
  template <class T>
  T* New() {
    T* p = new T();
    t_.nodes.emplace_back(p);
    return p;
  }
  template <class T>
  T* NewExpr(EvalFn eval, int pos, NumFn num = NumGeneric) {
    T* e = New<T>();
    e->eval = eval;
    e->num = num;
    e->pos = pos;
    return e;
  }
  template <class T>
  T* NewStmt(ExecFn exec, int pos) {
    T* s = New<T>();
    s->exec = exec;
    s->pos = pos;
    return s;
  }

  VarRef MakeRef(const SyntaxNode& n);
  Expr* BuildVar(const SyntaxNode& n);
  Expr* BuildBinary(const SyntaxNode& n);
  Stmt* BuildAssign(const SyntaxNode& n);
  Stmt* BuildSwitch(const SyntaxNode& n);

  ExecTree& t_;
};

VarRef Builder::MakeRef(const SyntaxNode& n) {
  VarRef v;
  v.id = n.index;
  v.pos = n.position;
  if (n.kind == kNodeVarConst) {
    v.constTarget = n.target;
  } else {
    const SyntaxNode& target = n.children[0];
    if (target.kind == kNodeConst && target.value.IsReal() && std::fabs(target.value.RealUnchecked()) < 9e18) {
      v.constTarget = RoundToInt32Wrap(target.value.RealUnchecked());
    } else {
      v.targetExpr = BuildExpr(target);
    }
    v.nidx = static_cast<int>(n.children.size()) - 1;
    for (int k = 0; k < v.nidx; ++k) v.idx[k] = BuildExpr(n.children[k + 1]);
  }
  if (!v.targetExpr && v.constTarget == kTargetLocal) v.slot = t_.SlotOf(v.id);
  return v;
}

Expr* Builder::BuildVar(const SyntaxNode& n) {
  VarE* e = NewExpr<VarE>(EvalVar, n.position);
  e->ref = MakeRef(n);
  const VarRef& v = e->ref;
  if (v.targetExpr) return e;
  e->pure = v.nidx == 0;
  if (v.constTarget == kTargetLocal && v.slot >= 0) {
    if (v.nidx == 0) {
      e->eval = EvalLocal;
      e->num = NumLocal;
    } else {
      e->eval = EvalViaNum<NumLocalIdx>;
      e->num = NumLocalIdx;
    }
  } else if (v.constTarget == kTargetPlain && v.nidx == 0) {
    if (v.id >= kUserVariableBase) {
      e->eval = EvalPlain;
      e->num = NumPlain;
    } else {
      const RBuiltinVariable* b = GetBuiltinVariable(v.id);
      if (b && b->name.size() == 9 && b->name.compare(0, 8, "argument") == 0 && b->name[8] >= '0' &&
          b->name[8] <= '9') {
        ArgE* a = NewExpr<ArgE>(EvalArg, n.position, NumArg);
        a->pure = true;
        a->k = b->name[8] - '0';
        return a;
      }
      if (b && b->name.size() == 10 && b->name.compare(0, 9, "argument1") == 0 && b->name[9] >= '0' &&
          b->name[9] <= '5') {
        ArgE* a = NewExpr<ArgE>(EvalArg, n.position, NumArg);
        a->pure = true;
        a->k = 10 + (b->name[9] - '0');
        return a;
      }
      if (b) {
        e->eval = EvalBuiltinPlain;
        e->num = NumViaEval<EvalBuiltinPlain>;
      }
    }
  }
  return e;
}

#define KV_BIN_CASES(X)                                                                                      \
  X(kOpPlus) X(kOpMinus) X(kOpTimes) X(kOpDivide) X(kOpDiv) X(kOpMod) X(kTokAssign) X(kOpEqual)            \
  X(kOpNotEqual) X(kOpLess) X(kOpLessEq) X(kOpGreater) X(kOpGreaterEq) X(kOpAnd) X(kOpOr) X(kOpXor)         \
  X(kOpBitOr) X(kOpBitAnd) X(kOpBitXor) X(kOpShl) X(kOpShr)

Expr* Builder::BuildBinary(const SyntaxNode& n) {
  const SyntaxNode& rt = n.children[1];
  Expr* l = BuildExpr(n.children[0]);
  if (rt.kind == kNodeConst && rt.value.IsReal()) {
    BinKE* e = NewExpr<BinKE>(nullptr, n.position);
    e->l = l;
    if (l->num == NumLocal) e->leftSlot = static_cast<const VarE*>(l)->ref.slot;
    if (l->num == NumArg) e->leftSlot = static_cast<const ArgE*>(l)->k;
    e->k = rt.value.RealUnchecked();
    if (e->k >= 1 && e->k <= 2147483648.0 && e->k == std::floor(e->k)) e->kint = static_cast<int64_t>(e->k);
    e->kpos = rt.position;
    e->op = n.index;
    switch (n.index) {
#define X(op)                   \
  case op:                      \
    e->eval = EvalViaNum<NumBinK<op>>; \
    e->num = NumBinK<op>;              \
    if (e->leftSlot >= 0 && l->num == NumLocal) { \
      e->eval = EvalViaNum<NumLocalK<op>>; \
      e->num = NumLocalK<op>;          \
    } else if (e->leftSlot >= 0) {     \
      e->eval = EvalViaNum<NumArgK<op>>; \
      e->num = NumArgK<op>;            \
    }                                  \
    break;
      KV_BIN_CASES(X)
#undef X
      default:
        break;
    }
    if (e->eval) return e;
  }
  BinE* e = NewExpr<BinE>(nullptr, n.position);
  e->l = l;
  e->r = BuildExpr(rt);
  e->op = n.index;
  switch (n.index) {
#define X(op)                  \
  case op:                     \
    e->eval = EvalViaNum<NumBin<op>>; \
    e->num = NumBin<op>;              \
    break;
    KV_BIN_CASES(X)
#undef X
    default: {
      // An operator outside the tables: report it when evaluated.
      e->eval = [](const Expr* x, Ctx& c, RValue&) {
        return Err(c, static_cast<const BinE*>(x)->r->pos, "Internal error: unknown binary operator.");
      };
      e->num = NumGeneric;
    }
  }
  return e;
}

Expr* Builder::BuildExpr(const SyntaxNode& n) {
  switch (n.kind) {
    case kNodeConst: {
      ConstE* e = NewExpr<ConstE>(EvalConst, n.position, NumConst);
      e->value = n.value;
      e->pure = true;
      return e;
    }
    case kNodeVar:
    case kNodeVarConst:
      return BuildVar(n);
    case kNodeUnary: {
      UnaryE* e = NewExpr<UnaryE>(EvalUnary, n.position);
      e->op = n.index;
      e->a = BuildExpr(n.children[0]);
      if (e->op == kOpMinus) {
        e->num = NumNegate;
        e->eval = EvalViaNum<NumNegate>;
      }
      return e;
    }
    case kNodeBinary:
      return BuildBinary(n);
    case kNodeCall: {
      EvalFn fn = n.index >= kExtensionIdBase ? EvalCallExtension
                  : n.index >= kScriptIdBase  ? EvalCallScript
                                              : EvalCallBuiltin;
      CallE* e = NewExpr<CallE>(fn, n.position);
      e->num = fn == EvalCallExtension ? NumViaEval<EvalCallExtension>
               : fn == EvalCallScript  ? NumViaEval<EvalCallScript>
                                       : NumViaEval<EvalCallBuiltin>;
      e->id = n.index;
      if (fn == EvalCallBuiltin) {
        const RBuiltinFunction* f = GetBuiltinFunction(n.index);
        e->fn = f ? f->handler : nullptr;
        if (e->fn) e->real = GetRealForm(n.index);
        if (!e->fn)
          e->fn = [](RValue&, CInstance*, CInstance*, int, RValue*) {};
      }
      for (const SyntaxNode& a : n.children) e->args.push_back(BuildExpr(a));
      return e;
    }
    default: {
      ConstE* e = NewExpr<ConstE>(
          [](const Expr* x, Ctx& c, RValue&) { return Err(c, x->pos, "(Sub-)expression expected."); },
          n.position);
      return e;
    }
  }
}

Stmt* Builder::BuildAssign(const SyntaxNode& n) {
  const SyntaxNode& lhs = n.children[0];
  AssignS* s = NewStmt<AssignS>(nullptr, n.position);
  s->ref = MakeRef(lhs);
  s->rhs = BuildExpr(n.children[1]);
  const int op = n.index == kTokAssign ? 0 : CompoundToBinary(n.index);
  const VarRef& v = s->ref;
  enum Shape { kGeneric, kLocal, kLocalIdx, kPlain } shape = kGeneric;
  if (!v.targetExpr && v.constTarget == kTargetLocal && v.slot >= 0) shape = v.nidx == 0 ? kLocal : kLocalIdx;
  else if (!v.targetExpr && v.constTarget == kTargetPlain && v.nidx == 0 && v.id >= kUserVariableBase) shape = kPlain;

  if (shape == kLocal && (op == kOpPlus || op == kOpMinus) && n.children[1].kind == kNodeConst &&
      n.children[1].value.IsReal()) {
    s->k = n.children[1].value.RealUnchecked();
    s->exec = op == kOpPlus ? ExecAssignLocalK<kOpPlus> : ExecAssignLocalK<kOpMinus>;
    s->op = op;
    s->shape = kShapeLocalK;
    return s;
  }
  s->shape = shape == kLocal ? kShapeLocal : shape == kLocalIdx ? kShapeLocalIdx : shape == kPlain ? kShapePlain
                                                                                         : kShapeGeneric;
#define KV_ASSIGN(OPV)                                               \
  case OPV:                                                          \
    s->op = OPV;                                                     \
    switch (shape) {                                                 \
      case kLocal: s->exec = ExecAssignLocal<OPV>; break;            \
      case kLocalIdx: s->exec = ExecAssignLocalIdx<OPV>; break;      \
      case kPlain: s->exec = ExecAssignPlain<OPV>; break;            \
      default: s->exec = ExecAssign<OPV>; break;                     \
    }                                                                \
    break;
  switch (op) {
    KV_ASSIGN(0)
    KV_ASSIGN(kOpPlus)
    KV_ASSIGN(kOpMinus)
    KV_ASSIGN(kOpTimes)
    KV_ASSIGN(kOpDivide)
    KV_ASSIGN(kOpBitOr)
    KV_ASSIGN(kOpBitAnd)
    KV_ASSIGN(kOpBitXor)
    default:
      s->exec = ExecAssign<0>;
      s->shape = kShapeGeneric;
  }
#undef KV_ASSIGN
  return s;
}

Stmt* Builder::BuildSwitch(const SyntaxNode& n) {
  SwitchS* s = NewStmt<SwitchS>(ExecSwitch, n.position);
  s->selector = BuildExpr(n.children[0]);
  bool constant = true;
  for (size_t i = 1; i < n.children.size(); ++i) {
    const SyntaxNode& c = n.children[i];
    const int at = static_cast<int>(i - 1);
    if (c.kind == kNodeCase || c.kind == kNodeDefault) {
      s->body.push_back(nullptr);
      s->isLabel.push_back(1);
      if (c.kind == kNodeCase) {
        s->caseExpr.push_back(BuildExpr(c.children[0]));
        if (s->firstDefault < 0) {
          const SyntaxNode& e = c.children[0];
          if (e.kind != kNodeConst) {
            constant = false;
          } else if (e.value.IsReal()) {
            double key = e.value.RealUnchecked();
            if (key == 0.0) key = 0.0;  // −0 and +0 are equal labels
            if (s->Lookup(RValue(key)) < 0) {  // a value keeps its first label
              if (key >= 0 && key < 1024 && key == std::floor(key)) {
                if (s->smallLabels.size() <= key) s->smallLabels.resize(static_cast<size_t>(key) + 1, -1);
                s->smallLabels[static_cast<size_t>(key)] = at;
              } else {
                s->realLabels.emplace_back(key, at);
              }
            }
          } else if (s->Lookup(e.value) < 0) {
            s->stringLabels.emplace_back(std::string(e.value.Str()), at);
          }
        }
      } else {
        s->caseExpr.push_back(nullptr);
        if (s->firstDefault < 0) s->firstDefault = at;
      }
    } else {
      s->body.push_back(BuildStmt(c));
      s->isLabel.push_back(c.kind == kNodeBreak ? 2 : 0);
      s->caseExpr.push_back(nullptr);
    }
  }
  s->table = constant;
  return s;
}

Stmt* Builder::BuildStmt(const SyntaxNode& n) {
  switch (n.kind) {
    case kNodeBlock: {
      BlockS* s = NewStmt<BlockS>(ExecBlock, n.position);
      for (const SyntaxNode& c : n.children) {
        if (c.kind == kNodeEmpty || c.kind == kNodeVarDecl) continue;  // nothing at run time
        s->list.push_back(BuildStmt(c));
      }
      return s;
    }
    case kNodeEmptyProgram:
    case kNodeEmpty:
    case kNodeVarDecl:
      return NewStmt<Stmt>(ExecEmpty, n.position);
    case kNodeCall: {
      ExprS* s = NewStmt<ExprS>(ExecExprStmt, n.position);
      s->e = BuildExpr(n);
      return s;
    }
    case kNodeAssign:
      return BuildAssign(n);
    case kNodeIf: {
      IfS* s = NewStmt<IfS>(ExecIf, n.position);
      s->cond = BuildExpr(n.children[0]);
      s->then = BuildStmt(n.children[1]);
      if (n.children.size() > 2) s->otherwise = BuildStmt(n.children[2]);
      return s;
    }
    case kNodeWhile: {
      LoopS* s = NewStmt<LoopS>(ExecWhile, n.position);
      s->cond = BuildExpr(n.children[0]);
      s->body = BuildStmt(n.children[1]);
      return s;
    }
    case kNodeDo: {
      LoopS* s = NewStmt<LoopS>(ExecDo, n.position);
      s->body = BuildStmt(n.children[0]);
      s->cond = BuildExpr(n.children[1]);
      return s;
    }
    case kNodeFor: {
      ForLocalS* s = NewStmt<ForLocalS>(ExecFor, n.position);
      s->init = BuildStmt(n.children[0]);
      s->cond = BuildExpr(n.children[1]);
      s->step = BuildStmt(n.children[2]);
      s->body = BuildStmt(n.children[3]);
      // i CMP k with i += d / i -= d on the same local: fuse the test and the step.
      const BinKE* cond = dynamic_cast<const BinKE*>(s->cond);
      const AssignS* step = dynamic_cast<const AssignS*>(s->step);
      if (cond && step && cond->leftSlot >= 0 && cond->l->num == NumLocal && step->ref.slot == cond->leftSlot &&
          (step->exec == ExecAssignLocalK<kOpPlus> || step->exec == ExecAssignLocalK<kOpMinus>)) {
        s->slot = cond->leftSlot;
        s->limit = cond->k;
        s->stepBy = step->exec == ExecAssignLocalK<kOpPlus> ? step->k : -step->k;  // x - d == x + (-d) exactly
        s->cmp = n.children[1].index;
        switch (n.children[1].index) {
          case kOpLess: s->exec = ExecForLocal<kOpLess>; break;
          case kOpLessEq: s->exec = ExecForLocal<kOpLessEq>; break;
          case kOpGreater: s->exec = ExecForLocal<kOpGreater>; break;
          case kOpGreaterEq: s->exec = ExecForLocal<kOpGreaterEq>; break;
          case kOpNotEqual: s->exec = ExecForLocal<kOpNotEqual>; break;
          default: break;
        }
      }
      return s;
    }
    case kNodeRepeat: {
      LoopS* s = NewStmt<LoopS>(ExecRepeat, n.position);
      s->cond = BuildExpr(n.children[0]);
      s->body = BuildStmt(n.children[1]);
      return s;
    }
    case kNodeExit:
      return NewStmt<Stmt>(ExecExit, n.position);
    case kNodeBreak:
      return NewStmt<Stmt>(ExecBreak, n.position);
    case kNodeContinue:
      return NewStmt<Stmt>(ExecContinue, n.position);
    case kNodeWith: {
      WithS* s = NewStmt<WithS>(ExecWith, n.position);
      s->target = BuildExpr(n.children[0]);
      s->body = BuildStmt(n.children[1]);
      return s;
    }
    case kNodeReturn: {
      ReturnS* s = NewStmt<ReturnS>(ExecReturn, n.position);
      s->e = BuildExpr(n.children[0]);
      return s;
    }
    case kNodeSwitch:
      return BuildSwitch(n);
    case kNodeCase:
      return NewStmt<Stmt>(ExecCaseOutside, n.position);
    case kNodeDefault:
      return NewStmt<Stmt>(ExecDefaultOutside, n.position);
    case kNodeGlobalVar: {
      GlobalVarS* s = NewStmt<GlobalVarS>(ExecGlobalVar, n.position);
      for (const SyntaxNode& c : n.children) s->ids.push_back(c.index);
      return s;
    }
    default:
      return NewStmt<Stmt>(
          [](const Stmt* x, Ctx& c) {
            Err(c, x->pos, "Statement expected.");
            return static_cast<int>(kStatusError);
          },
          n.position);
  }
}

// ======================================================================================================
// Bytecode
// ======================================================================================================
// A register machine over the executable tree. Why registers rather than an accumulator or a stack: every
// operator here is binary with both operands always evaluated, so a three-address form (dst, left, right)
// runs an expression in one instruction per operator with no pushes, pops or accumulator spills, and the
// fused forms address their operands where they live (a frame-slot local, an argument slot, a constant).
//
// Instructions are 16 bytes: opcode, three 16-bit operands, and one pointer to the tree node the instruction
// was compiled from. The node holds what the rare paths need (positions for error texts, constants, the cached
// slot hint of an instance variable, the callee), so the common path reads only the instruction. Every fused
// or fast instruction tests cheaply whether its fast path applies and otherwise hands over to the general code
// the tree runs, with the same messages and positions; the fast tests never have side effects, so when a node
// is pure the instruction may simply evaluate it through the tree.
//
// Frames: `var` locals live in the run's local slots (shared with the tree, see LocalStack); temporaries are a
// window of registers on one value stack; arguments are staged on the argument stack. A call of a script that
// runs as bytecode does not recurse: the loop pushes a VmFrame (where the caller was) and continues in the
// script; the script's end pops it. Calls allocate nothing on the heap. A with statement's body is bytecode of
// its own that the with instruction runs once per instance. Statements the bytecode does not compile
// (globalvar, assignments to computed targets, …) run as one escape instruction through the tree, with the
// same Ctx; their break/continue statuses jump where the loop around them says.
}  // namespace

enum VmOp : uint16_t {
#define KV_VM_BINOPS(X)                                                                                        \
  X(Plus, kOpPlus) X(Minus, kOpMinus) X(Times, kOpTimes) X(Divide, kOpDivide) X(Div, kOpDiv) X(Mod, kOpMod)   \
  X(Assign, kTokAssign) X(Equal, kOpEqual) X(NotEqual, kOpNotEqual) X(Less, kOpLess) X(LessEq, kOpLessEq)      \
  X(Greater, kOpGreater) X(GreaterEq, kOpGreaterEq) X(And, kOpAnd) X(Or, kOpOr) X(Xor, kOpXor)                \
  X(BitOr, kOpBitOr) X(BitAnd, kOpBitAnd) X(BitXor, kOpBitXor) X(Shl, kOpShl) X(Shr, kOpShr)
#define KV_VM_PLAIN_OPS(X)                                                                                     \
  X(LoadK) X(LoadL) X(LoadA) X(LoadP) X(LoadLIdx) X(LoadLIdxL) X(ToIdx) X(Eval) X(Neg) X(Unary) X(CallB) X(CallS) X(CallX)  \
  X(Exec) X(With) X(IncL) X(StL0) X(StLAdd) X(AddRRL) X(AddLL) X(StL) X(StLIdx) X(StP0) X(StP) X(Jmp) X(Jif) X(Jwf) X(Jwb) X(Jdo) X(RepInit)     \
  X(RepNext) X(ForTest) X(ForLoop) X(ForLoopLt) X(Ret) X(RetAdd) X(RetSt) X(End) X(SwitchT) X(SwitchL) X(Jcase) X(IdxL) \
  X(CallR1) X(CallR2) X(CallRN) X(CallR1L)
#define X(name) kVm##name,
  KV_VM_PLAIN_OPS(X)
#undef X
#define X(name, opc) kVmRR##name, kVmRK##name, kVmLK##name, kVmAK##name, kVmLL##name,
  KV_VM_BINOPS(X)
#undef X
// Compare with a constant and branch when it does not hold, one opcode per comparison so the test is a single
// machine comparison: left side a local slot (Jlk), an argument slot (Jak) or a register (Jrk).
#define KV_VM_CMPS(X)                                                                                          \
  X(Lt, kOpLess) X(Le, kOpLessEq) X(Gt, kOpGreater) X(Ge, kOpGreaterEq) X(Eq, kOpEqual) X(Ne, kOpNotEqual)
#define X(name, opc) kVmJlk##name, kVmJak##name, kVmJrk##name,
  KV_VM_CMPS(X)
#undef X
// Later additions (none of them branches): a built-in variable of the running instance read or written by plain
// name without index, through its entry in the built-in table.
#define KV_VM_LATE_OPS(X) X(LoadB) X(StB)
#define X(name) kVm##name,
  KV_VM_LATE_OPS(X)
#undef X
  kVmOpCount
};

struct Ins {
  uint16_t op = 0;
  uint16_t a = 0, b = 0, c = 0;
  const void* p = nullptr;
};
static_assert(sizeof(Ins) == 16, "instructions are 16 bytes");

// Jump targets live in b (low) and c (high): while compiling, the instruction's index; once compiled, branches
// (see IsBranch) hold the distance from the branch instead, so the loop needs no base pointer to take them.
inline uint32_t TargetOf(const Ins& i) { return i.b | (static_cast<uint32_t>(i.c) << 16); }
inline int32_t BranchOf(const Ins& i) { return static_cast<int32_t>(TargetOf(i)); }

struct EscapeTargets {
  int brk = -1;   // instruction to jump to when the escaped statement breaks; −1: end the run with that status
  int cont = -1;  // same for continue
};

// Where a table switch jumps for a real selector.
struct SwitchTable {
  std::vector<int> small;  // per small non-negative integer selector
  double limit = 0;        // small.size()
  int other = -1;          // every other real, when no case label is a real outside the table; −1: look it up
  int Target(double key) const {
    if (key >= 0 && key < limit) {
      const int k = static_cast<int>(key);
      if (static_cast<double>(k) == key) return small[static_cast<size_t>(k)];
    }
    return other;
  }
};

struct Bytecode : NodeBase {
  std::vector<Ins> code;
  int nregs = 0;
  int nslots = 0;  // `var` locals (the tree's slotIds), for the script call's frame
  std::vector<EscapeTargets> escapes;
  std::vector<std::vector<int>> switchTargets;  // per table switch: per body index, where running starts; last = end
  std::vector<std::unique_ptr<Bytecode>> subs;  // bodies of with statements, each run once per instance
  std::vector<SwitchTable> switchSmall;         // per table switch: where real selectors jump
};

namespace {

// ---- the register stack ----
// Temporaries of nested runs. The memory comes zeroed from the system (all-zero bytes are an empty inline
// string, a valid value) and is touched only as deep as runs go.
constexpr size_t kRegStackSize = size_t{1} << 20;
struct RegStack {
  RValue* store = nullptr;
  size_t top = 0;
  RValue* Push(int n) {
    if (!store) store = static_cast<RValue*>(std::calloc(kRegStackSize, sizeof(RValue)));
    if (!store || top + static_cast<size_t>(n) > kRegStackSize) return nullptr;
    RValue* p = store + top;
    top += static_cast<size_t>(n);
    return p;
  }
};
RegStack g_regs;
struct RegFrame {
  RValue* r;
  int n;
  explicit RegFrame(int count) : r(g_regs.Push(count)), n(count) {}
  ~RegFrame() {
    if (!r) return;
    for (int i = 0; i < n; ++i)
      if (r[i].Tag() == RValue::kTagLong) r[i].SetReal(0.0);  // drop string references; the rest may stay
    g_regs.top -= static_cast<size_t>(n);
  }
};

bool g_treeInterpreter = [] {
  const char* e = std::getenv("KV_INTERP");
  return e && std::strcmp(e, "tree") == 0;
}();

// ---- compiler: executable tree -> bytecode ----
class VmCompiler {
 public:
  explicit VmCompiler(Bytecode& bc) : bc_(bc) {}

  void Program(const Stmt* root) {
    Statement(root);
    Emit(kVmEnd);
    RelativeBranches();
  }
  void Expression(const Expr* root) {
    Value(root, 0);
    Emit(kVmRet, 0);
    RelativeBranches();
  }

 private:
  struct Fix {
    int at;
    int kind;  // 0 jump, 1 escape break, 2 escape continue
  };
  struct Loop {
    bool isSwitch = false;
    std::vector<Fix> breaks, conts;
  };

  int Emit(VmOp op, int a = 0, int b = 0, int c = 0, const void* p = nullptr) {
    Ins i;
    i.op = op;
    i.a = static_cast<uint16_t>(a);
    i.b = static_cast<uint16_t>(b);
    i.c = static_cast<uint16_t>(c);
    i.p = p;
    bc_.code.push_back(i);
    return static_cast<int>(bc_.code.size()) - 1;
  }
  int Here() const { return static_cast<int>(bc_.code.size()); }
  static bool IsBranch(int op) {
    switch (op) {
      case kVmJmp: case kVmJif: case kVmJwf: case kVmJwb: case kVmJdo: case kVmRepNext: case kVmForTest:
      case kVmForLoop: case kVmForLoopLt: case kVmJcase:
        return true;
      default: return op >= kVmJlkLt && op <= kVmJrkNe;  // the compare-and-branch opcodes
    }
  }
  void RelativeBranches() {
    for (size_t k = 0; k < bc_.code.size(); ++k)
      if (IsBranch(bc_.code[k].op))
        SetTarget(static_cast<int>(k), static_cast<int>(TargetOf(bc_.code[k])) - static_cast<int>(k));
  }
  void SetTarget(int at, int target) {
    bc_.code[at].b = static_cast<uint16_t>(target & 0xFFFF);
    bc_.code[at].c = static_cast<uint16_t>(static_cast<uint32_t>(target) >> 16);
  }
  void Patch(const std::vector<Fix>& fixes, int target) {
    for (const Fix& f : fixes) {
      if (f.kind == 0) SetTarget(f.at, target);
      else if (f.kind == 1) bc_.escapes[f.at].brk = target;
      else bc_.escapes[f.at].cont = target;
    }
  }
  void Use(int reg) {
    if (reg + 1 > bc_.nregs) bc_.nregs = reg + 1;
  }
  Loop* InnermostLoop() {
    for (size_t i = loops_.size(); i-- > 0;)
      if (!loops_[i].isSwitch) return &loops_[i];
    return nullptr;
  }

  // Evaluates e into register dst; registers above dst are free for temporaries.
  void Value(const Expr* e, int dst) {
    Use(dst);
    if (e->eval == EvalConst) {
      Emit(kVmLoadK, dst, 0, 0, e);
    } else if (e->eval == EvalLocal) {
      Emit(kVmLoadL, dst, static_cast<const VarE*>(e)->ref.slot, 0, e);
    } else if (e->eval == EvalArg) {
      Emit(kVmLoadA, dst, static_cast<const ArgE*>(e)->k, 0, e);
    } else if (e->eval == EvalPlain) {
      Emit(kVmLoadP, dst, 0, 0, e);
    } else if (e->eval == EvalBuiltinPlain) {
      Emit(kVmLoadB, dst, 0, 0, e);
    } else if (e->num == NumLocalIdx) {
      const VarRef& v = static_cast<const VarE*>(e)->ref;
      if (v.idx[0]->eval == EvalLocal && v.idx[v.nidx - 1]->eval == EvalLocal) {
        // Indices that are `var` locals themselves (a[i], a[i, j]): one instruction reads them in place.
        Use(dst + v.nidx - 1);
        Emit(kVmLoadLIdxL, dst, v.slot, static_cast<const VarE*>(v.idx[v.nidx - 1])->ref.slot, e);
        return;
      }
      for (int k = 0; k < v.nidx; ++k) Index(v.idx[k], dst + k);
      Emit(kVmLoadLIdx, dst, v.slot, dst, e);
    } else if (const BinKE* bk = dynamic_cast<const BinKE*>(e)) {
      if (bk->leftSlot >= 0 && bk->l->num == NumLocal) {
        Emit(BinForm(bk->op, 2), dst, bk->leftSlot, 0, e);
      } else if (bk->leftSlot >= 0) {
        Emit(BinForm(bk->op, 3), dst, bk->leftSlot, 0, e);
      } else {
        Value(bk->l, dst);
        Emit(BinForm(bk->op, 1), dst, dst, 0, e);
      }
    } else if (const BinE* be = dynamic_cast<const BinE*>(e); be && IsTableOp(be->op)) {
      Value(be->l, dst);
      Value(be->r, dst + 1);
      Emit(BinForm(be->op, 0), dst, dst, dst + 1, e);
    } else if (const UnaryE* u = dynamic_cast<const UnaryE*>(e)) {
      Value(u->a, dst);
      Emit(u->op == kOpMinus ? kVmNeg : kVmUnary, dst, dst, 0, e);
    } else if (const CallE* call = dynamic_cast<const CallE*>(e)) {
      const int argc = static_cast<int>(call->args.size());
      VmOp op = call->eval == EvalCallScript ? kVmCallS : call->eval == EvalCallExtension ? kVmCallX : kVmCallB;
      if (op == kVmCallB) {  // a built-in with a form over reals for this many arguments
        if (call->real.one && argc == 1) op = kVmCallR1;
        else if (call->real.two && argc == 2) op = kVmCallR2;
        else if (call->real.many && argc <= kMaxCallArgs &&
                 (FunctionArgumentCount(call->id) == kVariableArgs || FunctionArgumentCount(call->id) == argc))
          op = kVmCallRN;
      }
      if (op == kVmCallR1 && call->args[0]->eval == EvalLocal) {  // f(local): one instruction reads it in place
        Emit(kVmCallR1L, dst, static_cast<const VarE*>(call->args[0])->ref.slot, 0, e);
        return;
      }
      for (int k = 0; k < argc; ++k) Value(call->args[k], dst + k);
      Emit(op, dst, dst, argc, e);
    } else {
      Emit(kVmEval, dst, 0, 0, e);
    }
  }
  // An array index into dst, checked and rounded (errors at the index expression, right after evaluating it).
  void Index(const Expr* e, int dst) {
    Use(dst);
    if (e->eval == EvalLocal) {  // super-instruction: load a local counter and check it as an index
      Emit(kVmIdxL, dst, static_cast<const VarE*>(e)->ref.slot, 0, e);
      return;
    }
    Value(e, dst);
    Emit(kVmToIdx, dst, 0, 0, e);
  }

  static bool IsTableOp(int op) {
    switch (op) {
#define X(name, opc) case opc:
      KV_VM_BINOPS(X)
#undef X
      return true;
      default: return false;
    }
  }
  // form: 0 register-register, 1 register-constant, 2 local-constant, 3 argument-constant, 4 local-constant
  // stored into a local (`var x; x = i mod 7;`).
  static VmOp BinForm(int op, int form) {
    switch (op) {
#define X(name, opc) \
  case opc: return static_cast<VmOp>(kVmRR##name + form);
      KV_VM_BINOPS(X)
#undef X
      default: return kVmEval;
    }
  }

  void Escape(const Stmt* s) {
    const int esc = static_cast<int>(bc_.escapes.size());
    bc_.escapes.emplace_back();
    Emit(kVmExec, esc, 0, 0, s);
    if (!loops_.empty()) loops_.back().breaks.push_back({esc, 1});
    if (Loop* l = InnermostLoop()) l->conts.push_back({esc, 2});
  }

  void Jump(VmOp op, int a, const void* p, std::vector<Fix>& fixes) { fixes.push_back({Emit(op, a, 0, 0, p), 0}); }

  // Compiles a loop body with break going to the returned fix lists.
  Loop Body(const Stmt* s, bool isSwitch = false) {
    loops_.emplace_back();
    loops_.back().isSwitch = isSwitch;
    Statement(s);
    Loop l = std::move(loops_.back());
    loops_.pop_back();
    return l;
  }

  void Statement(const Stmt* s) {
    const ExecFn f = s->exec;
    if (f == ExecBlock) {
      for (const Stmt* x : static_cast<const BlockS*>(s)->list) Statement(x);
    } else if (f == ExecEmpty) {
    } else if (f == ExecExprStmt) {
      Value(static_cast<const ExprS*>(s)->e, reg_);
    } else if (const AssignS* a = dynamic_cast<const AssignS*>(s)) {
      Assign(a);
    } else if (f == ExecIf) {
      const IfS* n = static_cast<const IfS*>(s);
      std::vector<Fix> toElse, toEnd;
      JumpUnless(n->cond, kVmJif, toElse);
      Statement(n->then);
      if (n->otherwise) {
        Jump(kVmJmp, 0, nullptr, toEnd);
        Patch(toElse, Here());
        Statement(n->otherwise);
        Patch(toEnd, Here());
      } else {
        Patch(toElse, Here());
      }
    } else if (f == ExecWhile) {
      const LoopS* n = static_cast<const LoopS*>(s);
      const int top = Here();
      std::vector<Fix> exit;
      JumpUnless(n->cond, kVmJwb, exit);
      Loop l = Body(n->body);
      Emit(kVmJmp);
      SetTarget(Here() - 1, top);
      Patch(l.conts, top);
      Patch(l.breaks, Here());
      Patch(exit, Here());
    } else if (f == ExecDo) {
      const LoopS* n = static_cast<const LoopS*>(s);
      const int top = Here();
      Loop l = Body(n->body);
      Patch(l.conts, Here());
      Value(n->cond, reg_);
      SetTarget(Emit(kVmJdo, reg_, 0, 0, n->cond), top);
      Patch(l.breaks, Here());
    } else if (f == ExecFor) {
      const LoopS* n = static_cast<const LoopS*>(s);
      Statement(n->init);  // a break or continue here belongs to the enclosing loop, as in the tree
      const int top = Here();
      std::vector<Fix> exit;
      JumpUnless(n->cond, kVmJwf, exit);
      Loop l = Body(n->body);
      Patch(l.conts, Here());
      Statement(n->step);
      SetTarget(Emit(kVmJmp), top);
      Patch(l.breaks, Here());
      Patch(exit, Here());
    } else if (const ForLocalS* fl = dynamic_cast<const ForLocalS*>(s)) {
      // for (…; i CMP k; i += d): test once, then the fused step-and-test at the bottom jumps back.
      Statement(fl->init);
      std::vector<Fix> exit;
      Jump(kVmForTest, fl->slot, fl, exit);
      const int body = Here();
      Loop l = Body(fl->body);
      Patch(l.conts, Here());
      SetTarget(Emit(fl->cmp == kOpLess ? kVmForLoopLt : kVmForLoop, fl->slot, 0, 0, fl), body);
      Patch(l.breaks, Here());
      Patch(exit, Here());
    } else if (f == ExecRepeat) {
      const LoopS* n = static_cast<const LoopS*>(s);
      const int counter = reg_++;
      Value(n->cond, counter);
      Emit(kVmRepInit, counter, 0, 0, n->cond);
      const int top = Here();
      std::vector<Fix> exit;
      Jump(kVmRepNext, counter, nullptr, exit);
      Loop l = Body(n->body);
      SetTarget(Emit(kVmJmp), top);
      Patch(l.conts, top);
      Patch(l.breaks, Here());
      Patch(exit, Here());
      --reg_;
    } else if (f == ExecExit) {
      Emit(kVmRetSt, kStatusExit & 0xFFFF);
    } else if (f == ExecBreak) {
      if (loops_.empty()) Emit(kVmRetSt, kStatusBreak & 0xFFFF);
      else Jump(kVmJmp, 0, nullptr, loops_.back().breaks);
    } else if (f == ExecContinue) {
      if (Loop* l = InnermostLoop()) Jump(kVmJmp, 0, nullptr, l->conts);
      else Emit(kVmRetSt, kStatusContinue & 0xFFFF);
    } else if (f == ExecReturn) {
      const Expr* e = static_cast<const ReturnS*>(s)->e;
      if (const BinE* be = dynamic_cast<const BinE*>(e); be && be->op == kOpPlus) {
        Value(be->l, reg_);  // `return p + q`: the sum and the return in one (operands in reg_ and reg_ + 1)
        Value(be->r, reg_ + 1);
        Emit(kVmRetAdd, reg_, 0, 0, e);
      } else {
        Value(e, reg_);
        Emit(kVmRet, reg_);
      }
    } else if (f == ExecSwitch) {
      Switch(static_cast<const SwitchS*>(s));
    } else if (f == ExecWith) {
      With(static_cast<const WithS*>(s));
    } else {
      Escape(s);
    }
  }

  // Evaluates a condition and jumps to a fix when it does not hold (op: Jif, Jwf or Jwb).
  void JumpUnless(const Expr* cond, VmOp op, std::vector<Fix>& fixes) {
    // Super-instruction for `local CMP constant`: compare and branch in one. A comparison yields 0 or 1 (or an
    // error), so the threshold and the string message of the plain jump never matter there.
    if (const BinKE* bk = dynamic_cast<const BinKE*>(cond);
        bk && bk->leftSlot >= 0 && bk->l->num == NumLocal && IsComparison(bk->op)) {
      fixes.push_back({Emit(CmpForm(bk->op, 0), bk->leftSlot, 0, 0, cond), 0});
      return;
    }
    if (const BinKE* bk = dynamic_cast<const BinKE*>(cond);
        bk && bk->leftSlot >= 0 && bk->l->num == NumArg && IsComparison(bk->op)) {
      fixes.push_back({Emit(CmpForm(bk->op, 1), bk->leftSlot, 0, 0, cond), 0});  // `argumentN CMP constant`
      return;
    }
    if (const BinKE* bk = dynamic_cast<const BinKE*>(cond); bk && bk->leftSlot < 0 && IsComparison(bk->op)) {
      Value(bk->l, reg_);  // `expression CMP constant`: the comparison and the branch in one
      fixes.push_back({Emit(CmpForm(bk->op, 2), reg_, 0, 0, cond), 0});
      return;
    }
    Value(cond, reg_);
    fixes.push_back({Emit(op, reg_, 0, 0, cond), 0});
  }
  // form: 0 local slot, 1 argument slot, 2 register (see KV_VM_CMPS); `=` compares as `==`.
  static VmOp CmpForm(int op, int form) {
    switch (op) {
#define X(name, opc) \
  case opc: return static_cast<VmOp>(kVmJlk##name + form);
      KV_VM_CMPS(X)
#undef X
      default: return static_cast<VmOp>(kVmJlkEq + form);  // kTokAssign
    }
  }
  static bool IsComparison(int op) {
    return op == kOpLess || op == kOpLessEq || op == kOpGreater || op == kOpGreaterEq || op == kOpEqual ||
           op == kOpNotEqual || op == kTokAssign;
  }

  void Assign(const AssignS* a) {
    const int r = reg_;
    switch (a->shape) {
      case kShapeLocalK:
        Emit(kVmIncL, a->ref.slot, 0, a->op == kOpMinus ? 1 : 0, a);
        return;
      case kShapeLocal:
        if (const BinKE* bk = dynamic_cast<const BinKE*>(a->rhs);
            a->op == 0 && bk && bk->leftSlot >= 0 && bk->l->num == NumLocal) {
          Use(r);
          Emit(BinForm(bk->op, 4), r, bk->leftSlot, a->ref.slot, a);
          return;
        }
        if (a->op == kOpPlus && a->rhs->eval == EvalLocal) {  // `x += y`, both `var` locals
          Use(r);
          Emit(kVmAddLL, r, a->ref.slot, static_cast<const VarE*>(a->rhs)->ref.slot, a);
          return;
        }
        if (const BinE* be = dynamic_cast<const BinE*>(a->rhs); a->op == kOpPlus && be && be->op == kOpPlus) {
          Value(be->l, r);  // `x += p + q`: the sum and the store in one (operands in registers r and r + 1)
          Value(be->r, r + 1);
          Emit(kVmAddRRL, r, a->ref.slot, 0, a);
          return;
        }
        Value(a->rhs, r);
        Emit(a->op == 0 ? kVmStL0 : a->op == kOpPlus ? kVmStLAdd : kVmStL, r, a->ref.slot, 0, a);
        return;
      case kShapeLocalIdx:
        for (int k = 0; k < a->ref.nidx; ++k) Index(a->ref.idx[k], r + k);
        Value(a->rhs, r + a->ref.nidx);
        Emit(kVmStLIdx, r + a->ref.nidx, a->ref.slot, r, a);
        return;
      case kShapePlain:
        Value(a->rhs, r);
        Emit(a->op == 0 ? kVmStP0 : kVmStP, r, 0, 0, a);
        return;
      default:
        if (IsBuiltinPlain(a->ref)) {  // the general assignment with no target or index to evaluate
          Value(a->rhs, r);
          Emit(kVmStB, r, 0, 0, a);
          return;
        }
        Escape(a);
    }
  }

  static bool IsBuiltinPlain(const VarRef& v) {
    return !v.targetExpr && v.constTarget == kTargetPlain && v.nidx == 0 && v.id < kUserVariableBase &&
           GetBuiltinVariable(v.id) != nullptr;
  }

  // with: the target into a register, the body as bytecode of its own that the with instruction runs for
  // each instance (its break, continue, exit and return end that run with their status, as the tree's body).
  void With(const WithS* n) {
    Value(n->target, reg_);
    auto body = std::make_unique<Bytecode>();
    body->nslots = bc_.nslots;
    VmCompiler(*body).Program(n->body);
    Emit(kVmWith, reg_, static_cast<int>(bc_.subs.size()), 0, n);
    bc_.subs.push_back(std::move(body));
  }

  void Switch(const SwitchS* n) {
    const int sel = reg_++;
    Use(sel);
    // A table switch on a `var` local reads the local itself (SwitchL); others evaluate the selector first.
    const bool onLocal = n->table && n->selector->eval == EvalLocal;
    if (!onLocal) Value(n->selector, sel);
    std::vector<Fix> toEnd;
    std::vector<int> labelJumps(n->body.size(), -1);  // scan jumps per label
    int table = -1;
    if (n->table) {
      table = static_cast<int>(bc_.switchTargets.size());
      bc_.switchTargets.emplace_back(n->body.size() + 1, -1);
      bc_.switchSmall.emplace_back();
      if (onLocal) Emit(kVmSwitchL, sel, table, static_cast<const VarE*>(n->selector)->ref.slot, n);
      else Emit(kVmSwitchT, sel, table, 0, n);
    } else {
      // The scan: case expressions in order, each compared with the selector; default stops the scan.
      const int cv = reg_++;
      for (size_t i = 0; i < n->body.size(); ++i) {
        if (n->isLabel[i] != 1) continue;
        const Expr* ce = n->caseExpr[i];
        if (!ce) {
          labelJumps[i] = Emit(kVmJmp);
          break;
        }
        Value(ce, cv);  // cv = sel + 1, where Jcase looks
        labelJumps[i] = Emit(kVmJcase, sel);
      }
      --reg_;
      Jump(kVmJmp, 0, nullptr, toEnd);
    }
    loops_.emplace_back();
    loops_.back().isSwitch = true;
    std::vector<int> starts(n->body.size(), -1);
    for (size_t i = 0; i < n->body.size(); ++i) {
      starts[i] = Here();  // running from label i starts after it: labels emit nothing
      if (n->isLabel[i] == 1) continue;
      if (n->isLabel[i] == 2) {
        Jump(kVmJmp, 0, nullptr, loops_.back().breaks);
        continue;
      }
      Statement(n->body[i]);
    }
    Loop l = std::move(loops_.back());
    loops_.pop_back();
    const int end = Here();
    Patch(l.breaks, end);
    Patch(toEnd, end);
    for (size_t i = 0; i < n->body.size(); ++i) {
      const int after = i + 1 < n->body.size() ? starts[i + 1] : end;
      if (table >= 0) bc_.switchTargets[table][i] = after;
      if (labelJumps[i] >= 0) SetTarget(labelJumps[i], after);
    }
    if (table >= 0) {
      bc_.switchTargets[table].back() = end;
      // Small non-negative integer selectors jump through their own table (a missing label: default or end).
      const std::vector<int>& t = bc_.switchTargets[table];
      SwitchTable& st = bc_.switchSmall[static_cast<size_t>(table)];
      const int fallback = n->firstDefault >= 0 ? t[static_cast<size_t>(n->firstDefault)] : t.back();
      for (int label : n->smallLabels) st.small.push_back(label >= 0 ? t[static_cast<size_t>(label)] : fallback);
      st.limit = static_cast<double>(st.small.size());
      st.other = n->realLabels.empty() ? fallback : -1;
    }
    --reg_;
  }

  Bytecode& bc_;
  std::vector<Loop> loops_;
  int reg_ = 0;  // the first free register at statement level (repeat counters and switch selectors hold theirs)
};

}  // namespace

std::unique_ptr<ExecTree> BuildExecTree(const SyntaxNode& root, bool isExpression, const std::vector<int>& localIds) {
  auto tree = std::make_unique<ExecTree>();
  tree->slotIds = localIds;
  Builder b(*tree);
  if (isExpression) tree->rootExpr = b.BuildExpr(root);
  else tree->rootStmt = b.BuildStmt(root);
  auto* bc = new Bytecode();
  tree->nodes.emplace_back(bc);
  tree->bytecode = bc;
  bc->nslots = static_cast<int>(localIds.size());
  VmCompiler vc(*bc);
  if (isExpression) vc.Expression(tree->rootExpr);
  else vc.Program(tree->rootStmt);
  return tree;
}

// ---- the interpreter loop ----
namespace {

// Stores a real with two plain stores when the old value holds no string reference (registers and slots are
// written on every instruction; the layout is RValue's: the double in bytes 0…7, the tag in byte 15).
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "PutReal writes the tag as the top byte of a word");
[[gnu::always_inline]] inline void PutReal(RValue& v, double d) {
  if (v.Tag() == RValue::kTagLong) {
    v.SetReal(d);
    return;
  }
  unsigned char* p = reinterpret_cast<unsigned char*>(&v);
  const uint64_t hi = uint64_t{RValue::kTagReal} << 56;
  std::memcpy(p, &d, 8);
  std::memcpy(p + 8, &hi, 8);
}
// RealFast with the constant of a BinKE. `x mod k` of a whole number x (|x| < 2^53) by a whole constant k ≥ 1
// takes integer steps: the quotient of the rounded division truncates exactly in that range, and the
// remainder in integers is the general formula's result, +0 included (x − x is +0 there too); every other
// case takes the general formula.
template <int OP>
[[gnu::always_inline]] inline bool RealFastK(double a, const BinKE* n, double& r) {
  if constexpr (OP == kOpMod) {
    if (n->kint > 0 && a > -9007199254740992.0 && a < 9007199254740992.0) {
      const int64_t i = static_cast<int64_t>(a);
      if (static_cast<double>(i) == a) {
        const int64_t q = static_cast<int64_t>(a / n->k);
        r = static_cast<double>(i - q * n->kint);
        return true;
      }
    }
  }
  return RealFast<OP>(a, n->k, r);
}
// Copies a value, inline for reals (the out-of-line copy is for strings).
[[gnu::always_inline]] inline void PutValue(RValue& dst, const RValue& src) {
  if (src.IsReal()) PutReal(dst, src.RealUnchecked());
  else dst = src;
}

// `x = value` for a `var` local: the value moves in from its register.
[[gnu::always_inline]] inline void StoreLocal(LocalSlot& s, RValue& v, int id) {
  if (v.IsReal()) PutReal(s.var.value, v.RealUnchecked());
  else s.var.value = std::move(v);
  s.present = true;
  s.var.id = id;
}

// Slow halves of the instructions, out of line so the loop stays small.
template <int OP>
__attribute__((noinline)) bool VmBinSlow(Ctx& c, RValue& dst, RValue left, const RValue& right, int errPos) {
  RValue out;
  if (!Combine<OP>(c, left, right, out, errPos)) return false;
  dst = std::move(out);
  return true;
}

__attribute__((noinline)) bool VmToIndex(Ctx& c, RValue& v, const Expr* e) {
  if (v.IsString()) return Err(c, e->pos, "Wrong type of array index");
  int64_t n = RoundToInt64(v.RealUnchecked());
  if (n < 0) return Err(c, e->pos, "Negative array index");
  if (n >= kArrayDim) return Err(c, e->pos, "Array index >= 32000");
  v.SetReal(static_cast<double>(n));
  return true;
}

// The right side in a register as the (kind, real, value) triple the assignment tails take.
inline int RhsOf(RValue& reg, double& v, RValue& slow) {
  if (reg.IsReal()) {
    v = reg.RealUnchecked();
    return kNumReal;
  }
  slow = std::move(reg);
  return kNumValue;
}

template <int OP>
int VmStLocal(const AssignS* n, Ctx& c, RValue& reg) {
  double v = 0;
  RValue slow;
  int r = RhsOf(reg, v, slow);
  return AssignLocalFinish<OP>(n, c, r, v, slow);
}
template <int OP>
int VmStLocalIdx(const AssignS* n, Ctx& c, int i, int j, RValue& reg) {
  double v = 0;
  RValue slow;
  int r = RhsOf(reg, v, slow);
  return AssignLocalIdxFinish<OP>(n, c, i, j, r, v, slow);
}
template <int OP>
int VmStPlain(const AssignS* n, Ctx& c, RValue& reg) {
  double v = 0;
  RValue slow;
  int r = RhsOf(reg, v, slow);
  return AssignPlainFinish<OP>(n, c, r, v, slow);
}

#define KV_VM_ASSIGN_OPS(X) X(0) X(kOpPlus) X(kOpMinus) X(kOpTimes) X(kOpDivide) X(kOpBitOr) X(kOpBitAnd) X(kOpBitXor)

// A built-in variable by plain name with a compound operator: the general assignment's second half.
__attribute__((noinline)) int VmStoreBuiltin(const AssignS* n, Ctx& c, RValue& reg) {
  switch (n->op) {
#define X(OPV) \
  case OPV: return AssignFinish<OPV>(n, c, kTargetPlain, 0, reg);
    KV_VM_ASSIGN_OPS(X)
#undef X
    default: return AssignFinish<0>(n, c, kTargetPlain, 0, reg);
  }
}
__attribute__((noinline)) int VmStoreLocal(const AssignS* n, Ctx& c, RValue& reg) {
  switch (n->op) {
#define X(OPV) \
  case OPV: return VmStLocal<OPV>(n, c, reg);
    KV_VM_ASSIGN_OPS(X)
#undef X
    default: return VmStLocal<0>(n, c, reg);
  }
}
__attribute__((noinline)) int VmStoreLocalIdx(const AssignS* n, Ctx& c, int i, int j, RValue& reg) {
  switch (n->op) {
#define X(OPV) \
  case OPV: return VmStLocalIdx<OPV>(n, c, i, j, reg);
    KV_VM_ASSIGN_OPS(X)
#undef X
    default: return VmStLocalIdx<0>(n, c, i, j, reg);
  }
}
__attribute__((noinline)) int VmStorePlain(const AssignS* n, Ctx& c, RValue& reg) {
  switch (n->op) {
#define X(OPV) \
  case OPV: return VmStPlain<OPV>(n, c, reg);
    KV_VM_ASSIGN_OPS(X)
#undef X
    default: return VmStPlain<0>(n, c, reg);
  }
}

__attribute__((noinline)) bool VmLoadLocalIdx(Ctx& c, const VarE* e, int i, int j, RValue& out) {
  const VarRef& v = e->ref;
  const LocalSlot& s = c.slots[v.slot];
  const RValue* cell = s.present ? s.var.Find2(i, j) : nullptr;
  if (cell) {
    out = *cell;
    return true;
  }
  return NotFound(v, c, int64_t(i) * kArrayDim + j, out);
}

// LoadLIdxL off its fast path: the indices one by one as IdxL takes them (errors in order), then the read.
__attribute__((noinline)) bool VmLoadLocalIdxSlow(Ctx& c, const VarE* e, RValue* regs) {
  const VarRef& v = e->ref;
  for (int k = 0; k < v.nidx; ++k)
    if (!EvalLocal(v.idx[k], c, regs[k]) || !VmToIndex(c, regs[k], v.idx[k])) return false;
  const int i = v.nidx == 2 ? static_cast<int>(regs[0].RealUnchecked()) : 0;
  const int j = static_cast<int>(regs[v.nidx - 1].RealUnchecked());
  const LocalSlot& s = c.slots[v.slot];
  const RValue* cell = s.present ? s.var.Find2(i, j) : nullptr;
  if (cell) {
    regs[0] = *cell;
    return true;
  }
  return VmLoadLocalIdx(c, e, i, j, regs[0]);
}

__attribute__((noinline)) bool VmUnary(Ctx& c, const UnaryE* n, RValue& reg) {
  RValue out;
  const char* err = ApplyUnary(n->op, reg, out);
  if (err) return Err(c, n->a->pos, err);
  reg = std::move(out);
  return true;
}

// Moves n argument registers into a call's staging slots.
inline void StageArgs(RValue* stage, RValue* regs, int n) {
  for (int i = 0; i < n; ++i) stage[i] = std::move(regs[i]);
}

// Moves argc argument registers into the staging slots at stage (real 0 while unused: reals and inline
// strings are plain copies) and reserves them.
[[gnu::always_inline]] inline void PushStage(RValue* stage, RValue* args, int argc) {
  for (int i = 0; i < argc; ++i) {
    std::memcpy(static_cast<void*>(stage + i), static_cast<const void*>(args + i), sizeof(RValue));
    if (args[i].Tag() == RValue::kTagLong) ::new (static_cast<void*>(args + i)) RValue();
  }
  g_args.top = stage + kArgumentSlots;
}
// Puts staging slots back to real 0 (the call's own and any written through CurrentArguments) and pops them.
[[gnu::always_inline]] inline void PopStage(RValue* stage, int argc) {
  uint8_t& d = g_args.dirty[static_cast<size_t>(stage - g_args.store) / kArgumentSlots];
  const int n = argc > d ? argc : d;
  d = 0;
  for (RValue *p = stage, *e = stage + n; p != e; ++p) PutReal(*p, 0.0);
  g_args.top = stage;
}

__attribute__((noinline)) bool VmCallBuiltin(Ctx& c, const CallE* n, RValue* args, int argc, RValue& out) {
  RValue* const stage = g_args.top;
  if (stage + kArgumentSlots > g_args.end) return Err(c, n->pos, kStackOverflowMessage);
  PushStage(stage, args, argc);
  struct Pop {
    RValue* stage;
    int argc;
    ~Pop() { PopStage(stage, argc); }
  } pop{stage, argc};
  PutReal(out, 0.0);  // out may be the first argument register, moved from above
  n->fn(out, c.self, c.other, argc, stage);
  return true;
}

__attribute__((noinline)) bool VmCallScript(Ctx& c, const CallE* n, RValue* args, int argc, RValue& out) {
  if (!StageGuard::Room()) return Err(c, n->pos, kStackOverflowMessage);
  StageGuard g(argc);
  StageArgs(g.stage, args, argc);
  const int index = n->id - kScriptIdBase;
  if (n->scriptGen != ScriptTableGeneration()) {
    n->script = ScriptCode(index);
    n->scriptGen = ScriptTableGeneration();
  }
  // What the loop's own call needs (a script compiled later is seen here first).
  const CCode* code = n->script;
  n->vm = code && code->Compiled() && code->IsProgram() ? code->Tree()->bytecode : nullptr;
  return CallScriptFrame(code, index, c, g.stage, out, n->pos);
}

// Script calls inside the loop. A call of a compiled program that runs as bytecode, with room on the argument
// and register stacks and within the depth limit, does not recurse on the native stack: the loop saves where
// it was in a VmFrame and continues in the script, and the script's end pops the frame and resumes the caller.
// It does what VmCallScript, CallScriptFrame, RunScriptCode and RunTree do together, in the same order and with
// the same results; every other case (an empty or replaced slot, an uncompiled script, too deep a recursion,
// the tree interpreter) takes that general path, which reports it.
struct VmFrame {
  Ctx ctx;              // the script's
  Ctx* caller;          // the caller's context, code, call instruction and registers
  const Bytecode* bc;
  const Ins* retI;
  RValue* R;
  RValue* savedFrame;   // the caller's argument frame
  size_t markChunk, markUsed;
  int argc;
};

// One frame per script level; the depth limit bounds them.
struct VmFrameStack {
  VmFrame* store = nullptr;
  int top = 0;
  void Ready() {
    if (!store) store = new VmFrame[kMaxRunDepth + 1]();
  }
};
VmFrameStack g_vmFrames;

// Puts the stacks back as they were before the top frame's call (the script's registers and locals, the depth,
// the argument frame and the staging slots) and pops the frame; bc is the script's bytecode.
[[gnu::always_inline]] inline void PopVmFrame(const Bytecode* bc) {
  VmFrame& f = g_vmFrames.store[--g_vmFrames.top];
  const size_t nregs = static_cast<size_t>(bc->nregs);
  g_regs.top -= nregs;
  for (RValue *p = g_regs.store + g_regs.top, *e = p + nregs; p != e; ++p)
    if (p->Tag() == RValue::kTagLong) p->SetReal(0.0);  // drop string references; the rest may stay
  if (bc->nslots > 0) g_locals.Release(f.ctx.slots, bc->nslots, f.markChunk, f.markUsed);
  if (f.ctx.dynLocals) f.ctx.dynLocals.reset();
  --g_depth;
  RValue* const stage = g_args.frame;
  g_args.frame = f.savedFrame;
  // The usual call of one argument whose slots the script never wrote otherwise: only that slot goes back to 0.
  if (f.argc == 1 && g_args.dirty[static_cast<size_t>(stage - g_args.store) / kArgumentSlots] == 0) {
    PutReal(stage[0], 0.0);
    g_args.top = stage;
  } else {
    PopStage(stage, f.argc);
  }
}

// A script run by the loop failed: its value and message, as the general call leaves them.
__attribute__((noinline)) void ScriptCallFailed(const CallE* n, RValue& out) {
  out = RValue("ERROR");
  const int index = n->id - kScriptIdBase;
  if (PendingMessage().size() < 16384) SetPendingMessage("In script " + ScriptName(index) + ":\r" + PendingMessage());
}

__attribute__((noinline)) bool VmCallExtension(Ctx& c, const CallE* n, RValue* args, int argc, RValue& out) {
  if (!StageGuard::Room()) return Err(c, n->pos, kStackOverflowMessage);
  StageGuard g(kArgumentSlots);
  StageArgs(g.stage, args, argc);
  const ExtensionFunctionHooks& h = GetExtensionFunctionHooks();
  out.SetReal(0.0);
  if (!h.call) return false;
  return h.call(n->id - kExtensionIdBase, c.self, c.other, argc, g.stage, out);
}

int RunVM(const Bytecode& bc, Ctx& c, RValue* R);

// A with statement whose target is evaluated: the body's bytecode for each instance, with registers of its own.
__attribute__((noinline)) int VmWith(Ctx& c, const WithS* n, const Bytecode& body, const RValue& target) {
  RegFrame regs(body.nregs);
  if (!regs.r) {
    Err(c, n->pos, kStackOverflowMessage);
    return kStatusError;
  }
  return WithLoop(n, c, target, [&] { return RunVM(body, c, regs.r); });
}

// The condition of a jump that is not a real: the loop's message, or the pending error.
__attribute__((noinline)) int VmCondError(Ctx& c, const Expr* cond, const char* msg) {
  Err(c, cond->pos, msg);
  return kStatusError;
}

// A comparison with a constant whose left side is not a real: the general operator (its error or result).
__attribute__((noinline)) bool VmCompareSlow(Ctx& c, const BinKE* n, RValue& l, bool& holds) {
  RValue out;
  bool ok;
  switch (n->op) {
    case kOpLess: ok = Combine<kOpLess>(c, l, RValue(n->k), out, n->kpos); break;
    case kOpLessEq: ok = Combine<kOpLessEq>(c, l, RValue(n->k), out, n->kpos); break;
    case kOpGreater: ok = Combine<kOpGreater>(c, l, RValue(n->k), out, n->kpos); break;
    case kOpGreaterEq: ok = Combine<kOpGreaterEq>(c, l, RValue(n->k), out, n->kpos); break;
    case kOpNotEqual: ok = Combine<kOpNotEqual>(c, l, RValue(n->k), out, n->kpos); break;
    case kTokAssign: ok = Combine<kTokAssign>(c, l, RValue(n->k), out, n->kpos); break;
    default: ok = Combine<kOpEqual>(c, l, RValue(n->k), out, n->kpos); break;
  }
  holds = ok && IsTrue(out.Real());  // comparisons give 0 or 1
  return ok;
}

[[gnu::always_inline]] inline bool CompareFast(int op, double a, double b) {
  switch (op) {
    case kOpLess: return a < b;
    case kOpLessEq: return a <= b;
    case kOpGreater: return a > b;
    case kOpGreaterEq: return a >= b;
    case kOpNotEqual: return a != b;
    default: return a == b;  // = and ==
  }
}

// Runs bytecode; returns the status of the run (ok, error, exit, or a break/continue that ended it).
// The indices of an indexed local, already evaluated into registers: [j] or [i, j] (reals truncated, as arrays
// take them).
inline void LocalIndices(const RValue* idx, int count, int& i, int& j) {
  i = count == 2 ? static_cast<int>(idx[0].RealUnchecked()) : 0;
  j = static_cast<int>(idx[count == 2 ? 1 : 0].RealUnchecked());
}

int RunVMLoop(const Bytecode& bc, Ctx& c, RValue* R, int entry) {
  static const void* const kLabels[kVmOpCount] = {
#define X(name) &&L_##name,
      KV_VM_PLAIN_OPS(X)
#undef X
#define X(name, opc) &&L_RR##name, &&L_RK##name, &&L_LK##name, &&L_AK##name, &&L_LL##name,
      KV_VM_BINOPS(X)
#undef X
#define X(name, opc) &&L_Jlk##name, &&L_Jak##name, &&L_Jrk##name,
      KV_VM_CMPS(X)
#undef X
#define X(name) &&L_##name,
      KV_VM_LATE_OPS(X)
#undef X
  };
  const Bytecode* B = &bc;
  Ctx* C = &c;
  const Ins* I = bc.code.data();
  LocalSlot* L = c.slots;
  // The running instance: script calls made in this loop keep it, and a with statement restores it before its
  // instruction ends, so it stays the same for the whole loop and is read from here, not through C.
  CInstance* const S = c.self;
  int st_ = kStatusOk;
#define KV_NEXT goto* kLabels[(++I)->op]
#define KV_JUMP(t)               \
  do {                           \
    I = B->code.data() + (t);    \
    goto* kLabels[I->op];        \
  } while (0)
#define KV_BRANCH()              \
  do {                           \
    I += BranchOf(*I);           \
    goto* kLabels[I->op];        \
  } while (0)
#define KV_NODE(T) static_cast<const T*>(I->p)
#define KV_FINISH(x) \
  do {               \
    st_ = (x);       \
    goto finish;     \
  } while (0)
  goto* kLabels[I->op];

L_LoadK:
  PutValue(R[I->a], KV_NODE(ConstE)->value);
  KV_NEXT;
L_LoadL: {
  const LocalSlot& s = L[I->b];
  if (s.present) PutValue(R[I->a], s.var.value);
  else if (!EvalLocal(KV_NODE(Expr), *C, R[I->a])) goto error;
  KV_NEXT;
}
L_LoadA:
  PutValue(R[I->a], g_args.frame[I->b]);
  KV_NEXT;
L_LoadP: {
  const VarE* e = KV_NODE(VarE);
  if (!IsDeclaredGlobal(e->ref.id))
    if (RVariable* var = S->locals.FindHinted(e->ref.id, e->ref.hint)) {
      PutValue(R[I->a], var->value);
      KV_NEXT;
    }
  if (!EvalPlain(e, *C, R[I->a])) goto error;
  KV_NEXT;
}
L_LoadB: {  // as EvalBuiltinPlain: the entry's read on the running instance, index 0
  const VarE* e = KV_NODE(VarE);
  const RBuiltinVariable* b = GetBuiltinVariable(e->ref.id);
  if (b && b->read && b->read(S, 0, R[I->a])) KV_NEXT;
  if (!NotFound(e->ref, *C, 0, R[I->a])) goto error;
  KV_NEXT;
}
L_LoadLIdx: {
  const VarE* e = KV_NODE(VarE);
  int i, j;
  LocalIndices(R + I->c, e->ref.nidx, i, j);
  const LocalSlot& s = L[I->b];
  const RValue* cell = s.present ? s.var.Find2(i, j) : nullptr;
  if (cell) PutValue(R[I->a], *cell);
  else if (!VmLoadLocalIdx(*C, e, i, j, R[I->a])) goto error;
  KV_NEXT;
}
L_ToIdx: {
  RValue& v = R[I->a];
  if (v.IsReal()) {
    double d = v.RealUnchecked();
    if (d >= 0 && d < kArrayDim && static_cast<double>(static_cast<int64_t>(d)) == d) KV_NEXT;
  }
  if (!VmToIndex(*C, v, KV_NODE(Expr))) goto error;
  KV_NEXT;
}
L_LoadLIdxL: {  // IdxL for each index, then LoadLIdx, when every index reads as a whole number in range
  const VarE* e = KV_NODE(VarE);
  const LocalSlot& sj = L[I->c];
  const LocalSlot& si = e->ref.nidx == 2 ? L[static_cast<const VarE*>(e->ref.idx[0])->ref.slot] : sj;
  if (si.present && sj.present && si.var.value.IsReal() && sj.var.value.IsReal()) {
    const double di = e->ref.nidx == 2 ? si.var.value.RealUnchecked() : 0.0;
    const double dj = sj.var.value.RealUnchecked();
    if (di >= 0 && di < kArrayDim && dj >= 0 && dj < kArrayDim) {
      const int i = static_cast<int>(di), j = static_cast<int>(dj);
      if (static_cast<double>(i) == di && static_cast<double>(j) == dj) {
        const LocalSlot& s = L[I->b];
        const RValue* cell = s.present ? s.var.Find2(i, j) : nullptr;
        if (cell) PutValue(R[I->a], *cell);
        else if (!VmLoadLocalIdx(*C, e, i, j, R[I->a])) goto error;
        KV_NEXT;
      }
    }
  }
  if (!VmLoadLocalIdxSlow(*C, e, R + I->a)) goto error;
  KV_NEXT;
}
L_IdxL: {
  const LocalSlot& s = L[I->b];
  if (s.present && s.var.value.IsReal()) {
    double d = s.var.value.RealUnchecked();
    if (d >= 0 && d < kArrayDim && static_cast<double>(static_cast<int64_t>(d)) == d) {
      PutReal(R[I->a], d);
      KV_NEXT;
    }
  }
  if (!EvalLocal(KV_NODE(Expr), *C, R[I->a]) || !VmToIndex(*C, R[I->a], KV_NODE(Expr))) goto error;
  KV_NEXT;
}
L_Eval: {
  const Expr* e = KV_NODE(Expr);
  if (!e->eval(e, *C, R[I->a])) goto error;
  KV_NEXT;
}
L_Neg: {
  RValue& v = R[I->a];
  if (!v.IsReal()) KV_FINISH(VmCondError(*C, KV_NODE(UnaryE)->a, "Wrong type of arguments to unary operator."));
  v.SetReal(-v.RealUnchecked());
  KV_NEXT;
}
L_Unary:
  if (!VmUnary(*C, KV_NODE(UnaryE), R[I->a])) goto error;
  KV_NEXT;
L_CallB:
  if (!VmCallBuiltin(*C, KV_NODE(CallE), R + I->b, I->c, R[I->a])) goto error;
  KV_NEXT;
L_CallR1: {  // a built-in's real form when its argument is a real, else the general call
  const RValue& x = R[I->b];
  if (x.IsReal()) {
    PutReal(R[I->a], KV_NODE(CallE)->real.one(x.RealUnchecked()));
    KV_NEXT;
  }
  if (!VmCallBuiltin(*C, KV_NODE(CallE), R + I->b, 1, R[I->a])) goto error;
  KV_NEXT;
}
L_CallR1L: {  // CallR1 of a `var` local read in place; off the fast path, LoadL then the general call
  const LocalSlot& s = L[I->b];
  if (s.present && s.var.value.IsReal()) {
    PutReal(R[I->a], KV_NODE(CallE)->real.one(s.var.value.RealUnchecked()));
    KV_NEXT;
  }
  const CallE* n = KV_NODE(CallE);
  if (s.present) PutValue(R[I->a], s.var.value);
  else if (!EvalLocal(n->args[0], *C, R[I->a])) goto error;
  if (!VmCallBuiltin(*C, n, R + I->a, 1, R[I->a])) goto error;
  KV_NEXT;
}
L_CallR2: {
  const RValue& x = R[I->b];
  const RValue& y = R[I->b + 1];
  if (x.IsReal() && y.IsReal()) {
    PutReal(R[I->a], KV_NODE(CallE)->real.two(x.RealUnchecked(), y.RealUnchecked()));
    KV_NEXT;
  }
  if (!VmCallBuiltin(*C, KV_NODE(CallE), R + I->b, 2, R[I->a])) goto error;
  KV_NEXT;
}
L_CallRN: {
  const RValue* const args = R + I->b;
  const int argc = I->c;
  double x[kMaxCallArgs];
  int k = 0;
  for (; k < argc && args[k].IsReal(); ++k) x[k] = args[k].RealUnchecked();
  if (k == argc) {
    PutReal(R[I->a], KV_NODE(CallE)->real.many(x, argc));
    KV_NEXT;
  }
  if (!VmCallBuiltin(*C, KV_NODE(CallE), R + I->b, argc, R[I->a])) goto error;
  KV_NEXT;
}
L_CallS: {
  // A compiled program run as bytecode continues in this loop with a frame of its own (see VmFrame); every
  // other case takes the general call, which reports what is wrong.
  const CallE* n = KV_NODE(CallE);
  if (n->scriptGen == ScriptTableGeneration() && n->vm && !g_treeInterpreter) {
    const Bytecode* cb = n->vm;
    const CCode* code = n->script;
    RValue* const stage = g_args.top;
    const int nregs = cb->nregs;
    if (stage + kArgumentSlots <= g_args.end && g_depth < kMaxRunDepth &&
        g_regs.top + static_cast<size_t>(nregs) <= kRegStackSize) {
      const int argc = I->c;
      if (argc == 1) PushStage(stage, R + I->b, 1);  // the usual case, without the loop
      else PushStage(stage, R + I->b, argc);
      VmFrame& f = g_vmFrames.store[g_vmFrames.top++];
      f.savedFrame = g_args.frame;
      f.argc = argc;
      g_args.frame = stage;
      ++g_depth;
      RValue* const regs = g_regs.store + g_regs.top;
      g_regs.top += static_cast<size_t>(nregs);
      LocalSlot* slots = nullptr;
      if (cb->nslots > 0) slots = g_locals.Alloc(cb->nslots, f.markChunk, f.markUsed);
      RValue& out = R[I->a];
      PutReal(out, 0.0);
      ClearErrorPending();
      f.bc = B;
      f.retI = I;
      f.R = R;
      f.caller = C;
      f.ctx.self = S;
      f.ctx.other = C->other;
      f.ctx.slots = slots;
      f.ctx.code = code;
      f.ctx.tree = code->Tree();
      f.ctx.result = &out;
      C = &f.ctx;
      B = cb;
      I = cb->code.data();
      R = regs;
      L = slots;
      goto* kLabels[I->op];
    }
  }
  if (!VmCallScript(*C, n, R + I->b, I->c, R[I->a])) goto error;
  KV_NEXT;
}
L_CallX:
  if (!VmCallExtension(*C, KV_NODE(CallE), R + I->b, I->c, R[I->a])) goto error;
  KV_NEXT;
L_Exec: {
  const Stmt* s = KV_NODE(Stmt);
  int st = s->exec(s, *C);
  if (st == kStatusOk) KV_NEXT;
  const EscapeTargets& t = B->escapes[I->a];
  if (st == kStatusBreak && t.brk >= 0) KV_JUMP(t.brk);
  if (st == kStatusContinue && t.cont >= 0) KV_JUMP(t.cont);
  KV_FINISH(st);
}
L_With: {
  const int st = VmWith(*C, KV_NODE(WithS), *B->subs[I->b], R[I->a]);
  if (st == kStatusOk) KV_NEXT;
  KV_FINISH(st);
}
L_IncL: {
  LocalSlot& s = L[I->a];
  if (s.present && s.var.value.IsReal()) {
    const double k = KV_NODE(AssignS)->k;
    PutReal(s.var.value, CheckFinite(I->c ? s.var.value.RealUnchecked() - k : s.var.value.RealUnchecked() + k));
    KV_NEXT;
  }
  const Stmt* st = KV_NODE(Stmt);
  if (st->exec(st, *C) != kStatusOk) goto error;
  KV_NEXT;
}
L_StL0:
  StoreLocal(L[I->b], R[I->a], KV_NODE(AssignS)->ref.id);
  KV_NEXT;
L_StLAdd: {
  LocalSlot& s = L[I->b];
  RValue& v = R[I->a];
  if (s.present && s.var.value.IsReal() && v.IsReal()) {
    PutReal(s.var.value, CheckFinite(s.var.value.RealUnchecked() + v.RealUnchecked()));
    KV_NEXT;
  }
  if (VmStLocal<kOpPlus>(KV_NODE(AssignS), *C, v) != kStatusOk) goto error;
  KV_NEXT;
}
L_AddRRL: {  // RRPlus into register a, then StLAdd of it: `x += p + q`, p and q in registers a and a + 1
  LocalSlot& s = L[I->b];
  RValue& p = R[I->a];
  const RValue& q = R[I->a + 1];
  if (p.IsReal() && q.IsReal() && s.present && s.var.value.IsReal()) {
    const double sum = CheckFinite(p.RealUnchecked() + q.RealUnchecked());
    PutReal(s.var.value, CheckFinite(s.var.value.RealUnchecked() + sum));
    KV_NEXT;
  }
  const AssignS* n = KV_NODE(AssignS);
  double v;
  if (p.IsReal() && q.IsReal() && RealFast<kOpPlus>(p.RealUnchecked(), q.RealUnchecked(), v)) {
    PutReal(p, v);
  } else if (!VmBinSlow<kOpPlus>(*C, p, std::move(p), q, static_cast<const BinE*>(n->rhs)->r->pos)) {
    goto error;
  }
  if (VmStLocal<kOpPlus>(n, *C, p) != kStatusOk) goto error;
  KV_NEXT;
}
L_AddLL: {  // StLAdd with the right side read from local slot c in place
  LocalSlot& d = L[I->b];
  const LocalSlot& r = L[I->c];
  if (d.present && r.present && d.var.value.IsReal() && r.var.value.IsReal()) {
    PutReal(d.var.value, CheckFinite(d.var.value.RealUnchecked() + r.var.value.RealUnchecked()));
    KV_NEXT;
  }
  const AssignS* n = KV_NODE(AssignS);
  if (!EvalLocal(n->rhs, *C, R[I->a])) goto error;
  if (VmStLocal<kOpPlus>(n, *C, R[I->a]) != kStatusOk) goto error;
  KV_NEXT;
}
L_StL:
  if (VmStoreLocal(KV_NODE(AssignS), *C, R[I->a]) != kStatusOk) goto error;
  KV_NEXT;
L_StLIdx: {
  const AssignS* n = KV_NODE(AssignS);
  int i, j;
  LocalIndices(R + I->c, n->ref.nidx, i, j);
  if (n->op == 0 && R[I->a].IsReal()) {
    LocalSlot& s = L[I->b];
    PutReal(s.var.Cell2(i, j), R[I->a].RealUnchecked());
    s.present = true;
    s.var.id = n->ref.id;
    KV_NEXT;
  }
  if (VmStoreLocalIdx(n, *C, i, j, R[I->a]) != kStatusOk) goto error;
  KV_NEXT;
}
L_StP0: {
  const AssignS* n = KV_NODE(AssignS);
  RValue& v = R[I->a];
  if (v.IsReal() && !IsDeclaredGlobal(n->ref.id))
    if (RVariable* var = S->locals.FindHinted(n->ref.id, n->ref.hint)) {
      PutReal(var->value, v.RealUnchecked());
      KV_NEXT;
    }
  if (VmStPlain<0>(n, *C, v) != kStatusOk) goto error;
  KV_NEXT;
}
L_StP: {
  const AssignS* n = KV_NODE(AssignS);
  RValue& v = R[I->a];
  if (n->op == kOpPlus && v.IsReal() && !IsDeclaredGlobal(n->ref.id))
    if (RVariable* var = S->locals.FindHinted(n->ref.id, n->ref.hint); var && var->value.IsReal()) {
      PutReal(var->value, CheckFinite(var->value.RealUnchecked() + v.RealUnchecked()));
      KV_NEXT;
    }
  if (VmStorePlain(n, *C, v) != kStatusOk) goto error;
  KV_NEXT;
}
L_StB: {  // `=` writes through the entry as the general assignment does; compound operators take its whole path
  const AssignS* n = KV_NODE(AssignS);
  if (n->op == 0) {
    const RBuiltinVariable* b = GetBuiltinVariable(n->ref.id);
    if (b && b->write && b->write(S, 0, R[I->a])) KV_NEXT;
    Err(*C, n->ref.pos, "Cannot assign to the variable");
    goto error;
  }
  if (VmStoreBuiltin(n, *C, R[I->a]) != kStatusOk) goto error;
  KV_NEXT;
}
L_Jmp:
  KV_BRANCH();
L_Jif: {
  const RValue& v = R[I->a];
  if (!v.IsReal()) KV_FINISH(VmCondError(*C, KV_NODE(Expr), "Expression expected"));
  if (v.RealUnchecked() > 0.5) KV_NEXT;  // `if` alone needs more than 0.5
  KV_BRANCH();
}
L_Jwf: {
  const RValue& v = R[I->a];
  if (!v.IsReal()) KV_FINISH(VmCondError(*C, KV_NODE(Expr), "Expression expected"));
  if (IsTrue(v.RealUnchecked())) KV_NEXT;
  KV_BRANCH();
}
L_Jwb: {
  const RValue& v = R[I->a];
  if (!v.IsReal()) KV_FINISH(VmCondError(*C, KV_NODE(Expr), "Boolean expression expected"));
  if (IsTrue(v.RealUnchecked())) KV_NEXT;
  KV_BRANCH();
}
L_Jdo: {  // do … until: back to the body while the condition is false
  const RValue& v = R[I->a];
  if (!v.IsReal()) KV_FINISH(VmCondError(*C, KV_NODE(Expr), "Boolean expression expected"));
  if (IsTrue(v.RealUnchecked())) KV_NEXT;
  KV_BRANCH();
}
L_RepInit: {
  RValue& v = R[I->a];
  if (!v.IsReal()) KV_FINISH(VmCondError(*C, KV_NODE(Expr), "Repeat count must be a number"));
  v.SetReal(static_cast<double>(RoundToInt64(v.RealUnchecked())));  // rounded once
  KV_NEXT;
}
L_RepNext: {
  RValue& v = R[I->a];
  const double left = v.RealUnchecked();
  if (left < 1) KV_BRANCH();
  v.SetReal(left - 1);
  KV_NEXT;
}
L_ForTest: {
  const ForLocalS* n = KV_NODE(ForLocalS);
  const LocalSlot& s = L[I->a];
  bool holds;
  if (s.present && s.var.value.IsReal()) {
    holds = CompareFast(n->cmp, s.var.value.RealUnchecked(), n->limit);
  } else {
    double v;
    RValue slow;
    int st = n->cond->num(n->cond, *C, v, slow);
    if (st == kNumError) goto error;
    if (st == kNumValue) KV_FINISH(VmCondError(*C, n->cond, "Expression expected"));
    holds = IsTrue(v);
  }
  if (holds) KV_NEXT;
  KV_BRANCH();
}
L_ForLoopLt: {  // ForLoop for the usual `i < limit`
  const ForLocalS* n = KV_NODE(ForLocalS);
  LocalSlot& s = L[I->a];
  if (s.present && s.var.value.IsReal()) {
    const double v = CheckFinite(s.var.value.RealUnchecked() + n->stepBy);
    PutReal(s.var.value, v);
    if (v < n->limit) KV_BRANCH();
    KV_NEXT;
  }
  goto for_loop_general;
}
L_ForLoop: {  // the step, then the test; jumps back to the body while it holds
  const ForLocalS* n = KV_NODE(ForLocalS);
  LocalSlot& s = L[I->a];
  if (s.present && s.var.value.IsReal()) {
    const double v = CheckFinite(s.var.value.RealUnchecked() + n->stepBy);
    PutReal(s.var.value, v);
    if (CompareFast(n->cmp, v, n->limit)) KV_BRANCH();
    KV_NEXT;
  }
}
for_loop_general: {  // a step or test that is not real-real: the general path
  const ForLocalS* n = KV_NODE(ForLocalS);
  LocalSlot& s = L[I->a];
  int st = n->step->exec(n->step, *C);
  if (st != kStatusOk) KV_FINISH(st);
  bool holds;
  if (s.present && s.var.value.IsReal()) {
    holds = CompareFast(n->cmp, s.var.value.RealUnchecked(), n->limit);
  } else {
    double v;
    RValue slow;
    int r = n->cond->num(n->cond, *C, v, slow);
    if (r == kNumError) goto error;
    if (r == kNumValue) KV_FINISH(VmCondError(*C, n->cond, "Expression expected"));
    holds = IsTrue(v);
  }
  if (holds) KV_BRANCH();
  KV_NEXT;
}
L_RetAdd: {  // RRPlus into register a, then Ret
  RValue& p = R[I->a];
  const RValue& q = R[I->a + 1];
  double v;
  if (p.IsReal() && q.IsReal() && RealFast<kOpPlus>(p.RealUnchecked(), q.RealUnchecked(), v)) {
    PutReal(*C->result, v);
    KV_FINISH(kStatusExit);
  }
  if (!VmBinSlow<kOpPlus>(*C, p, std::move(p), q, KV_NODE(BinE)->r->pos)) goto error;
}
L_Ret: {
  RValue& v = R[I->a];
  if (v.IsReal()) PutReal(*C->result, v.RealUnchecked());
  else *C->result = std::move(v);
}
  KV_FINISH(kStatusExit);
L_RetSt:
  KV_FINISH(static_cast<int16_t>(I->a));
L_End:
  KV_FINISH(kStatusOk);
L_SwitchL: {  // SwitchT with the selector in local slot c: read there, or loaded into register a first
  const LocalSlot& s = L[I->c];
  if (s.present && s.var.value.IsReal()) {
    const int t = B->switchSmall[I->b].Target(s.var.value.RealUnchecked());
    if (t >= 0) KV_JUMP(t);
  }
  if (!EvalLocal(KV_NODE(SwitchS)->selector, *C, R[I->a])) goto error;
  goto switch_lookup;
}
L_SwitchT: {
  const RValue& sel = R[I->a];
  if (sel.IsReal()) {
    const int t = B->switchSmall[I->b].Target(sel.RealUnchecked());
    if (t >= 0) KV_JUMP(t);
  }
}
switch_lookup: {
  const SwitchS* n = KV_NODE(SwitchS);
  const RValue& sel = R[I->a];
  int found = sel.IsReal() ? n->LookupReal(sel.RealUnchecked()) : n->Lookup(sel);
  if (found < 0) found = n->firstDefault;
  const std::vector<int>& targets = B->switchTargets[I->b];
  KV_JUMP(found >= 0 ? targets[static_cast<size_t>(found)] : targets.back());
}
L_Jcase: {
  const RValue& sel = R[I->a];
  const RValue& v = R[I->a + 1];
  if (v.IsReal() == sel.IsReal() && v == sel) KV_BRANCH();
  KV_NEXT;
}

  // ---- binary operators: register-register, register-constant, local-constant, argument-constant ----
#define X(name, OPC)                                                                               \
  L_RR##name: {                                                                                    \
    RValue& l = R[I->b];                                                                           \
    const RValue& r = R[I->c];                                                                     \
    double v;                                                                                      \
    if (l.IsReal() && r.IsReal() && RealFast<OPC>(l.RealUnchecked(), r.RealUnchecked(), v)) {      \
      PutReal(R[I->a], v);                                                                          \
      KV_NEXT;                                                                                     \
    }                                                                                              \
    if (!VmBinSlow<OPC>(*C, R[I->a], std::move(l), r, KV_NODE(BinE)->r->pos)) goto error;          \
    KV_NEXT;                                                                                       \
  }                                                                                                \
  L_RK##name: {                                                                                    \
    const BinKE* n = KV_NODE(BinKE);                                                               \
    RValue& l = R[I->b];                                                                           \
    double v;                                                                                      \
    if (l.IsReal() && RealFastK<OPC>(l.RealUnchecked(), n, v)) {                                     \
      PutReal(R[I->a], v);                                                                          \
      KV_NEXT;                                                                                     \
    }                                                                                              \
    if (!VmBinSlow<OPC>(*C, R[I->a], std::move(l), RValue(n->k), n->kpos)) goto error;              \
    KV_NEXT;                                                                                       \
  }                                                                                                \
  L_LK##name: {                                                                                    \
    const BinKE* n = KV_NODE(BinKE);                                                               \
    const LocalSlot& s = L[I->b];                                                                  \
    double v;                                                                                      \
    if (s.present && s.var.value.IsReal() && RealFastK<OPC>(s.var.value.RealUnchecked(), n, v)) {     \
      PutReal(R[I->a], v);                                                                          \
      KV_NEXT;                                                                                     \
    }                                                                                              \
    if (!n->eval(n, *C, R[I->a])) goto error;                                                       \
    KV_NEXT;                                                                                       \
  }                                                                                                \
  L_AK##name: {                                                                                    \
    const BinKE* n = KV_NODE(BinKE);                                                               \
    const RValue& a = g_args.frame[I->b];                                                          \
    double v;                                                                                      \
    if (a.IsReal() && RealFastK<OPC>(a.RealUnchecked(), n, v)) {                                     \
      PutReal(R[I->a], v);                                                                          \
      KV_NEXT;                                                                                     \
    }                                                                                              \
    if (!n->eval(n, *C, R[I->a])) goto error;                                                       \
    KV_NEXT;                                                                                       \
  }                                                                                                \
  L_LL##name: { /* register a is the temporary off the fast path */                                \
    const AssignS* as = KV_NODE(AssignS);                                                          \
    const BinKE* n = static_cast<const BinKE*>(as->rhs);                                           \
    const LocalSlot& s = L[I->b];                                                                  \
    double v;                                                                                      \
    if (s.present && s.var.value.IsReal() && RealFastK<OPC>(s.var.value.RealUnchecked(), n, v)) {     \
      LocalSlot& d = L[I->c];                                                                      \
      PutReal(d.var.value, v);                                                                     \
      d.present = true;                                                                            \
      d.var.id = as->ref.id;                                                                       \
      KV_NEXT;                                                                                     \
    }                                                                                              \
    if (!n->eval(n, *C, R[I->a])) goto error;                                                      \
    StoreLocal(L[I->c], R[I->a], as->ref.id);                                                      \
    KV_NEXT;                                                                                       \
  }
  KV_VM_BINOPS(X)
#undef X

  // ---- compare with a constant and branch: local slot, argument slot, register ----
#define X(name, OPC)                                                                               \
  L_Jlk##name: {                                                                                   \
    const LocalSlot& s = L[I->a];                                                                  \
    bool holds;                                                                                    \
    if (s.present && s.var.value.IsReal()) {                                                       \
      holds = CompareFast(OPC, s.var.value.RealUnchecked(), KV_NODE(BinKE)->k);                    \
    } else {                                                                                       \
      const BinKE* n = KV_NODE(BinKE);                                                             \
      RValue v;                                                                                    \
      if (!n->eval(n, *C, v)) goto error;                                                          \
      holds = IsTrue(v.Real()); /* comparisons give 0 or 1 */                                      \
    }                                                                                              \
    if (holds) KV_NEXT;                                                                            \
    KV_BRANCH();                                                                                   \
  }                                                                                                \
  L_Jak##name: {                                                                                   \
    const RValue& a = g_args.frame[I->a];                                                          \
    if (a.IsReal()) {                                                                              \
      if (CompareFast(OPC, a.RealUnchecked(), KV_NODE(BinKE)->k)) KV_NEXT;                         \
      KV_BRANCH();                                                                                 \
    }                                                                                              \
    RValue l = a;                                                                                  \
    bool holds;                                                                                    \
    if (!VmCompareSlow(*C, KV_NODE(BinKE), l, holds)) goto error;                                  \
    if (holds) KV_NEXT;                                                                            \
    KV_BRANCH();                                                                                   \
  }                                                                                                \
  L_Jrk##name: {                                                                                   \
    RValue& l = R[I->a];                                                                           \
    bool holds;                                                                                    \
    if (l.IsReal()) {                                                                              \
      holds = CompareFast(OPC, l.RealUnchecked(), KV_NODE(BinKE)->k);                              \
    } else {                                                                                       \
      if (!VmCompareSlow(*C, KV_NODE(BinKE), l, holds)) goto error;                                \
    }                                                                                              \
    if (holds) KV_NEXT;                                                                            \
    KV_BRANCH();                                                                                   \
  }
  KV_VM_CMPS(X)
#undef X

error:
  st_ = kStatusError;
finish:
  // The run of a script called in this loop ended: back to its caller (every status but error is success).
  if (g_vmFrames.top == entry) return st_;
  {
    const VmFrame& f = g_vmFrames.store[g_vmFrames.top - 1];
    const Bytecode* const script = B;  // the frame's: with bodies run in loops of their own
    B = f.bc;
    I = f.retI;
    R = f.R;
    C = f.caller;
    PopVmFrame(script);
    L = C->slots;
    if (st_ != kStatusError) KV_NEXT;
    ScriptCallFailed(KV_NODE(CallE), R[I->a]);
    goto error;
  }
#undef KV_NEXT
#undef KV_JUMP
#undef KV_BRANCH
#undef KV_NODE
#undef KV_FINISH
}

// Runs bytecode; returns the status of the run (ok, error, exit, or a break/continue that ended it). Script
// frames the loop pushed are popped here when a fault passes through.
int RunVM(const Bytecode& bc, Ctx& c, RValue* R) {
  const int entry = g_vmFrames.top;
  g_vmFrames.Ready();
  try {
    return RunVMLoop(bc, c, R, entry);
  } catch (...) {
    while (g_vmFrames.top > entry) PopVmFrame(g_vmFrames.store[g_vmFrames.top - 1].ctx.tree->bytecode);
    throw;
  }
}

}  // namespace

void SetTreeInterpreter(bool on) { g_treeInterpreter = on; }
bool TreeInterpreter() { return g_treeInterpreter; }


// ======================================================================================================
// Running
// ======================================================================================================
namespace {
// Runs a compiled, non-constant code for existing instances: the recursion guard, a local frame, the tree.
inline bool RunTree(CInstance* self, CInstance* other, const CCode* code, RValue& result) {
  DepthGuard depth;
  if (!depth.ok) {
    RecordError(code->Text(), code->IsProgram(), 0, kStackOverflowMessage);
    return false;
  }
  const ExecTree* tree = code->Tree();
  const int nslots = static_cast<int>(tree->slotIds.size());
  struct Frame {
    LocalSlot* slots = nullptr;
    int n = 0;
    size_t markChunk = 0, markUsed = 0;
    explicit Frame(int count) : n(count) {
      if (n > 0) slots = g_locals.Alloc(n, markChunk, markUsed);
    }
    ~Frame() {
      if (n > 0) g_locals.Release(slots, n, markChunk, markUsed);
    }
  } frame(nslots);
  Ctx c{self, other, frame.slots, code, tree, &result, nullptr};
  if (!g_treeInterpreter && tree->bytecode) {
    RegFrame regs(tree->bytecode->nregs);
    if (!regs.r) {
      RecordError(code->Text(), code->IsProgram(), 0, kStackOverflowMessage);
      return false;
    }
    return RunVM(*tree->bytecode, c, regs.r) != kStatusError;
  }
  if (tree->rootExpr) return tree->rootExpr->eval(tree->rootExpr, c, result);
  return tree->rootStmt->exec(tree->rootStmt, c) != kStatusError;
}
}  // namespace

bool RunScriptCode(CInstance* self, CInstance* other, const CCode* code, RValue& result) {
  // The common case of a script call, without the general entry's checks (self and other are the running
  // code's, and a compiled program is never a constant).
  if (code->Compiled() && code->IsProgram()) {
    ClearErrorPending();
    if (RunTree(self, other, code, result)) return true;
    result = RValue("ERROR");
    return false;
  }
  return RunForValue(self, other, code, result);
}

bool RunCode(CInstance* self, CInstance* other, const CCode* code, RValue& result) {
  ClearErrorPending();
  if (!code->Compiled()) {
    RecordError(code->Text(), code->IsProgram(), 0, "Internal Error: Executing non-compiled code.");
    return false;
  }
  if (code->GetKind() == CCode::kConstantExpression) {
    result = code->Constant();
    return true;
  }
  if (!self || !other) {
    RecordError(code->Text(), code->IsProgram(), 0, "Internal Error: Executing code for nil instance.");
    return false;
  }
  return RunTree(self, other, code, result);
}

bool RunProgram(CInstance* self, CInstance* other, const CCode* code, RValue& result) {
  if (RunCode(self, other, code, result)) return true;
  ReportRuntimeError(PendingMessage(), false);
  ClearErrorPending();
  return false;
}

bool RunForValue(CInstance* self, CInstance* other, const CCode* code, RValue& result) {
  if (RunCode(self, other, code, result)) return true;
  result = RValue("ERROR");
  return false;
}

}  // namespace kv
