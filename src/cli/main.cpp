#include <cstdio>
int main() { std::puts("Kestrelpad-1.1.1"); return 0; }
