// The only entry of the program.
#include <iostream>

#include "app/ProgramBlock.h"
#include "framework/Application.h"
#include "wdx/DirectXBinding.h"

int main(int argc, char** argv)
{
    // The DirectX libraries are bound for the whole run, and freed when it ends.
    const TDirectXLibraries directX;
    const int status = RunProgramBlock(argc, argv, BuildModeRunners(), std::cerr);
    // The forms' devices hold objects of the DirectX libraries (DirectSound's among them),
    // which must be released while the libraries are still loaded.
    Application->FreeForms();
    return status;
}
