// Writes imgbatch's man page and bash completion from its option table.
// usage: imgbatch_docs MANPAGE COMPLETION

#include <cstdio>
#include <fstream>

#include "app/BatchOptions.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: imgbatch_docs MANPAGE COMPLETION\n");
    return 2;
  }
  std::ofstream(argv[1], std::ios::binary) << app::BatchManPage();
  std::ofstream(argv[2], std::ios::binary) << app::BatchCompletion();
  return 0;
}
