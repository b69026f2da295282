// kvpack entry point (placeholder until the game-file writer lands).
#include <cstdio>
int main() { std::fputs("kvpack: not built yet\n", stderr); return 2; }
