#include "code/code_resolver.h"

#include <cmath>

#include "code/code_constant.h"
#include "code/code_error.h"
#include "code/code_function.h"
#include "code/code_variable.h"

namespace kv {

double NumberTokenValue(std::string_view text) {
  double value = 0.0, step = 1.0;
  bool hex = false, fraction = false;
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c == '$') {
      hex = true;
      continue;
    }
    if (c == '.') {
      fraction = true;
      continue;
    }
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else continue;
    if (hex) {
      value = value * 16 + d;
    } else if (!fraction) {
      value = value * 10 + d;
    } else {
      step /= 10;
      value = value + step * d;
    }
  }
  return value;
}

bool Resolve(std::string_view text, bool isProgram, const std::vector<LexToken>& list1, std::vector<ResolvedToken>& out) {
  out.clear();
  out.resize(list1.size());
  for (size_t i = 0; i < list1.size(); ++i) {
    const LexToken& t = list1[i];
    ResolvedToken& r = out[i];
    r.kind = t.kind;
    r.position = t.position;
    switch (t.kind) {
      case kTokIdent: {
        if (i + 1 < list1.size() && list1[i + 1].kind == kTokOpenParen) {
          int id;
          if (!FindFunction(t.text, id)) {
            r.kind = kTokBad;
            RecordError(text, isProgram, t.position, "Unknown function or script: " + t.text);
            return false;
          }
          r.kind = kTokFunction;
          r.index = id;
        } else if (FindConstant(t.text, r.value)) {
          r.kind = kTokConstant;
        } else {
          r.kind = kTokVariable;
          r.index = VariableIdOf(t.text);
        }
        break;
      }
      case kTokNumber: {
        double v = NumberTokenValue(t.text);
        if (!std::isfinite(v)) {  // a literal beyond the double range is refused here, not faulted later
          r.kind = kTokBad;
          RecordError(text, isProgram, t.position, "Number too large.");
          return false;
        }
        r.kind = kTokConstant;
        r.value = RValue(v);
        break;
      }
      case kTokString:
        r.kind = kTokConstant;
        r.value = RValue(t.text);
        break;
      default:
        break;
    }
  }
  return true;
}

}  // namespace kv
