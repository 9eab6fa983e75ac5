#include "framework/Application.h"

namespace {
TApplication theApplication;
}

TApplication* Application = &theApplication;

// No form exists yet in this build, so there is no loop to run.
void TApplication::Initialize() {}

void TApplication::Run() {}
