#pragma once
// A fixture for the component tests: the platform's DirectX loaded, message boxes answered
// silently, and a form of the test's own with a device of type TDevice on it (the form owns
// the device), the device stopped before the form goes. Call SetUp in
// ASSERT_NO_FATAL_FAILURE from a fixture's own.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "framework/Dialogs.h"
#include "framework/Forms.h"
#include "support/TestDevice.h"
#include "wdx/DirectXBinding.h"
#include "wdx/WDirectX.h"

template <class TDevice = TTestDevice<>>
class DeviceFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(LoadDirectXLibraries());
        SetMessageBoxHandler([](const std::string&, const std::string&, TMsgIcon) {});
        Form = std::make_unique<TForm>(nullptr);
        PlaceForm(*Form);
        WDX = new TDevice(Form.get());
    }
    void TearDown() override
    {
        if (WDX && WDX->Active()) WDX->StopAll();
        Form.reset();
        SetMessageBoxHandler(nullptr);
    }
    // Where the form stands before the device is made; a fixture may place it otherwise.
    virtual void PlaceForm(TForm& form) { form.SetBounds(30, 20, 320, 240); }

    std::unique_ptr<TForm> Form;
    TDevice* WDX = nullptr;  // owned by Form
};
