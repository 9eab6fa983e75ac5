#pragma once
// How many connections a process holds to an X server, as the server counts them: the
// X-Resource extension names the process of each local client.
#include <X11/Xlib.h>
#include <X11/extensions/XRes.h>
#include <sys/types.h>

// -1 when the server cannot say.
inline int XClientsOf(Display* display, pid_t pid)
{
    XResClientIdSpec wanted{None, XRES_CLIENT_ID_PID_MASK};
    long count = 0;
    XResClientIdValue* ids = nullptr;
    if (XResQueryClientIds(display, 1, &wanted, &count, &ids) != Success) return -1;
    int clients = 0;
    for (long i = 0; i < count; ++i)
        if (XResGetClientPid(&ids[i]) == pid) ++clients;
    XResClientIdsDestroy(count, ids);
    return clients;
}
