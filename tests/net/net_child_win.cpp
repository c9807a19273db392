// net_child.exe SLEEP_MS EXIT_CODE: a child for the RunProcess tests.
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
  if (argc < 3) return 99;
  ::Sleep(static_cast<DWORD>(std::atoi(argv[1])));
  return std::atoi(argv[2]);
}
