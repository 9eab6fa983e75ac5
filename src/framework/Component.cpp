#include "framework/Component.h"

#include <algorithm>

TComponent::TComponent(TComponent* owner)
{
    if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent()
{
    // Newest first, so a component never outlives one created before it that it may use.
    while (!FComponents.empty()) {
        TComponent* last = FComponents.back();
        RemoveComponent(last);
        delete last;
    }
    if (FOwner) FOwner->RemoveComponent(this);
}

void TComponent::InsertComponent(TComponent* component)
{
    if (!component || component->FOwner == this) return;
    if (component->FOwner) component->FOwner->RemoveComponent(component);
    FComponents.push_back(component);
    component->FOwner = this;
}

void TComponent::RemoveComponent(TComponent* component)
{
    const auto found = std::find(FComponents.begin(), FComponents.end(), component);
    if (found == FComponents.end()) return;
    FComponents.erase(found);
    component->FOwner = nullptr;
}
