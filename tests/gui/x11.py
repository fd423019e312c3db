"""Talks X11 directly (libX11 through ctypes) for what xdotool cannot do:
dropping files on a window with the XDND protocol, and asking a window to
close the way a window manager does (WM_DELETE_WINDOW)."""

import ctypes
import ctypes.util
import time
import urllib.parse

_lib = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11") or "libX11.so.6")

Window = ctypes.c_ulong
Atom = ctypes.c_ulong
Time = ctypes.c_ulong

ClientMessage = 33
SelectionRequest = 30
SelectionNotify = 31
PropModeReplace = 0
NoEventMask = 0
CurrentTime = 0
XDND_VERSION = 5


class XClientMessageEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", Window), ("message_type", Atom),
                ("format", ctypes.c_int), ("l", ctypes.c_long * 5)]


class XSelectionRequestEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("owner", Window), ("requestor", Window),
                ("selection", Atom), ("target", Atom), ("property", Atom), ("time", Time)]


class XSelectionEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("requestor", Window), ("selection", Atom),
                ("target", Atom), ("property", Atom), ("time", Time)]


class XEvent(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("xclient", XClientMessageEvent),
                ("xselectionrequest", XSelectionRequestEvent), ("xselection", XSelectionEvent),
                ("pad", ctypes.c_long * 24)]


_lib.XOpenDisplay.restype = ctypes.c_void_p
_lib.XOpenDisplay.argtypes = [ctypes.c_char_p]
_lib.XCloseDisplay.argtypes = [ctypes.c_void_p]
_lib.XInternAtom.restype = Atom
_lib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
_lib.XDefaultRootWindow.restype = Window
_lib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
_lib.XCreateSimpleWindow.restype = Window
_lib.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, Window, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                     ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_ulong]
_lib.XDestroyWindow.argtypes = [ctypes.c_void_p, Window]
_lib.XSetSelectionOwner.argtypes = [ctypes.c_void_p, Atom, Window, Time]
_lib.XSendEvent.argtypes = [ctypes.c_void_p, Window, ctypes.c_int, ctypes.c_long, ctypes.POINTER(XEvent)]
_lib.XFlush.argtypes = [ctypes.c_void_p]
_lib.XPending.argtypes = [ctypes.c_void_p]
_lib.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.POINTER(XEvent)]
_lib.XChangeProperty.argtypes = [ctypes.c_void_p, Window, Atom, Atom, ctypes.c_int, ctypes.c_int,
                                 ctypes.c_char_p, ctypes.c_int]
_lib.XTranslateCoordinates.argtypes = [ctypes.c_void_p, Window, Window, ctypes.c_int, ctypes.c_int,
                                       ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_int),
                                       ctypes.POINTER(Window)]


class Display:
    """A connection to one X display (a name such as ":93")."""

    def __init__(self, name):
        self._dpy = _lib.XOpenDisplay(name.encode())
        if not self._dpy:
            raise RuntimeError("cannot open X display " + name)
        self.root = _lib.XDefaultRootWindow(self._dpy)

    def close(self):
        if self._dpy:
            _lib.XCloseDisplay(self._dpy)
            self._dpy = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def atom(self, name):
        return _lib.XInternAtom(self._dpy, name.encode(), 0)

    def _client_message(self, window, message_type, longs):
        ev = XEvent()
        ev.xclient.type = ClientMessage
        ev.xclient.display = self._dpy
        ev.xclient.window = window
        ev.xclient.message_type = self.atom(message_type)
        ev.xclient.format = 32
        for i, v in enumerate(longs):
            ev.xclient.l[i] = v
        _lib.XSendEvent(self._dpy, window, 0, NoEventMask, ctypes.byref(ev))
        _lib.XFlush(self._dpy)

    def request_close(self, window):
        """What a window manager sends when the user clicks the close box."""
        self._client_message(window, "WM_PROTOCOLS", [self.atom("WM_DELETE_WINDOW"), CurrentTime, 0, 0, 0])

    def _root_position(self, window, x, y):
        rx, ry, child = ctypes.c_int(), ctypes.c_int(), Window()
        _lib.XTranslateCoordinates(self._dpy, window, self.root, x, y, ctypes.byref(rx), ctypes.byref(ry),
                                   ctypes.byref(child))
        return rx.value, ry.value

    def _events(self, deadline):
        ev = XEvent()
        while time.monotonic() < deadline:
            if _lib.XPending(self._dpy):
                _lib.XNextEvent(self._dpy, ctypes.byref(ev))
                yield ev
            else:
                time.sleep(0.01)

    def drop_files(self, window, paths, x=10, y=10, timeout=10.0):
        """Drags the files (as a text/uri-list) onto the window at (x, y),
        window-relative, and drops them. Returns True when the window accepted
        the drag and finished the drop."""
        uri_list = "".join("file://" + urllib.parse.quote(str(p)) + "\r\n" for p in paths).encode()
        uri_type = self.atom("text/uri-list")
        selection = self.atom("XdndSelection")
        source = _lib.XCreateSimpleWindow(self._dpy, self.root, 0, 0, 1, 1, 0, 0, 0)
        try:
            _lib.XSetSelectionOwner(self._dpy, selection, source, CurrentTime)
            rx, ry = self._root_position(window, x, y)
            deadline = time.monotonic() + timeout
            self._client_message(window, "XdndEnter", [source, XDND_VERSION << 24, uri_type, 0, 0])
            self._client_message(window, "XdndPosition",
                                 [source, 0, (rx << 16) | (ry & 0xFFFF), CurrentTime, self.atom("XdndActionCopy")])
            accepted = None
            for ev in self._events(deadline):
                if ev.type == ClientMessage and ev.xclient.message_type == self.atom("XdndStatus"):
                    accepted = bool(ev.xclient.l[1] & 1)
                    break
            if not accepted:
                self._client_message(window, "XdndLeave", [source, 0, 0, 0, 0])
                return False
            self._client_message(window, "XdndDrop", [source, 0, CurrentTime, 0, 0])
            for ev in self._events(deadline):
                if ev.type == SelectionRequest:
                    req = ev.xselectionrequest
                    reply = XEvent()
                    reply.xselection.type = SelectionNotify
                    reply.xselection.display = self._dpy
                    reply.xselection.requestor = req.requestor
                    reply.xselection.selection = req.selection
                    reply.xselection.target = req.target
                    reply.xselection.time = req.time
                    reply.xselection.property = 0
                    if req.target == uri_type and req.property:
                        _lib.XChangeProperty(self._dpy, req.requestor, req.property, uri_type, 8,
                                             PropModeReplace, uri_list, len(uri_list))
                        reply.xselection.property = req.property
                    _lib.XSendEvent(self._dpy, req.requestor, 0, NoEventMask, ctypes.byref(reply))
                    _lib.XFlush(self._dpy)
                elif ev.type == ClientMessage and ev.xclient.message_type == self.atom("XdndFinished"):
                    return True
            return False
        finally:
            _lib.XDestroyWindow(self._dpy, source)
            _lib.XFlush(self._dpy)
