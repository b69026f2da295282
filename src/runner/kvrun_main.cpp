// kvrun entry point (placeholder until the runner lifecycle lands).
#include <cstdio>
int main() { std::fputs("kvrun: not built yet\n", stderr); return 2; }
