#include "framework/Registry.h"
#include "settings/Settings.h"
#include "support/RegistrySandbox.h"

struct RegistrySandbox::Impl {};

namespace {
void RemoveSettingsKey()
{
    TRegistry registry;
    registry.DeleteKey(SettingsKey);
}
}  // namespace

RegistrySandbox::RegistrySandbox() : FImpl(std::make_unique<Impl>()) { RemoveSettingsKey(); }

RegistrySandbox::~RegistrySandbox() { RemoveSettingsKey(); }
