#pragma once
// The application object: its title and, as the forms arrive, its message loop.
#include <string>

class TApplication {
public:
    std::string Title;

    // Prepares the form and message machinery.
    void Initialize();
    // Runs the message loop until the main form closes; with no form it returns at once.
    void Run();
};

extern TApplication* Application;
