"""What the AT-SPI checks share, and the panel's other windows read through it.

The port chooser (Ctrl+P) and the trend window (Ctrl+T) as Orca reads them:
their trees, names and roles. check_panel.py reads the main window.
"""
import os
import re
import time

import pyatspi
from gi.repository import GLib

R = pyatspi
TEXT_ROLES = {R.ROLE_TEXT, R.ROLE_ENTRY, R.ROLE_PASSWORD_TEXT}
LABEL_ROLES = {R.ROLE_LABEL, R.ROLE_STATUS_BAR, R.ROLE_STATIC}
FRAME_ROLES = {R.ROLE_PANEL, R.ROLE_FILLER, R.ROLE_GROUPING, R.ROLE_SECTION}
TOGGLE_ROLES = {R.ROLE_TOGGLE_BUTTON, R.ROLE_CHECK_BOX}
# What must carry a name: what can be operated and the lines that report.
NAMED_ROLES = TEXT_ROLES | LABEL_ROLES | {R.ROLE_PUSH_BUTTON, R.ROLE_TOGGLE_BUTTON, R.ROLE_COMBO_BOX,
                                         R.ROLE_LIST, R.ROLE_CHECK_BOX}

# Names a screen reader user is told, and the roles they must come with.
MAIN_EXPECTED = [
    # The lines carry what they show: "Status: Found: DUTY01" (a name ending in ": " is a prefix).
    ("Status: ", LABEL_ROLES),
    ("Device: ", LABEL_ROLES),
    ("Set duty cycle to 50 %", {R.ROLE_PUSH_BUTTON}),
    ("Duty cycle and frequency", FRAME_ROLES),
    ("PWM frequency presets", FRAME_ROLES),
    ("Duty cycle reported by the device: ", LABEL_ROLES),
    ("Duty cycle to send, 0 to 100 %", TEXT_ROLES),
    ("PWM frequency preset 3: 980 Hz", TOGGLE_ROLES),  # checked while the device uses it
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
    ("Pause", TOGGLE_ROLES),
    ("Clear", {R.ROLE_PUSH_BUTTON}),
    ("Save image", {R.ROLE_PUSH_BUTTON}),
    ("Export CSV", {R.ROLE_PUSH_BUTTON}),
    ("Span", {R.ROLE_COMBO_BOX}),
    ("View", {R.ROLE_COMBO_BOX}),
    ("Series shown", {R.ROLE_LIST, R.ROLE_LIST_BOX, R.ROLE_TABLE, R.ROLE_TREE}),
    ("Trend chart", {R.ROLE_CHART}),
]
CHOOSER_EXPECTED = [
    ("Serial ports present", {R.ROLE_TREE, R.ROLE_TREE_TABLE, R.ROLE_TABLE, R.ROLE_LIST}),
    ("Device path", TEXT_ROLES),
    ("Find the device", {R.ROLE_PUSH_BUTTON}),
    ("Choose this port", {R.ROLE_PUSH_BUTTON}),
    ("Cancel", {R.ROLE_PUSH_BUTTON}),
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
        marks = ["checked"] if states.contains(R.STATE_CHECKED) else []
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
    def named(a):
        return spoken_name(a).startswith(name) if name.endswith(": ") else spoken_name(a) == name
    return [a for a in find(acc, named) if showing(a)]


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
        if not found:
            fail(f'{title}: no shown control named "{name}"')
        elif found[0].getRole() not in roles:
            fail(f'{title}: "{name}" is a {found[0].getRoleName()}')


def find_app(pid):
    desktop = R.Registry.getDesktop(0)
    for app in (desktop.getChildAtIndex(i) for i in range(desktop.childCount)):
        try:
            # By its name, and the process this script started.
            if app is not None and app.name == "pwm-panel" and app.get_process_id() == pid:
                return app
        except GLib.Error:
            continue
    return None


def buttons(window, pattern):
    return [a for a in find(window, lambda a: a.getRole() == R.ROLE_PUSH_BUTTON
                            and re.search(pattern, a.name or "")) if showing(a)]


def checked_presets(window):
    return [a.name for a in find(window, lambda a: "preset" in (a.name or "").lower()
                                 and a.getState().contains(R.STATE_CHECKED))]


def listen_for(words):
    """Every name or text change carrying `words`, as (event type, source role)."""
    heard = []

    def hear(event):
        source = event.source
        try:
            # A name or text change carries the new words; a visible data
            # change only says to read the line again.
            carried = event.any_data if isinstance(event.any_data, str) else ""
            if event.type.startswith("object:property-change:accessible-name"):
                carried = source.name or ""  # Qt's bridge may pass the name in a form pyatspi does not unpack
            if event.type.startswith("object:visible-data-changed"):
                text = source.queryText() if "Text" in source.get_interfaces() else None
                carried = " ".join([source.name or "", text.getText(0, -1) if text else ""])
            if words in carried:
                heard.append((event.type, source.getRole()))
        except GLib.Error:
            pass

    R.Registry.registerEventListener(hear, "object:property-change:accessible-name", "object:text-changed",
                                     "object:visible-data-changed")
    return heard


def listen_for_notifications():
    """The names of the notifications that show: what the panel announces wherever the focus is."""
    said = []

    def hear(event):
        try:
            if event.detail1 and event.source.getRole() == R.ROLE_NOTIFICATION:
                said.append(event.source.name or "")
        except GLib.Error:
            pass

    R.Registry.registerEventListener(hear, "object:state-changed:showing")
    return said


def open_window(app, main_window, keycode, title):
    """Ctrl+<key> as a user presses it; the window whose title starts with title, or None."""
    # No window manager hands out the focus: a click in the window's corner
    # makes it the active one, as it would be on a desktop.
    box = main_window.queryComponent().getExtents(R.DESKTOP_COORDS)
    R.Registry.generateMouseEvent(box.x + 1, box.y + 1, "b1c")
    pump(0.5)
    R.Registry.generateKeyboardEvent(37, None, R.KEY_PRESS)  # Control_L
    R.Registry.generateKeyboardEvent(keycode, None, R.KEY_PRESSRELEASE)
    R.Registry.generateKeyboardEvent(37, None, R.KEY_RELEASE)

    def window():
        return next((w for w in (app.getChildAtIndex(i) for i in range(app.childCount))
                     if (w.name or "").startswith(title)), None)

    pump(5, window)
    return window()


def open_window_gone(app, title):
    windows = (app.getChildAtIndex(i) for i in range(app.childCount))
    return all(w is None or not (w.name or "").startswith(title) for w in windows)



def check_other_windows(app, main_window):
    chooser = open_window(app, main_window, 33, "Port for")  # Ctrl+P
    if chooser is None:
        fail("Ctrl+P opened no port chooser")
    else:
        print_tree("port chooser", chooser)
        check_names("port chooser", chooser)
        check_expected("port chooser", chooser, CHOOSER_EXPECTED)
        R.Registry.generateKeyboardEvent(9, None, R.KEY_PRESSRELEASE)  # Escape closes it
        pump(2, lambda: open_window_gone(app, "Port for"))

    trend = open_window(app, main_window, 28, "Trend")  # Ctrl+T
    if trend is None:
        fail("Ctrl+T opened no trend window")
        return
    pump(1.5)  # a repaint or two: the chart's description follows them
    print_tree("trend window", trend)
    check_names("trend window", trend)
    check_expected("trend window", trend, TREND_EXPECTED)
    chart = find_named(trend, "Trend chart")
    if chart and "SV01: latest 50," not in (chart[0].description or ""):
        fail(f'the chart\'s description misses the duty sent: "{chart[0].description}"')


