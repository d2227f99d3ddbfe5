#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
    std::puts("veskara-cli 1.0");
    return 0;
  }
  std::puts("usage: veskara-cli [--base DIR] add DIRECTORY | search QUERY... | files NUMBERLIST | stats");
  return argc > 1 && std::strcmp(argv[1], "--help") == 0 ? 0 : 2;
}
