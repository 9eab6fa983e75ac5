#pragma once
// A test's own connection to an X server, closed when the object goes, so that a failed
// assertion leaves no connection open behind it.
#include <X11/Xlib.h>

#include <string>

class XConnection {
public:
    // Null (see Get) when the display cannot be opened.
    explicit XConnection(const std::string& name) : FDisplay(XOpenDisplay(name.c_str())) {}
    ~XConnection()
    {
        if (FDisplay) XCloseDisplay(FDisplay);
    }
    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;

    Display* Get() const { return FDisplay; }
    // Lets the connection stand where Xlib wants a Display*.
    operator Display*() const { return FDisplay; }

private:
    Display* FDisplay = nullptr;
};

// A mapped window of the test's over the top left of the screen that collects the button
// presses made over it: once it has them, the server has sent every other client its events too.
inline Window MapPressWindow(const XConnection& display, unsigned width, unsigned height)
{
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display.Get()), 0, 0, width, height, 0, 0, 0);
    XSelectInput(display, window, ButtonPressMask);
    XMapWindow(display, window);
    XSync(display, False);
    return window;
}
