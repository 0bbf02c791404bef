#!/usr/bin/python3
"""Sets a picture as the wallpaper of the X display in DISPLAY, as desktops do: the root window's
background and the _XROOTPMAP_ID property name the same pixmap, which outlives this program.

    set_wallpaper.py PICTURE      (any format Pillow reads; it is stretched to the screen)
"""
import ctypes
import ctypes.util
import sys

from PIL import Image


class XImage(ctypes.Structure):
    pass


def main():
    x = ctypes.CDLL(ctypes.util.find_library("X11"))
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x.XDefaultScreen.argtypes = [ctypes.c_void_p]
    x.XRootWindow.restype = ctypes.c_ulong
    x.XRootWindow.argtypes = [ctypes.c_void_p, ctypes.c_int]
    for name in ("XDisplayWidth", "XDisplayHeight", "XDefaultDepth"):
        getattr(x, name).argtypes = [ctypes.c_void_p, ctypes.c_int]
    x.XDefaultVisual.restype = ctypes.c_void_p
    x.XDefaultVisual.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x.XCreatePixmap.restype = ctypes.c_ulong
    x.XCreatePixmap.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_uint, ctypes.c_uint,
                                ctypes.c_uint]
    x.XCreateGC.restype = ctypes.c_void_p
    x.XCreateGC.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_void_p]
    x.XCreateImage.restype = ctypes.POINTER(XImage)
    x.XCreateImage.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                               ctypes.c_int, ctypes.c_char_p, ctypes.c_uint, ctypes.c_uint,
                               ctypes.c_int, ctypes.c_int]
    x.XPutImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_void_p,
                            ctypes.POINTER(XImage), ctypes.c_int, ctypes.c_int, ctypes.c_int,
                            ctypes.c_int, ctypes.c_uint, ctypes.c_uint]
    x.XSetWindowBackgroundPixmap.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong]
    x.XClearWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    x.XInternAtom.restype = ctypes.c_ulong
    x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x.XChangeProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_ulong,
                                  ctypes.c_int, ctypes.c_int, ctypes.c_void_p, ctypes.c_int]
    x.XSetCloseDownMode.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x.XCloseDisplay.argtypes = [ctypes.c_void_p]

    dpy = x.XOpenDisplay(None)
    if not dpy:
        sys.exit("set_wallpaper: cannot open the display")
    screen = x.XDefaultScreen(dpy)
    root = x.XRootWindow(dpy, screen)
    width, height = x.XDisplayWidth(dpy, screen), x.XDisplayHeight(dpy, screen)
    if x.XDefaultDepth(dpy, screen) != 24:
        sys.exit("set_wallpaper: the display is not 24 bits deep")

    picture = Image.open(sys.argv[1]).convert("RGB").resize((width, height))
    pixels = picture.tobytes("raw", "BGRX")  # 32 bits per pixel, least significant byte first
    pixmap = x.XCreatePixmap(dpy, root, width, height, 24)
    gc = x.XCreateGC(dpy, pixmap, 0, None)
    buffer = ctypes.create_string_buffer(pixels, len(pixels))
    image = x.XCreateImage(dpy, x.XDefaultVisual(dpy, screen), 24, 2, 0,  # ZPixmap
                           ctypes.cast(buffer, ctypes.c_char_p), width, height, 32, 0)
    x.XPutImage(dpy, pixmap, gc, image, 0, 0, 0, 0, width, height)
    x.XSetWindowBackgroundPixmap(dpy, root, pixmap)
    x.XClearWindow(dpy, root)
    pixmap_atom = x.XInternAtom(dpy, b"PIXMAP", 0)
    value = ctypes.c_ulong(pixmap)
    for name in (b"_XROOTPMAP_ID", b"ESETROOT_PMAP_ID"):
        x.XChangeProperty(dpy, root, x.XInternAtom(dpy, name, 0), pixmap_atom, 32, 0,
                          ctypes.byref(value), 1)
    # The pixmap stays when this program ends; the image's memory is Python's, not Xlib's.
    x.XSetCloseDownMode(dpy, 1)  # RetainPermanent
    x.XCloseDisplay(dpy)


if __name__ == "__main__":
    main()
