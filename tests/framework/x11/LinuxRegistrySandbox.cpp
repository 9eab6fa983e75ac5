#include <cstdlib>
#include <optional>
#include <string>

#include "support/RegistrySandbox.h"
#include "support/TestSupport.h"

struct RegistrySandbox::Impl {
    TempDir Config;
    std::optional<std::string> Previous;
};

RegistrySandbox::RegistrySandbox() : FImpl(std::make_unique<Impl>())
{
    if (const char* previous = std::getenv("XDG_CONFIG_HOME")) FImpl->Previous = previous;
    setenv("XDG_CONFIG_HOME", FImpl->Config.Str().c_str(), 1);
}

RegistrySandbox::~RegistrySandbox()
{
    if (FImpl->Previous)
        setenv("XDG_CONFIG_HOME", FImpl->Previous->c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}
