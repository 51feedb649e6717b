"""The running panel read through AT-SPI, as Orca reads it.

Started by run-atspi-test.sh inside its own buses and display. Starts the
panel with its port not there yet, listens for name and text changes, then
starts the device simulator so that the identification happens while it
listens; prints the tree and checks names, roles, the 50% button's action
and the trend window (opened with Ctrl+T).
"""
import argparse
import os
import re
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

R = pyatspi
TEXT_ROLES = {R.ROLE_TEXT, R.ROLE_ENTRY, R.ROLE_PASSWORD_TEXT}
LABEL_ROLES = {R.ROLE_LABEL, R.ROLE_STATUS_BAR, R.ROLE_STATIC}
FRAME_ROLES = {R.ROLE_PANEL, R.ROLE_FILLER, R.ROLE_GROUPING, R.ROLE_SECTION}
# What must carry a name: what can be operated and the lines that report.
NAMED_ROLES = TEXT_ROLES | LABEL_ROLES | {R.ROLE_PUSH_BUTTON, R.ROLE_TOGGLE_BUTTON, R.ROLE_COMBO_BOX,
                                         R.ROLE_LIST, R.ROLE_CHECK_BOX}

# Names a screen reader user is told, and the roles they must come with.
MAIN_EXPECTED = [
    ("Status", LABEL_ROLES),
    ("Device", LABEL_ROLES),
    ("Set duty cycle to 50 %", {R.ROLE_PUSH_BUTTON}),
    ("Duty cycle and frequency", FRAME_ROLES),
    ("PWM frequency presets", FRAME_ROLES),
    ("Duty cycle reported by the device", LABEL_ROLES),
    ("Duty cycle to send, 0 to 100 %", TEXT_ROLES),
    (re.compile(r"^PWM frequency preset 3: 980 Hz$"), {R.ROLE_PUSH_BUTTON, R.ROLE_TOGGLE_BUTTON, R.ROLE_CHECK_BOX}),
]
SETTINGS_EXPECTED = [
    ("Connection", FRAME_ROLES),
    ("COM port number", TEXT_ROLES),
    ("Baud rate", TEXT_ROLES),
    ("Device password", TEXT_ROLES),
    ("Sample time (s)", TEXT_ROLES),
    ("Expected application code", TEXT_ROLES),
]
TREND_EXPECTED = [
    ("Pause", {R.ROLE_PUSH_BUTTON, R.ROLE_TOGGLE_BUTTON, R.ROLE_CHECK_BOX}),
    ("Clear", {R.ROLE_PUSH_BUTTON}),
    ("Save image", {R.ROLE_PUSH_BUTTON}),
    ("Export CSV", {R.ROLE_PUSH_BUTTON}),
    ("Span", {R.ROLE_COMBO_BOX}),
    ("View", {R.ROLE_COMBO_BOX}),
    ("Series shown", {R.ROLE_LIST, R.ROLE_LIST_BOX, R.ROLE_TABLE, R.ROLE_TREE}),
    ("Trend chart", {R.ROLE_IMAGE, R.ROLE_CHART, R.ROLE_CANVAS, R.ROLE_FILLER, R.ROLE_PANEL}),
]

failures = []
# Only the trees, for comparing one build with another.
PRINT_ONLY = os.environ.get("PWM_ATSPI_PRINT_ONLY") == "1"


def fail(message):
    if not PRINT_ONLY:
        failures.append(message)
        print("FAIL: " + message, flush=True)


def pump(seconds, until=lambda: False):
    """Runs the event loop (events arrive through it) until `until` holds or time is up."""
    context = GLib.MainContext.default()
    end = time.monotonic() + seconds
    while True:
        while context.pending():
            context.iteration(False)
        if until():
            return True
        if time.monotonic() >= end:
            return False
        time.sleep(0.02)


def walk(acc, depth=0):
    yield depth, acc
    for i in range(acc.childCount):
        child = acc.getChildAtIndex(i)
        if child is not None:
            yield from walk(child, depth + 1)


def showing(acc):
    return acc.getState().contains(R.STATE_SHOWING)


