#pragma once
// Linux helper of the framework for the other layers' X11 halves: the message loop's watch on
// connections that are not its own.
// Implements: nothing of the contract; X11LoopWatch::Watch, Unwatch (X11Application.cpp)
// Leaves out: nothing
// A part of the program with an X connection of its own that nobody reads while the loop
// waits (the software DirectInput's, whose raw events the server sends unasked) has the loop
// drain it: whatever arrives is read at once, so it never piles up in the server's memory
// nor in the program's.
#include <functional>

namespace X11LoopWatch {
// From then on the loop calls drain, on its own thread, whenever the descriptor has data.
// Callable from any thread: the loop takes the change before it next waits. drain may run
// once more after Unwatch returns, so it holds what it reads weakly.
void Watch(int descriptor, std::function<void()> drain);
// Before the descriptor is closed.
void Unwatch(int descriptor);
}  // namespace X11LoopWatch
