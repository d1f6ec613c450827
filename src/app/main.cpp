#include "app/RunFrame.h"

int main(int argc, char** argv) { return quorvel::RunQuorvel(argc, argv); }
