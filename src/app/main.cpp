// The only entry of the program.
#include <iostream>

#include "app/ProgramBlock.h"

int main(int argc, char** argv) { return RunProgramBlock(argc, argv, BuildModeRunners(), std::cerr); }
