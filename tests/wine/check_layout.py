#!/usr/bin/env python3
"""check_layout.py DRIVER_OUTPUT: checks the wizard's window as the driver's
"layout" step printed it on the first page against dialog 102: caption, size,
window style, and each control's class, position, size, start state and style.

Positions are given in dialog units; the dialog's base units are those that map
its 262 x 147 units onto the client size it has (the font Wine substitutes is
not the one the template names), and each rectangle must then be exactly where
the dialog manager's rounding puts it."""
import re
import sys

CAPTION = "SWK Program (and SWK Internet Explorer addon) Setup"
WIDTH, HEIGHT = 262, 147
WS_POPUP, WS_VISIBLE, WS_DISABLED = 0x80000000, 0x10000000, 0x08000000
WS_CAPTION, WS_SYSMENU, WS_THICKFRAME = 0x00C00000, 0x00080000, 0x00040000
WS_MINIMIZEBOX, WS_MAXIMIZEBOX, DS_MODALFRAME = 0x00020000, 0x00010000, 0x80
BS_TYPE, BS_DEFPUSHBUTTON, BS_ICON, ES_AUTOHSCROLL = 0xF, 0x1, 0x40, 0x80

# id: class, x, y, width, height (dialog units), visible, enabled, style bits that must be set
CONTROLS = {
    1: ("Button", 203, 133, 58, 14, True, True, BS_DEFPUSHBUTTON),
    2: ("Button", 142, 133, 58, 14, True, True, 0),
    1001: ("Edit", 7, 23, 224, 14, True, False, ES_AUTOHSCROLL),
    1002: ("Static", 7, 39, 248, 92, True, True, 0),
    1003: ("Static", 6, 11, 51, 8, True, True, 0),
    1010: ("Static", 233, 23, 20, 14, True, True, 0),
    1009: ("Static", 7, 137, 195, 10, False, True, 0),
    1011: ("Button", 68, 133, 71, 14, False, True, 0),
    1000: ("Button", 233, 23, 20, 14, True, False, BS_ICON),
}


def mul_div(a, b, c):
    return (a * b + c // 2) // c


def main():
    text = open(sys.argv[1], encoding="utf-8").read()
    problems = []
    dialog = re.search(r"layout dialog client=(\d+),(\d+) style=0x([0-9a-f]+) caption=(.*)", text)
    if not dialog:
        print("no layout in the driver's output")
        sys.exit(1)
    client_w, client_h, style, caption = int(dialog[1]), int(dialog[2]), int(dialog[3], 16), dialog[4]
    base_x = [b for b in range(1, 40) if mul_div(WIDTH, b, 4) == client_w]
    base_y = [b for b in range(1, 80) if mul_div(HEIGHT, b, 8) == client_h]
    if not base_x or not base_y:
        print("client size %dx%d fits no base units for %dx%d units" % (client_w, client_h, WIDTH, HEIGHT))
        sys.exit(1)
    bx, by = base_x[0], base_y[0]
    if caption != CAPTION:
        problems.append("caption %r" % caption)
    wanted = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME
    if style & wanted != wanted or style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX):
        problems.append("dialog style 0x%08x" % style)

    seen = {}
    for m in re.finditer(r"layout control id=(\d+) class=(\S+) style=0x([0-9a-f]+) rect=(-?\d+),(-?\d+),(-?\d+),(-?\d+)", text):
        seen[int(m[1])] = (m[2], int(m[3], 16), tuple(int(m[i]) for i in range(4, 8)))
    for id_, (cls, x, y, w, h, visible, enabled, bits) in CONTROLS.items():
        if id_ not in seen:
            problems.append("control %d missing" % id_)
            continue
        got_cls, got_style, rect = seen[id_]
        left, top = mul_div(x, bx, 4), mul_div(y, by, 8)
        expected = (left, top, left + mul_div(w, bx, 4), top + mul_div(h, by, 8))
        if got_cls.lower() != cls.lower():
            problems.append("control %d class %s" % (id_, got_cls))
        if rect != expected:
            problems.append("control %d at %s, expected %s" % (id_, rect, expected))
        if bool(got_style & WS_VISIBLE) != visible or bool(got_style & WS_DISABLED) == enabled:
            problems.append("control %d style 0x%08x: visible/enabled" % (id_, got_style))
        if bits and (got_style & BS_TYPE if bits == BS_DEFPUSHBUTTON else got_style & bits) != bits:
            problems.append("control %d style 0x%08x lacks 0x%x" % (id_, got_style, bits))
    extra = sorted(set(seen) - set(CONTROLS))
    if extra:
        problems.append("controls not in the template: %s" % extra)
    for p in problems:
        print(p)
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
