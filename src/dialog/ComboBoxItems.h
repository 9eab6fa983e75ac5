#pragma once
// A combo box of the framework seen through the item list the display device fills.
#include "framework/Controls.h"
#include "wdx/WDirectXTypes.h"

class TComboBoxItems : public IComboBoxItems {
public:
    explicit TComboBoxItems(TComboBox& box) : FBox(box) {}
    void ClearItems() override { FBox.Clear(); }
    void AddItem(const std::string& text) override { FBox.Add(text); }
    int ItemCount() const override { return FBox.Count(); }
    std::string Item(int index) const override { return FBox.Item(index); }
    int ItemIndex() const override { return FBox.ItemIndex(); }
    void SetItemIndex(int index) override { FBox.SetItemIndex(index); }
    void SetOnChange(TNotifyEvent event) override { FBox.OnChange = event; }

private:
    TComboBox& FBox;
};
