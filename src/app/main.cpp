#include "system/Platform.h"
#include "app/RunFrame.h"

int main(int argc, char** argv) {
  quorvel::BufferStandardOutput();
  return quorvel::RunQuorvel(argc, argv);
}
