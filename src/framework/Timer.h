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

    // The wParam of this timer's WM_TIMER messages, never shared with another live timer.
    uintptr_t Id() const { return FId; }
    // The live timer with that id, or null (a tick still queued for a freed timer finds none).
    static TTimer* FindTimer(uintptr_t id);

    struct Impl;

private:
    void Update();

    std::unique_ptr<Impl> FImpl;
    uintptr_t FId = 0;
    bool FEnabled = true;
    uint32_t FInterval = 1000;
};
