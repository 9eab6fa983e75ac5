#pragma once
// Components with an owner: the owner keeps them in the order they were created and frees
// them, in reverse order, when it is destroyed.
#include <string>
#include <vector>

class TComponent {
public:
    explicit TComponent(TComponent* owner);
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    std::string Name;

    TComponent* Owner() const { return FOwner; }
    int ComponentCount() const { return static_cast<int>(FComponents.size()); }
    TComponent* Components(int index) const { return FComponents.at(static_cast<size_t>(index)); }

    // Takes a component into this owner's list, or out of it (it is then no longer freed here).
    void InsertComponent(TComponent* component);
    void RemoveComponent(TComponent* component);

    // Called once the stored property values have been set.
    virtual void Loaded() {}

private:
    TComponent* FOwner = nullptr;
    std::vector<TComponent*> FComponents;
};