def print_tree(title, acc):
    print(f"--- {title}", flush=True)
    for depth, a in walk(acc):
        states = a.getState()
        marks = [m for m, s in (("checked", R.STATE_CHECKED), ("disabled", None)) if s and states.contains(s)]
        if not states.contains(R.STATE_SENSITIVE) and a.getRole() != R.ROLE_FRAME:
            marks.append("disabled")
        if not states.contains(R.STATE_SHOWING):
            marks.append("hidden")
        line = "  " * depth + f'{a.getRoleName()} "{a.name}"'
        if spoken_name(a) != (a.name or ""):
            line += f' labelled="{spoken_name(a)}"'
        if a.description:
            line += f' desc="{a.description}"'
        if marks:
            line += " [" + ", ".join(marks) + "]"
        print(line, flush=True)


def spoken_name(acc):
    """What a screen reader names it by: a combo box is named by its choice and labelled by a buddy."""
    if acc.getRole() != R.ROLE_COMBO_BOX:
        return acc.name or ""
    for relation in acc.getRelationSet():
        if relation.getRelationType() == R.RELATION_LABELLED_BY:
            for i in range(relation.getNTargets()):
                label = (relation.getTarget(i).name or "").replace("&", "").rstrip(": ")
                if label:
                    return label
    return ""


def find(acc, test):
    return [a for _, a in walk(acc) if test(a)]


def find_named(acc, name):
    match = name.search if isinstance(name, re.Pattern) else (lambda n: n == name)
    return [a for a in find(acc, lambda a: match(spoken_name(a))) if showing(a)]


def check_names(title, window):
    """Every shown control that can be operated or reports something has a name of its own."""
    controls = [a for _, a in walk(window) if a.getRole() in NAMED_ROLES and showing(a)]
    seen = {}
    for a in controls:
        name = spoken_name(a).strip()
        if not name:
            fail(f"{title}: a {a.getRoleName()} without a name")
        else:
            seen.setdefault(name, []).append(a.getRoleName())
    for name, roles in seen.items():
        if len(roles) > 1:
            fail(f'{title}: {len(roles)} controls named "{name}" ({", ".join(roles)})')
    for _, a in walk(window):
        if a.getRole() == R.ROLE_FRAME and a is not window:
            fail(f'{title}: a frame role inside the window ("{a.name}")')


def check_expected(title, window, expected):
    for name, roles in expected:
        found = find_named(window, name)
        shown = name.pattern if isinstance(name, re.Pattern) else name
        if not found:
            fail(f'{title}: no shown control named "{shown}"')
        elif found[0].getRole() not in roles:
            fail(f'{title}: "{shown}" is a {found[0].getRoleName()}')


def find_app(pid):
    desktop = R.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        try:
            if app is not None and app.get_process_id() == pid:
                return app
        except GLib.Error:
            continue
    return None


def windows(app):
    return [app.getChildAtIndex(i) for i in range(app.childCount)]


