// A child program for the tests of tool/platform_windows.cpp. It prints each argument on a
// line of its own and exits with their count; with --count-input it reads its standard
// input instead and exits with the number of bytes read.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  if (argc == 2 && std::strcmp(argv[1], "--count-input") == 0) {
    int count = 0;
    while (std::getchar() != EOF) ++count;
    return count;
  }
  for (int i = 1; i < argc; ++i) std::printf("%s\n", argv[i]);
  return argc - 1;
}
