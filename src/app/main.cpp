// The only entry of the program.
#include <iostream>

#include "app/ProgramBlock.h"
#include "wdx/DirectXBinding.h"

int main(int argc, char** argv)
{
    // The DirectX libraries are bound for the whole run, and freed when it ends.
    const TDirectXLibraries directX;
    return RunProgramBlock(argc, argv, BuildModeRunners(), std::cerr);
}
