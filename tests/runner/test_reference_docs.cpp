// The game makers' reference (docs/functions.md) is generated from the descriptions the function families file
// beside their registrations; these tests keep those descriptions complete and in step with the tables.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "code/code_docs.h"
#include "code/code_function.h"
#include "code/code_variable.h"
#include "runner/runner_wiring.h"

namespace {

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream ss(line);
  std::string field;
  while (std::getline(ss, field, '\t')) fields.push_back(field);
  if (!line.empty() && line.back() == '\t') fields.emplace_back();
  return fields;
}

// The table as the shipped runner prints it. Read from kvrun rather than from this process because other tests
// here register functions and variables of their own, which have no description.
std::vector<std::vector<std::string>> KvrunReference() {
  const auto file = std::filesystem::temp_directory_path() / ("kv_reference_" + std::to_string(::getpid()) + ".tsv");
  const std::string command = std::string(KV_BIN_DIR) + "/kvrun --list-reference >'" + file.string() + "'";
  std::vector<std::vector<std::string>> rows;
  if (std::system(command.c_str()) != 0) return rows;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) rows.push_back(SplitTabs(line));
  std::filesystem::remove(file);
  return rows;
}

// How many names a description's argument list gives: "" is none, "x, y" two.
int ListedArguments(const std::string& args) {
  if (args.empty()) return 0;
  int n = 1;
  for (char c : args)
    if (c == ',') ++n;
  return n;
}

bool EndsWithEllipsis(const std::string& args) {
  auto ends = [&](const std::string& tail) {
    return args.size() >= tail.size() && args.compare(args.size() - tail.size(), tail.size(), tail) == 0;
  };
  return ends("...") || ends("...]");
}

// Every function and variable of the runner is described, and each function's listed arguments agree with the
// count the table enforces: exact counts name exactly that many arguments, variable counts end in "...".
TEST(ReferenceDocs, EveryBuiltinIsDescribedWithMatchingArguments) {
  const auto rows = KvrunReference();
  ASSERT_GT(rows.size(), 1000u) << "kvrun --list-reference gave no table";
  std::string undescribed, badArgs;
  int functions = 0, variables = 0;
  for (const auto& r : rows) {
    if (r.size() == 6 && r[0] == "function") {
      ++functions;
      const std::string &family = r[1], &name = r[2], &count = r[3], &args = r[4];
      if (family == "Undescribed") {
        undescribed += " " + name + "()";
        continue;
      }
      const bool variable = count.find('-') != std::string::npos;
      if (variable ? !EndsWithEllipsis(args)
                   : args.find("...") != std::string::npos || ListedArguments(args) != std::stoi(count))
        badArgs += "\n  " + name + "(" + args + ") takes " + count;
    } else if (r.size() == 5 && r[0] == "variable") {
      ++variables;
      if (r[1] == "Undescribed") undescribed += " " + r[2];
    } else {
      ADD_FAILURE() << "unexpected line with " << r.size() << " fields: " << (r.empty() ? "" : r[0]);
    }
  }
  EXPECT_GT(functions, 1000);
  EXPECT_GT(variables, 100);
  EXPECT_EQ(undescribed, "") << "describe these with DescribeFunctions/DescribeVariables in their family's "
                                "Register function:";
  EXPECT_EQ(badArgs, "") << "the listed arguments disagree with the registered argument count:";
}

// Descriptions name functions and variables that exist (a renamed or removed one leaves no stale entry behind),
// and none is empty.
TEST(ReferenceDocs, EveryDescriptionNamesARegisteredBuiltin) {
  kv::WireLanguage();
  ASSERT_FALSE(kv::FunctionDocs().empty());
  ASSERT_FALSE(kv::VariableDocs().empty());
  for (const kv::DescribedFunction& d : kv::FunctionDocs()) {
    EXPECT_GE(kv::FindBuiltinFunction(d.doc.name), 0) << d.family << ": " << d.doc.name << " is not registered";
    EXPECT_FALSE(d.family.empty()) << d.doc.name;
    EXPECT_NE(d.family, "Undescribed") << d.doc.name;
    EXPECT_NE(std::string(d.doc.summary), "") << d.doc.name << " has an empty summary";
    EXPECT_EQ(std::string(d.doc.args).find_first_of("\t\n"), std::string::npos) << d.doc.name;
    EXPECT_EQ(std::string(d.doc.summary).find_first_of("\t\n"), std::string::npos) << d.doc.name;
  }
  for (const kv::DescribedVariable& d : kv::VariableDocs()) {
    EXPECT_GE(kv::FindBuiltinVariable(d.doc.name), 0) << d.family << ": " << d.doc.name << " is not registered";
    EXPECT_FALSE(d.family.empty()) << d.doc.name;
    EXPECT_NE(std::string(d.doc.summary), "") << d.doc.name << " has an empty summary";
    EXPECT_EQ(std::string(d.doc.summary).find_first_of("\t\n"), std::string::npos) << d.doc.name;
  }
}

}  // namespace
