#pragma once
// Gives a test a current-user registry of its own: on Linux a fresh settings file in a
// temporary folder, on Windows (a test-only Wine prefix) the real registry with the
// program's key removed before and after.
#include <memory>

class RegistrySandbox {
public:
    RegistrySandbox();
    ~RegistrySandbox();
    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;

    struct Impl;

private:
    std::unique_ptr<Impl> FImpl;
};
