"""The running panel's main window read through AT-SPI, as Orca reads it.

Started by run-atspi-test.sh inside its own buses and display. Starts the
panel with its port not there yet, listens for name and text changes and
announcements, then starts the device simulator so that the identification
happens while it listens; prints the tree and checks names, roles, the
status text and the duty value in the lines' names, the 50% button's action,
the settings panel keeping the keyboard (Tab stays in it, a covered button
cannot be pressed), the other windows (atspi_common.py), and last a device
that floods the line: how many events reach a screen reader.
"""
import argparse
import os
import pty
import select
import subprocess
import sys
import time
import tty

import pyatspi
from gi.repository import GLib

from atspi_common import (LABEL_ROLES, MAIN_EXPECTED, PRINT_ONLY, R, SETTINGS_EXPECTED, buttons, check_expected,
                          check_names, check_other_windows, checked_presets, fail, failures, find, find_app,
                          find_named, listen_for, listen_for_notifications, print_tree, pump)


def line_named(window, prefix):
    lines = find_named(window, prefix)
    return lines[0] if lines else None


def check_lines(main_window):
    """The status line's name carries its text, as its text interface reads it."""
    status = line_named(main_window, "Status: ")
    if status is None:
        return fail("no status line named by its text")

    def text():
        return status.queryText().getText(0, -1) if "Text" in status.get_interfaces() else ""

    # The name follows a busy line at most once a second.
    pump(2.5, lambda: status.name == "Status: " + text())
    if status.name != "Status: " + text() or not text():
        fail(f'the status line reads "{status.name}" for the text "{text()}"')


def focused_in(window):
    found = find(window, lambda a: a.getState().contains(R.STATE_FOCUSED))
    return found[0] if found else None


def inside(acc, name):
    while acc is not None:
        if acc.name == name:
            return True
        acc = acc.parent
    return False


def check_covered(main_window, log):
    """Tab stays in the settings panel, and nothing it covers can be pressed."""
    box = main_window.queryComponent().getExtents(R.DESKTOP_COORDS)
    R.Registry.generateMouseEvent(box.x + box.width - 3, box.y + box.height - 3, "b1c")  # on the panel's edge
    pump(0.5)
    stops = []
    for _ in range(9):
        R.Registry.generateKeyboardEvent(23, None, R.KEY_PRESSRELEASE)  # Tab
        pump(0.3)
        focus = focused_in(main_window)
        stops.append(focus.name if focus else None)
        if focus is None or not inside(focus, "Settings"):
            return fail(f"Tab left the settings panel: {stops}")
    print(f"Tab in the settings panel: {stops}")
    covered = find_named(main_window, "Set duty cycle to 100 %")
    if not covered or covered[0].getState().contains(R.STATE_SENSITIVE):
        return fail("the covered 100% button can still be used")
    try:
        covered[0].queryAction().doAction(0)
    except GLib.Error as error:  # refused is as good as ignored
        print(f"the covered 100% button refused the press: {error.message}")
    pump(1.5)
    if "SV01=100" in open(log).read():
        fail("the covered 100% button sent SV01=100")


def flood(link, seconds, heard):
    """A device on a new pty behind the same link that answers, then sends ~1000 changing lines a second."""
    master, slave = pty.openpty()
    tty.setraw(slave)
    if os.path.lexists(link):
        os.unlink(link)
    os.symlink(os.ttyname(slave), link)
    pending, start, sent, flood_from = b"", None, 0, None
    end = time.monotonic() + 20
    while time.monotonic() < end:
        pump(0.01)
        if select.select([master], [], [], 0)[0]:
            pending += os.read(master, 4096)
        while b"\r" in pending:
            command, pending = pending.split(b"\r", 1)
            replies = {b"I?": b"DUTY01\r", b"SV01?": b"SV01=37\r", b"SV02?": b"SV02=3\r"}
            os.write(master, replies.get(command, b""))
            if command == b"I?" and start is None:
                start = time.monotonic() + 2  # after the read-backs
                end = start + seconds + 2
        if start is not None and start <= time.monotonic() < start + seconds:
            if flood_from is None:
                flood_from = len(heard)  # counted from the flood's start
            for _ in range(10):
                os.write(master, f"{('ALPHA', 'BRAVO', 'CHARLIE')[sent % 3]} {sent}\r".encode())
                sent += 1
    os.unlink(link)
    return sent, heard[len(heard) if flood_from is None else flood_from:]


