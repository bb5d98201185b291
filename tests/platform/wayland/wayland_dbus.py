#!/usr/bin/python3
"""What the tests ask of Mutter and KWin over their session's D-Bus, not over Wayland.

  wayland_dbus.py mutter-input-server SOCKET
  wayland_dbus.py mutter-input SOCKET STEP...   STEP: DX,DY | click | key (as move_pointer's)
  wayland_dbus.py kwin-screenshot FILE.png [OUTPUT]
  wayland_dbus.py session-manager   (until killed: a GNOME session manager whose
                                     IsInhibited says that idleness is inhibited)

Mutter takes input from org.gnome.Mutter.RemoteDesktop. A remote desktop session belongs
to the D-Bus connection that made it and ends with it (so gdbus call, a connection a call,
cannot keep one), and its keyboard and pointer join the seat only with their first event:
a client focused then gets the first key pressed in wl_keyboard.enter, never as a key.
So one server, started with the compositor, holds one session for the compositor's life
and gives the seat its devices before any client comes; mutter-input hands it the steps
through SOCKET and waits for them to be sent.
KWin's org.kde.KWin.ScreenShot2 writes the raw pixels of an output (OUTPUT, e.g.
Virtual-0) or of the whole workspace into a pipe passed as a file descriptor; this writes
them as an 8-bit RGB PNG.
Exits 0 when done, 1 with a message otherwise. Needs Debian's python3-gi (Gio).
"""
import os
import socket
import struct
import sys
import time
import zlib

from gi.repository import Gio, GLib

KEY_X = 45  # Linux input codes, as move_pointer's
BTN_LEFT = 0x110
STEP_PAUSE = 0.1


def call(bus, name, path, interface, method, args=None, fds=None):
    result, _ = bus.call_with_unix_fd_list_sync(name, path, interface, method, args, None,
                                                Gio.DBusCallFlags.NONE, 5000, fds, None)
    return result.unpack() if result else ()


class MutterInput:
    """A remote desktop session of Mutter's: the seat's own keyboard and pointer."""

    REMOTE = "org.gnome.Mutter.RemoteDesktop"

    def __init__(self, bus):
        self.bus = bus
        (self.session,) = call(bus, self.REMOTE, "/org/gnome/Mutter/RemoteDesktop", self.REMOTE,
                               "CreateSession")
        call(bus, self.REMOTE, self.session, self.REMOTE + ".Session", "Start")

    def send(self, method, signature, *values):
        call(self.bus, self.REMOTE, self.session, self.REMOTE + ".Session", method,
             GLib.Variant(signature, values))

    def step(self, step):
        if step == "click":
            self.send("NotifyPointerButton", "(ib)", BTN_LEFT, True)
            self.send("NotifyPointerButton", "(ib)", BTN_LEFT, False)
        elif step == "key":
            self.send("NotifyKeyboardKeycode", "(ub)", KEY_X, True)
            self.send("NotifyKeyboardKeycode", "(ub)", KEY_X, False)
        else:
            dx, dy = (float(v) for v in step.split(","))
            self.send("NotifyPointerMotionRelative", "(dd)", dx, dy)


def mutter_input_server(bus, path):
    devices = MutterInput(bus)
    for step in ("key", "0,0"):  # no client yet to see them
        devices.step(step)
    time.sleep(STEP_PAUSE)
    server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    server.bind(path)  # the shell waits for it: from now on the seat has its devices
    server.listen()
    while True:
        connection, _ = server.accept()
        with connection, connection.makefile("rw") as stream:
            try:
                for step in stream.readline().split():
                    time.sleep(STEP_PAUSE)
                    devices.step(step)
                time.sleep(STEP_PAUSE)
                stream.write("sent\n")
            except (GLib.Error, ValueError) as error:
                stream.write(f"wayland_dbus: {error}\n")


def mutter_input(path, steps):
    with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as connection:
        connection.connect(path)
        with connection.makefile("rw") as stream:
            stream.write(" ".join(steps) + "\n")
            stream.flush()
            answer = stream.readline().strip()
    if answer != "sent":
        sys.exit(answer or "wayland_dbus: the input server did not answer")


