#pragma once
// Linux helper of the X11 halves (the framework's, the presenter's, the preview's and the
// show host's): catching the X protocol errors of one connection.
// Implements: nothing of the contract; X11ErrorTrap (X11ErrorTrap.cpp)
// Leaves out: nothing
// Xlib reports errors to one process-wide handler whose default ends the program; the traps
// share a handler of their own that gives each error to the newest trap set on its connection
// when the failed request was made, and passes every other error (another connection's,
// FLTK's, or one from before any trap) on to the handler that was installed before the first
// trap. Traps nest, on one connection or several, and each keeps its own count. One thread, as
// Xlib's handlers are.
typedef struct _XDisplay Display;

class X11ErrorTrap {
public:
    // Catches errors of the requests display makes from now on.
    explicit X11ErrorTrap(Display* display);
    // Waits for the answers to the requests made under the trap first, so none of its
    // errors reaches the handler outside.
    ~X11ErrorTrap();
    X11ErrorTrap(const X11ErrorTrap&) = delete;
    X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;

    // Waits for the server's answer to everything sent so far; true when an error came.
    bool Failed();
    // The last error's code (0 for none) and the number caught, without waiting.
    int ErrorCode() const { return FErrorCode; }
    int Errors() const { return FErrors; }
    // Forgets the errors caught so far.
    void Reset()
    {
        FErrorCode = 0;
        FErrors = 0;
    }

private:
    friend struct X11ErrorTrapDispatch;
    Display* FDisplay;
    unsigned long FFirstSerial;
    int FErrorCode = 0;
    int FErrors = 0;
};
