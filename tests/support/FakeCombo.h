#pragma once
// A combo box that remembers its lines, for the device's lists; the test plays the user by
// calling Pick.
#include <string>
#include <vector>

#include "wdx/WDirectXTypes.h"

class FakeCombo : public IComboBoxItems {
public:
    void ClearItems() override { Items.clear(); }
    void AddItem(const std::string& text) override { Items.push_back(text); }
    int ItemCount() const override { return static_cast<int>(Items.size()); }
    std::string Item(int index) const override { return Items.at(static_cast<size_t>(index)); }
    int ItemIndex() const override { return Index; }
    void SetItemIndex(int index) override { Index = index; }
    void SetOnChange(TNotifyEvent event) override { OnChange = event; }
    void Pick(int index)
    {
        Index = index;
        OnChange(nullptr);
    }
    std::vector<std::string> Items;
    int Index = -1;
    TNotifyEvent OnChange;
};
