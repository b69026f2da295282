#include "kvpack_check.h"

#include <algorithm>
#include <cstdlib>

#include "code/code_code.h"
#include "code/code_constant.h"
#include "code/code_error.h"
#include "code/code_script.h"
#include "extensions/extension_main.h"
#include "runner/game_prepare.h"

namespace kv::pack {

std::string CodeProblem::Text() const {
  std::string out = file;
  if (line > 0) out += ":" + std::to_string(line);
  if (line > 0 && column > 0) out += ":" + std::to_string(column);
  return out + ": " + message;
}

namespace {

int NumberAt(const std::string& s, size_t at) { return std::atoi(s.c_str() + at); }

}  // namespace

CodeProblem ProblemFromCompilerMessage(const std::string& pending, bool expression) {
  CodeProblem p;
  const std::string linePrefix = "Error in code at line ";
  const std::string positionMark = expression ? "\r position " : "\r\rat position ";
  const size_t pos = pending.find(positionMark);
  const bool located = (expression ? pending.rfind("Error in expression:", 0) == 0 : pending.rfind(linePrefix, 0) == 0) &&
                       pos != std::string::npos;
  if (!located) {
    p.message = pending;
    return p;
  }
  p.line = expression ? 1 : NumberAt(pending, linePrefix.size());
  const int counted = NumberAt(pending, pos + positionMark.size());
  // The compiler counts lines by CR; the LF of a CR LF starts the next line and is counted as its first character.
  // An error at that LF (the end of the code, e.g. a block left open) is shown at the start of the line.
  p.column = p.line > 1 ? std::max(1, counted - 1) : counted;
  const size_t colon = pending.find(": ", pos + positionMark.size());
  p.message = colon == std::string::npos ? pending : pending.substr(colon + 2);
  return p;
}

std::vector<CodeProblem> CheckCode(PackedGame& packed) {
  // The game is attached as the runner attaches it, so resource names and constants resolve as they will in play.
  GameData& game = packed.game;
  AttachGame(game);
  std::vector<CodeProblem> problems;
  ResetConstants();
  DefineGameConstants(game, [&](const std::string& text) { problems.push_back({kManifestName, 0, 0, text}); });
  ClearScripts();
  const auto& scripts = game.resources.scripts;
  for (int i = 0; i < scripts.Count(); ++i)
    if (const CScript* s = scripts.Get(i)) SetScript(i, scripts.Name(i), s->Text());
  // Extension functions and constants resolve as they will in play. Only their names are made known here (no
  // file unpacked, no library loaded); the code of script-file functions is compiled below with the rest.
  std::vector<CExtensionPackage> packages = game.resources.extensions;
  for (CExtensionPackage& p : packages)
    for (CExtensionFile& f : p.files)
      for (CExtensionFunction& fn : f.functions) fn.code.clear();
  ExtensionPreparation names;
  names.messageBox = [&](const std::string& text) { problems.push_back({kManifestName, 0, 0, text}); };
  PrepareExtensionPackages(packages, names);

  for (const CodeSource& src : packed.code) {
    CCode code(src.text, src.expression);
    if (code.Compile()) continue;
    CodeProblem p = ProblemFromCompilerMessage(PendingMessage(), src.expression);
    p.file = src.file;
    if (src.manifestLine > 0) {  // code written in the manifest: its line there, no column
      p.line = src.manifestLine;
      p.column = 0;
    } else if (p.line > 0) {
      p.line += src.lineOffset;
    }
    problems.push_back(std::move(p));
  }
  ClearErrorPending();
  ClearExtensionPackages();
  ClearScripts();
  ResetConstants();
  DetachGame(game);
  return problems;
}

}  // namespace kv::pack
