#!/usr/bin/python3
"""The desktops' own pictures and keys, for the GNOME and KDE end-to-end tests.

  desktop_oracle.py mutter-frame OUT.png        one frame of org.gnome.Mutter.ScreenCast (no portal)
  desktop_oracle.py kwin-shot OUT.png METHOD    org.kde.KWin.ScreenShot2.METHOD through a pipe
                                                (METHOD+cursor: with the cursor drawn)
  desktop_oracle.py keys KEY...                 key presses through org.gnome.Mutter.RemoteDesktop
  desktop_oracle.py same PICTURE REF...         exit 0 when PICTURE equals one REF pixel for pixel
  desktop_oracle.py pixel PICTURE X Y           the pixel's colour as rrggbb
  desktop_oracle.py changed PICTURE REF         exit 0 when they differ below the top bar
  desktop_oracle.py green-window [FILE]         a 1000x700 GTK window painted #00c000; on SIGUSR1
                                                in the colour FILE names (rrggbb)
"""
import os, subprocess, sys, threading


def bus():
    from gi.repository import Gio
    return Gio.bus_get_sync(Gio.BusType.SESSION, None)


def mutter_frame(out):
    from gi.repository import GLib
    b, M = bus(), "org.gnome.Mutter.ScreenCast"
    call = lambda path, iface, method, args, rt: b.call_sync(
        M, path, iface, method, args, GLib.VariantType(rt) if rt else None, 0, 10000, None).unpack()
    sess = call("/org/gnome/Mutter/ScreenCast", M, "CreateSession", GLib.Variant("(a{sv})", ({},)), "(o)")[0]
    stream = call(sess, M + ".Session", "RecordMonitor",
                  GLib.Variant("(sa{sv})", ("", {"cursor-mode": GLib.Variant('u', 0)})), "(o)")[0]
    loop, node = GLib.MainLoop(), []
    b.signal_subscribe(M, M + ".Stream", "PipeWireStreamAdded", stream, None, 0,
                       lambda *a: (node.append(a[5].unpack()[0]), loop.quit()), None)
    call(sess, M + ".Session", "Start", None, None)
    GLib.timeout_add_seconds(10, loop.quit)
    loop.run()
    rc = subprocess.run(["gst-launch-1.0", "-q", "pipewiresrc", "path=%d" % node[0], "num-buffers=1", "!",
                         "videoconvert", "!", "pngenc", "!", "filesink", "location=" + out],
                        timeout=20).returncode if node else 1
    call(sess, M + ".Session", "Stop", None, None)
    return rc


def kwin_shot(out, method):
    from gi.repository import Gio, GLib
    from PIL import Image
    r, w = os.pipe()
    fds = Gio.UnixFDList.new()
    index = fds.append(w)
    os.close(w)
    chunks = []
    reader = threading.Thread(target=lambda: chunks.extend(iter(lambda: os.read(r, 1 << 20), b"")))
    reader.start()
    method, _, cursor = method.partition("+")
    opts = {"include-cursor": GLib.Variant('b', bool(cursor)), "include-decoration": GLib.Variant('b', True),
            "native-resolution": GLib.Variant('b', True)}
    try:
        res = bus().call_with_unix_fd_list_sync("org.kde.KWin", "/org/kde/KWin/ScreenShot2",
                                                "org.kde.KWin.ScreenShot2", method,
                                                GLib.Variant("(a{sv}h)", (opts, index)),
                                                GLib.VariantType("(a{sv})"), 0, 15000, fds, None)
    except GLib.Error as e:
        print(e.message, file=sys.stderr)
        return 1
    meta = res[0].unpack()[0]
    del fds, res  # our copies of the write end: KWin's closing then ends the data
    reader.join(15)
    data, W, H, S = b"".join(chunks), meta["width"], meta["height"], meta["stride"]
    Image.frombytes("RGBA", (W, H), data, "raw", "BGRA", S).convert("RGB").save(out)
    return 0


def keys(names):
    import time
    from gi.repository import GLib
    b, M = bus(), "org.gnome.Mutter.RemoteDesktop"
    sess = b.call_sync(M, "/org/gnome/Mutter/RemoteDesktop", M, "CreateSession", None,
                       GLib.VariantType("(o)"), 0, 5000, None).unpack()[0]
    b.call_sync(M, sess, M + ".Session", "Start", None, None, 0, 5000, None)
    syms = {"Escape": 0xff1b, "Tab": 0xff09, "Return": 0xff0d, "space": 0x20, "Print": 0xff61,
            "Shift_L": 0xffe1}
    # The first key of a new virtual keyboard can be lost before its keymap has arrived.
    for name in ["Shift_L"] + names:
        for down in (True, False):
            b.call_sync(M, sess, M + ".Session", "NotifyKeyboardKeysym",
                        GLib.Variant("(ub)", (syms[name], down)), None, 0, 5000, None)
            time.sleep(0.05)
        time.sleep(0.3)
    b.call_sync(M, sess, M + ".Session", "Stop", None, None, 0, 5000, None)
    return 0


def same(picture, refs):
    from PIL import Image, ImageChops
    ours = Image.open(picture).convert("RGB")
    for ref in refs:
        theirs = Image.open(ref).convert("RGB")
        if ours.size == theirs.size and ImageChops.difference(ours, theirs).getbbox() is None:
            return 0
    print("%s %s differs from %s" % (picture, ours.size, " and ".join(refs)), file=sys.stderr)
    return 1


def changed(picture, ref):
    from PIL import Image, ImageChops
    a, b = (Image.open(p).convert("RGB") for p in (picture, ref))
    box = (0, 40, a.width, a.height)
    return 0 if ImageChops.difference(a.crop(box), b.crop(box)).getbbox() else 1


def green_window(colour_file=None):
    import gi, signal
    gi.require_version("Gtk", "3.0")
    from gi.repository import GLib, Gtk
    w = Gtk.Window(title="greenwin")
    w.set_default_size(1000, 700)
    css = Gtk.CssProvider()
    paint = lambda colour: css.load_from_data(b"window { background-color: #%s; }" % colour)
    paint(b"00c000")
    Gtk.StyleContext.add_provider_for_screen(w.get_screen(), css, Gtk.STYLE_PROVIDER_PRIORITY_USER)
    if colour_file:
        GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGUSR1,
                             lambda: paint(open(colour_file, "rb").read().strip()) or True)
    w.connect("destroy", Gtk.main_quit)
    w.show_all()
    Gtk.main()
    return 0


if __name__ == "__main__":
    what, args = sys.argv[1], sys.argv[2:]
    if what == "pixel":
        from PIL import Image
        print("%02x%02x%02x" % Image.open(args[0]).convert("RGB").getpixel((int(args[1]), int(args[2]))))
        sys.exit(0)
    sys.exit({"mutter-frame": lambda: mutter_frame(args[0]), "kwin-shot": lambda: kwin_shot(*args),
              "keys": lambda: keys(args), "same": lambda: same(args[0], args[1:]),
              "changed": lambda: changed(*args),
              "green-window": lambda: green_window(*args)}[what]())
