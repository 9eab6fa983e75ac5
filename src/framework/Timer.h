#pragma once
// A timer component: while enabled, posts WM_TIMER to the application's queue every
// Interval milliseconds; as on Windows, ticks coalesce (at most one is pending), so a slow
// handler never builds a backlog. OnTimer runs when the tick is dispatched.
#include <cstdint>
#include <memory>

#include "framework/Component.h"
#include "framework/Events.h"

class TTimer : public TComponent, public TObject {
public:
    explicit TTimer(TComponent* owner);
    ~TTimer() override;

    TNotifyEvent OnTimer;

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool enabled);
    uint32_t Interval() const { return FInterval; }
    void SetInterval(uint32_t milliseconds);  // 0 stops the ticks

    struct Impl;

private:
    void Update();

    std::unique_ptr<Impl> FImpl;
    bool FEnabled = true;
    uint32_t FInterval = 1000;
};
