// kvbench PROGRAM.kvs [--script NAME=FILE]... [--object NAME]...
// Compiles PROGRAM as a program of the script language (scripts first, objects as resource names 0, 1, …),
// runs it once for a temporary self instance (id 0) in an in-memory room, and prints the returned value on
// stdout (a real as %.17g, a string as is) and the processor seconds the run took on stderr. Only the run is timed.
#include <pthread.h>

#include <ctime>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "code/code_code.h"
#include "code/code_constant.h"
#include "code/code_error.h"
#include "code/code_exec.h"
#include "code/code_function.h"
#include "code/code_world_double.h"
#include "code/code_script.h"
#include "runner/runner_wiring.h"

namespace {

bool ReadFile(const std::string& path, std::string& out) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  std::ostringstream ss;
  ss << f.rdbuf();
  out = ss.str();
  return true;
}

struct Job {
  std::string program;
  int status = 1;
};

constexpr size_t kStackBytes = size_t(256) << 20;

void* RunJob(void* arg) {
  Job& job = *static_cast<Job*>(arg);
  kv::SetNativeStackBudget(kStackBytes - (size_t(16) << 20));
  kv::CCode code(job.program, false);
  if (!code.Compile()) {
    std::fprintf(stderr, "compile error: %s\n", kv::PendingMessage().c_str());
    return nullptr;
  }
  kv::CodeWorldDouble world;
  kv::SetCodeWorld(&world);
  kv::CInstance self;  // the temporary self instance: id 0, object 0, in no list
  kv::RValue result;
  // Processor time, as the Lua references measure themselves with os.clock(): the same as elapsed time on an
  // idle machine, and still comparable when other work shares the processor.
  std::clock_t c0 = std::clock();
  bool ok;
  try {
    ok = kv::RunCode(&self, &self, &code, result);
  } catch (const kv::ArithmeticFault&) {
    std::fprintf(stderr, "arithmetic fault\n");
    return nullptr;
  }
  std::clock_t c1 = std::clock();
  kv::SetCodeWorld(nullptr);
  if (!ok) {
    std::fprintf(stderr, "run error: %s\n", kv::PendingMessage().c_str());
    return nullptr;
  }
  if (result.IsReal()) std::printf("%.17g\n", result.RealUnchecked());
  else std::printf("%s\n", result.ToStdString().c_str());
  std::fflush(stdout);
  std::fprintf(stderr, "%.3f\n", static_cast<double>(c1 - c0) / CLOCKS_PER_SEC);
  job.status = 0;
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: kvbench PROGRAM.kvs [--script NAME=FILE]... [--object NAME]...\n");
    return 2;
  }
  kv::WireLanguage();
  kv::RegisterFunction("instance_create", kv::CodeWorldDoubleInstanceCreate, 3);  // instances go to the bench's room
  kv::ErrorSettings es;
  es.displayErrors = false;
  kv::SetErrorSettings(es);
  Job job;
  std::string programPath;
  std::vector<std::string> objects;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--script" && i + 1 < argc) {
      std::string binding = argv[++i];
      size_t eq = binding.find('=');
      std::string text;
      if (eq == std::string::npos || !ReadFile(binding.substr(eq + 1), text)) {
        std::fprintf(stderr, "cannot read script %s\n", binding.c_str());
        return 2;
      }
      kv::AddScript(binding.substr(0, eq), text);
    } else if (a == "--object" && i + 1 < argc) {
      objects.push_back(argv[++i]);
    } else {
      programPath = a;
    }
  }
  kv::SetResourceNameResolver([objects](std::string_view name, int& index) {
    for (size_t k = 0; k < objects.size(); ++k)
      if (objects[k] == name) {
        index = static_cast<int>(k);
        return true;
      }
    return false;
  });
  if (!ReadFile(programPath, job.program)) {
    std::fprintf(stderr, "cannot read %s\n", programPath.c_str());
    return 2;
  }
  if (!kv::CompileScripts()) return 1;
  // Deep recursion needs a large stack: run on a thread with 256 MB.
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, kStackBytes);
  pthread_t th;
  if (pthread_create(&th, &attr, RunJob, &job) != 0) RunJob(&job);
  else pthread_join(th, nullptr);
  return job.status;
}