# QImage's formats that KWin sends: 32-bit ARGB words (bytes B, G, R, A here) or RGBA bytes.
BGRA_FORMATS = {4, 5, 6}  # Format_RGB32, Format_ARGB32, Format_ARGB32_Premultiplied
RGBA_FORMATS = {16, 17, 18}  # Format_RGBX8888, Format_RGBA8888, its premultiplied


def kwin_screenshot(bus, file, output):
    name, path = "org.kde.KWin.ScreenShot2", "/org/kde/KWin/ScreenShot2"
    reader, writer = os.pipe()
    fds = Gio.UnixFDList.new_from_array([writer])  # owns writer until steal_fds
    options = {"native-resolution": GLib.Variant("b", True)}
    if output:
        args = GLib.Variant("(sa{sv}h)", (output, options, 0))
        (meta,) = call(bus, name, path, name, "CaptureScreen", args, fds)
    else:
        args = GLib.Variant("(a{sv}h)", (options, 0))
        (meta,) = call(bus, name, path, name, "CaptureWorkspace", args, fds)
    fds.steal_fds()
    os.close(writer)
    data = bytearray()
    with os.fdopen(reader, "rb") as pipe:  # KWin writes after it has answered
        for chunk in iter(lambda: pipe.read(1 << 16), b""):
            data += chunk
    width, height, stride, fmt = (meta.get(k) for k in ("width", "height", "stride", "format"))
    if meta.get("type") != "raw" or None in (width, height, stride, fmt):
        sys.exit(f"wayland_dbus: KWin answered {meta}")
    if len(data) < stride * height:
        sys.exit(f"wayland_dbus: {len(data)} bytes from KWin, not {stride} x {height}")
    if fmt in BGRA_FORMATS:
        order = (2, 1, 0)
    elif fmt in RGBA_FORMATS:
        order = (0, 1, 2)
    else:
        sys.exit(f"wayland_dbus: KWin's image has QImage format {fmt}")
    rows = bytearray()
    for y in range(height):
        row = data[y * stride:y * stride + width * 4]
        rgb = bytearray(width * 3)
        for channel, source in enumerate(order):
            rgb[channel::3] = row[source::4]
        rows += b"\0" + rgb  # filter type 0 on every row
    write_png(file, width, height, bytes(rows))


def write_png(file, width, height, rows):
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)  # 8-bit RGB
    with open(file, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                  chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


# GSM_INHIBITOR_FLAG_IDLE, as GNOME's session manager numbers what an inhibitor holds back.
INHIBIT_IDLE = 8
SESSION_MANAGER_XML = """<node><interface name="org.gnome.SessionManager">
  <method name="IsInhibited"><arg type="u" direction="in"/><arg type="b" direction="out"/></method>
</interface></node>"""


def session_manager(bus):
    interface = Gio.DBusNodeInfo.new_for_xml(SESSION_MANAGER_XML).interfaces[0]

    def answer(_connection, _sender, _path, _interface, _method, parameters, invocation):
        (flags,) = parameters.unpack()
        invocation.return_value(GLib.Variant("(b)", (bool(flags & INHIBIT_IDLE),)))

    bus.register_object("/org/gnome/SessionManager", interface, answer, None, None)
    Gio.bus_own_name_on_connection(bus, "org.gnome.SessionManager", Gio.BusNameOwnerFlags.NONE,
                                   None, None)
    GLib.MainLoop().run()


def main(argv):
    if len(argv) >= 3 and argv[0] == "mutter-input":
        try:
            mutter_input(argv[1], argv[2:])
        except OSError as error:
            sys.exit(f"wayland_dbus: {error}")
        return
    if len(argv) == 2 and argv[0] == "mutter-input-server":
        action = lambda bus: mutter_input_server(bus, argv[1])
    elif argv == ["session-manager"]:
        action = session_manager
    elif len(argv) in (2, 3) and argv[0] == "kwin-screenshot":
        action = lambda bus: kwin_screenshot(bus, argv[1], argv[2] if len(argv) == 3 else "")
    else:
        sys.exit(__doc__.split("\n\n")[1])
    try:
        action(Gio.bus_get_sync(Gio.BusType.SESSION, None))
    except (GLib.Error, ValueError) as error:
        sys.exit(f"wayland_dbus: {error}")


if __name__ == "__main__":
    main(sys.argv[1:])
