#!/usr/bin/python3
"""A stand-in file manager for the drag tests: an X window that takes drops as XDND version 5
targets do and saves them through the X direct-save exchange (XdndDirectSave0), the way Thunar,
PCManFM and Nemo do. It also plays the user (XTEST): it presses the button at --press, moves the
pointer in steps to --release (the middle of its own window unless given) and lets go.

It prints what it saw, one fact a line:
  types <the drag's types, space separated>
  name <the name the drag suggested>
  answer <S, E, or none when nothing was dropped on it>
"""
import argparse
import sys
import time

from Xlib import X, display
from Xlib.ext import xtest
from Xlib.protocol import event


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--press", required=True, help="X,Y where the drag starts")
    parser.add_argument("--release", help="X,Y where the button is let go")
    parser.add_argument("--geometry", default="900,100,300,300", help="X,Y,W,H of the window")
    parser.add_argument("--folder", required=True, help="the folder the window shows")
    parser.add_argument("--host", default="", help="the host written into the file URI")
    parser.add_argument("--timeout", type=float, default=20.0)
    args = parser.parse_args()

    d = display.Display()
    screen = d.screen()
    atom = lambda name: d.intern_atom(name)
    gx, gy, gw, gh = (int(v) for v in args.geometry.split(","))
    win = screen.root.create_window(
        gx, gy, gw, gh, 0, screen.root_depth, X.InputOutput, X.CopyFromParent,
        background_pixel=screen.white_pixel, override_redirect=1,
        event_mask=X.StructureNotifyMask | X.PropertyChangeMask)
    win.change_property(atom("XdndAware"), atom("ATOM"), 32, [5])
    win.map()
    d.sync()

    types = []
    answer = None
    dropped = False
    deadline = time.time() + args.timeout

    def send(source, name, data):
        target = d.create_resource_object("window", source)
        target.send_event(event.ClientMessage(window=source, client_type=atom(name), data=(32, data + [0] * (5 - len(data)))))
        d.flush()

    def handle(e):
        nonlocal types, answer, dropped
        if e.type != X.ClientMessage:
            return
        kind = d.get_atom_name(e.client_type)
        data = e.data[1]
        source = data[0]
        if kind == "XdndEnter":
            if data[1] & 1:
                prop = d.create_resource_object("window", source).get_full_property(atom("XdndTypeList"), X.AnyPropertyType)
                found = list(prop.value) if prop else []
            else:
                found = [a for a in data[2:5] if a]
            types = [d.get_atom_name(a) for a in found]
            print("types " + " ".join(types), flush=True)
        elif kind == "XdndPosition":
            accept = 1 if "XdndDirectSave0" in types else 0
            send(source, "XdndStatus", [win.id, accept | 2, 0, 0, atom("XdndActionCopy") if accept else 0])
        elif kind == "XdndDrop":
            dropped = True
            drop_time = data[2]
            source_window = d.create_resource_object("window", source)
            prop = source_window.get_full_property(atom("XdndDirectSave0"), atom("text/plain"))
            name = prop.value.decode("latin-1") if prop else ""
            print("name " + name, flush=True)
            uri = "file://" + args.host + args.folder.rstrip("/") + "/" + name
            source_window.change_property(atom("XdndDirectSave0"), atom("text/plain"), 8, uri.encode("utf-8"))
            win.convert_selection(atom("XdndSelection"), atom("XdndDirectSave0"), atom("LUMO_TEST_ANSWER"), drop_time)
            d.flush()
            while time.time() < deadline:
                if d.pending_events():
                    n = d.next_event()
                    if n.type == X.SelectionNotify:
                        got = win.get_full_property(atom("LUMO_TEST_ANSWER"), X.AnyPropertyType)
                        answer = got.value.decode("latin-1") if got and got.format == 8 else "?"
                        break
                else:
                    time.sleep(0.01)
            send(source, "XdndFinished", [win.id, 1 if answer == "S" else 0, atom("XdndActionCopy")])

    def pump(seconds):
        end = time.time() + seconds
        while time.time() < end:
            while d.pending_events():
                handle(d.next_event())
            time.sleep(0.005)

    pump(0.3)
    px, py = (int(v) for v in args.press.split(","))
    if args.release:
        rx, ry = (int(v) for v in args.release.split(","))
    else:
        rx, ry = gx + gw // 2, gy + gh // 2
    xtest.fake_input(d, X.MotionNotify, x=px, y=py)
    d.sync()
    pump(0.2)
    xtest.fake_input(d, X.ButtonPress, 1)
    d.sync()
    pump(0.2)
    steps = 25
    for i in range(1, steps + 1):
        xtest.fake_input(d, X.MotionNotify, x=px + (rx - px) * i // steps, y=py + (ry - py) * i // steps)
        d.sync()
        pump(0.04)
    # A few small moves over the target, so that a status has come back before the drop.
    for dx in (1, -1, 1):
        xtest.fake_input(d, X.MotionNotify, x=rx + dx, y=ry)
        d.sync()
        pump(0.1)
    xtest.fake_input(d, X.ButtonRelease, 1)
    d.sync()
    released = time.time()
    while answer is None and time.time() < deadline:
        pump(0.05)
        if not dropped and time.time() - released > 3.0:
            break
    print("answer " + (answer if answer is not None else "none"), flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
