// One-line descriptions of the built-in functions and variables, for the game makers' reference.
//
// Each family files its descriptions beside its registrations, in its Register function:
//
//   RegisterFunction("abs", FnAbs, 1);
//   ...
//   DescribeFunctions("Math", {
//       {"abs", "x", "The absolute value of x."},
//   });
//
// `kvrun --list-reference` prints the table, tools/docs/make_reference.py turns it into docs/functions.md, and a
// test checks that every registered function and variable is described, that every description names a registered
// one, and that the listed arguments match the argument count, so the reference cannot go stale.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

struct FunctionDoc {
  const char* name;
  const char* args;     // as written in a call: "x, y"; "" for none; "val0, val1, ..." for a variable count
  const char* summary;  // one sentence
};

struct VariableDoc {
  const char* name;
  const char* summary;  // one sentence; arrays say so ("Array of ...")
};

// Families keep the order of their first description; a name described again replaces its entry. Describing only
// files the entries: every start registers them, and only the reference reads them, so the name index is built on
// the first look-up.
void DescribeFunctions(const char* family, std::initializer_list<FunctionDoc> docs);
void DescribeVariables(const char* family, std::initializer_list<VariableDoc> docs);

// The family title is the static string given to Describe*: filing costs no allocation at start-up.
struct DescribedFunction {
  std::string_view family;
  FunctionDoc doc;
};
struct DescribedVariable {
  std::string_view family;
  VariableDoc doc;
};
// In the order described.
const std::vector<DescribedFunction>& FunctionDocs();
const std::vector<DescribedVariable>& VariableDocs();
const DescribedFunction* FindFunctionDoc(std::string_view name);
const DescribedVariable* FindVariableDoc(std::string_view name);

}  // namespace kv