def main():
    args = argparse.ArgumentParser()
    args.add_argument("--panel", required=True)
    args.add_argument("--sim", required=True)
    args.add_argument("--work", required=True)
    opts = args.parse_args()
    log = os.path.join(opts.work, "device.log")
    print(f"# the accessible tree of {os.path.realpath(opts.panel)}", flush=True)

    panel = subprocess.Popen([opts.panel], cwd=opts.work, stdout=subprocess.DEVNULL,
                             stderr=open(os.path.join(opts.work, "panel.err"), "w"))
    sim = None
    try:
        app = None
        if not pump(10, lambda: find_app(panel.pid) is not None):
            desktop = R.Registry.getDesktop(0)
            seen = [desktop.getChildAtIndex(i).name for i in range(desktop.childCount)]
            print(f"FAIL: the panel did not appear on the accessibility bus (there: {seen})", file=sys.stderr)
            print(open(os.path.join(opts.work, "panel.err")).read(), file=sys.stderr)
            return 1
        app = find_app(panel.pid)
        if not pump(5, lambda: app.childCount > 0):
            print("FAIL: the panel shows no window", file=sys.stderr)
            return 1
        main_window = app.getChildAtIndex(0)

        # Listening before the device is there: the identification is announced.
        announced = []

        def heard(event):
            source = event.source
            try:
                # A name or text change carries the new words; a visible data
                # change only says to read the line again.
                carried = event.any_data if isinstance(event.any_data, str) else ""
                if event.type.startswith("object:visible-data-changed"):
                    text = source.queryText() if "Text" in source.get_interfaces() else None
                    carried = " ".join([source.name or "", text.getText(0, -1) if text else ""])
                if "Found: DUTY01" in carried:
                    announced.append((event.type, source.getRole(), carried))
            except GLib.Error:
                pass

        kinds = ["object:property-change:accessible-name", "object:text-changed",
                 "object:visible-data-changed"]
        R.Registry.registerEventListener(heard, *kinds)
        pump(0.5)

        sim = subprocess.Popen([opts.sim, "--link", opts.work, "--com", "200", "--duty", "20", "--preset", "3", "--log", log,
                                "--exit-with", str(os.getpid())],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

        def buttons(name_re):
            return [a for a in find(main_window, lambda a: a.getRole() == R.ROLE_PUSH_BUTTON
                                    and re.search(name_re, a.name or "")) if showing(a)]

        def enabled(a):
            return a.getState().contains(R.STATE_SENSITIVE)

        def checked_presets():
            return [a.name for a in find(main_window, lambda a: "preset" in (a.name or "").lower()
                                         and a.getState().contains(R.STATE_CHECKED))]

        half = r"(^|\D)50\s?%"
        ready = pump(10, lambda: announced and any(enabled(b) for b in buttons(half)))
        pump(3, checked_presets)  # the preset is read back after the duty
        print_tree("main window", main_window)

        if not announced:
            fail("no name or text change on the status line carried \"Found: DUTY01\"")
        elif not any(role in LABEL_ROLES for _, role, _ in announced):
            fail(f"\"Found: DUTY01\" came from no label: {announced}")
        elif not PRINT_ONLY:
            print(f"announced: {announced[0][0]} \"{announced[0][2].strip()}\" "
                  f"({len(announced)} event(s) carried it)", flush=True)
        check_names("main window", main_window)
        check_expected("main window", main_window, MAIN_EXPECTED)
        if checked_presets() != ["PWM frequency preset 3: 980 Hz"]:
            fail(f"the device's preset 3 is not the one checked: {checked_presets()}")

        half_buttons = buttons(half)
        if not ready or not half_buttons:
            fail("no enabled 50% button after the identification")
        else:
            half_buttons[0].queryAction().doAction(0)
            sent = pump(5, lambda: os.path.exists(log) and "SV01=50" in open(log).read())
            if not sent:
                fail("the 50% button's action sent no SV01=50")

        # The settings panel, opened as a screen reader user would.
        set_buttons = buttons(r"^Set\b|[Ss]ettings")
        if not set_buttons:
            fail("no button opens the settings")
        else:
            set_buttons[0].queryAction().doAction(0)
            pump(3, lambda: find_named(main_window, "COM port number"))
            print_tree("main window, settings open", main_window)
            check_names("settings", main_window)
            check_expected("settings", main_window, SETTINGS_EXPECTED)

        # The trend window through its keyboard shortcut.
        before = app.childCount
        # No window manager hands out the focus: a click in the window's
        # corner makes it the active one, as it would be on a desktop.
        box = main_window.queryComponent().getExtents(R.DESKTOP_COORDS)
        R.Registry.generateMouseEvent(box.x + 1, box.y + 1, "b1c")
        pump(0.5)
        R.Registry.generateKeyboardEvent(37, None, R.KEY_PRESS)  # Control_L
        R.Registry.generateKeyboardEvent(28, None, R.KEY_PRESSRELEASE)  # t
        R.Registry.generateKeyboardEvent(37, None, R.KEY_RELEASE)
        trend = None
        if pump(5, lambda: any((w.name or "").startswith("Trend") for w in windows(app))):
            trend = next(w for w in windows(app) if (w.name or "").startswith("Trend"))
        if trend is None:
            fail(f"Ctrl+T opened no trend window ({before} windows before, {app.childCount} after)")
        else:
            pump(1.5)  # a repaint or two: the chart's description follows them
            print_tree("trend window", trend)
            check_names("trend window", trend)
            check_expected("trend window", trend, TREND_EXPECTED)
            chart = find_named(trend, "Trend chart")
            if chart and "SV01" not in (chart[0].description or ""):
                fail(f'the chart\'s description names no series: "{chart[0].description}"')
    finally:
        for process in (panel, sim):
            if process is not None and process.poll() is None:
                process.terminate()
                try:
                    process.wait(5)
                except subprocess.TimeoutExpired:
                    process.kill()
    if failures:
        print(f"{len(failures)} failure(s)", file=sys.stderr)
        return 1
    if not PRINT_ONLY:
        print("all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
