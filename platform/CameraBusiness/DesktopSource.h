// The desktop capture element of the desktop channels, "lumadesktopsrc": a live source of BGRx
// frames of one rectangle of an X screen, with the properties of ximagesrc that the launch line
// uses (display-name, startx, starty, endx, endy, show-pointer).
//
// Why not ximagesrc: in GStreamer 1.22 it grabs the X server around every frame and then takes
// Xlib's process-wide lock (XFixesGetCursorImage, XShmGetImage look their extension up under it).
// libX11 1.8 holds that same lock in XOpenDisplay while it waits for the server's answer, which a
// grabbed server never sends: a second ximagesrc opening its display (a DESCRIBE, a new channel)
// while the first captures froze the whole X server. This one talks XCB: no server grab, no
// process-wide lock, errors returned per request instead of a process-wide error handler. Frames
// are copied out of one shared-memory segment per source, removed as soon as it is attached, into
// buffers of ordinary memory: a buffer held after the source stops (the still-frame filter keeps
// the last one) no longer keeps a segment attached.
#pragma once

// Registers the element with GStreamer (once; after gst_init). False when it cannot be.
bool RegisterDesktopSource();