def check_panel(app, start_sim, stop_sim, work, log):
    main_window = app.getChildAtIndex(0)
    # Listening before the device is there: the identification is announced.
    announced = listen_for("Found: DUTY01")
    notified = listen_for_notifications()
    pump(0.5)
    start_sim()
    half = r"(^|\D)50\s?%"
    ready = pump(10, lambda: announced and any(b.getState().contains(R.STATE_SENSITIVE)
                                               for b in buttons(main_window, half)))
    pump(3, lambda: checked_presets(main_window))  # the preset is read back after the duty
    print_tree("main window", main_window)
    if not announced:
        fail('no name or text change on the status line carried "Found: DUTY01"')
    elif not any(role in LABEL_ROLES for _, role in announced):
        fail(f'"Found: DUTY01" came from no label: {announced}')
    elif not PRINT_ONLY:
        print(f'announced: {announced[0][0]} "Found: DUTY01" ({len(announced)} event(s) carried it)')
    if "Found: DUTY01" not in notified and not PRINT_ONLY:
        fail(f"no notification said the device was found: {notified}")
    check_names("main window", main_window)
    check_expected("main window", main_window, MAIN_EXPECTED)
    check_lines(main_window)
    if checked_presets(main_window) != ["PWM frequency preset 3: 980 Hz"]:
        fail(f"the device's preset 3 is not the one checked: {checked_presets(main_window)}")

    if not ready:
        fail("no enabled 50% button after the identification")
    else:
        buttons(main_window, half)[0].queryAction().doAction(0)
        if not pump(5, lambda: os.path.exists(log) and "SV01=50" in open(log).read()):
            fail("the 50% button's action sent no SV01=50")
        duty = lambda: line_named(main_window, "Duty cycle reported by the device: ")
        if not pump(3, lambda: duty() is not None and duty().name.endswith(": 50")):
            fail(f'the duty line does not read the 50 confirmed: "{duty().name if duty() else None}"')
        if not pump(2, lambda: "Duty cycle 50 %" in notified):
            fail(f"the duty confirmed was not announced: {notified}")

    # The settings panel, opened as a screen reader user would.
    set_buttons = buttons(main_window, r"^Set\b|[Ss]ettings")
    if not set_buttons:
        fail("no button opens the settings")
    else:
        set_buttons[0].queryAction().doAction(0)
        pump(3, lambda: find_named(main_window, "COM port number"))
        print_tree("main window, settings open", main_window)
        check_names("settings", main_window)
        check_expected("settings", main_window, SETTINGS_EXPECTED)
        check_covered(main_window, log)

    check_other_windows(app, main_window)

    # A device flooding the line: 9,954 text changes in 10 s reached a screen reader.
    if PRINT_ONLY:
        return
    stop_sim()
    status_names = []

    def hear(event):
        try:
            role = event.source.getRole()
            if role == R.ROLE_STATUS_BAR or role == R.ROLE_NOTIFICATION and "showing" in event.type:
                status_names.append(event.type)
        except GLib.Error:
            pass

    R.Registry.registerEventListener(hear, "object:property-change:accessible-name", "object:text-changed",
                                     "object:state-changed:showing")
    sent, heard = flood(os.path.join(work, "com200"), 3, status_names)
    print(f"flood: {sent} lines sent in 3 s, {len(heard)} event(s) for a screen reader")
    # A few a second at most (the line's name, an announcement), for the flood and its last line after it.
    if sent < 1000 or not heard or len(heard) > 3 * (3 + 2):
        fail(f"a flood of {sent} lines sent {len(heard)} events")


def main():
    args = argparse.ArgumentParser()
    for name in ("--panel", "--sim", "--work"):
        args.add_argument(name, required=True)
    opts = args.parse_args()
    log = os.path.join(opts.work, "device.log")
    print(f"# the accessible tree of {os.path.realpath(opts.panel)}", flush=True)
    errors = os.path.join(opts.work, "panel.err")
    panel = subprocess.Popen([opts.panel], cwd=opts.work, stdout=subprocess.DEVNULL, stderr=open(errors, "w"))
    children = [panel]

    def start_sim():  # the port appears only once the panel is listened to
        children.append(subprocess.Popen(
            [opts.sim, "--link", opts.work, "--com", "200", "--duty", "20", "--preset", "3", "--log", log,
             "--exit-with", str(os.getpid())], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    try:
        # A sanitized build on a busy machine may take several seconds to start.
        if not pump(30, lambda: find_app(panel.pid) is not None):
            print("FAIL: the panel did not appear on the accessibility bus", file=sys.stderr)
            print(open(errors).read(), file=sys.stderr)
            return 1
        app = find_app(panel.pid)
        if not pump(5, lambda: app.childCount > 0):
            print("FAIL: the panel shows no window", file=sys.stderr)
            return 1
        def stop_sim():
            children[1].terminate()
            children[1].wait(5)

        check_panel(app, start_sim, stop_sim, opts.work, log)
    finally:
        for child in children:
            child.terminate()
            try:
                child.wait(5)
            except subprocess.TimeoutExpired:
                child.kill()
    if failures:
        print(f"{len(failures)} failure(s)", file=sys.stderr)
        return 1
    if not PRINT_ONLY:
        print("all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
