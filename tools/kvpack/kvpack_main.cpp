// kvpack: builds game files from text projects and summarises game files.
#include <iostream>

#include "kvpack_cli.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return kv::pack::RunKvpack(args, std::cout, std::cerr);
}
