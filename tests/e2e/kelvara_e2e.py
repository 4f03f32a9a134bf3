#!/usr/bin/env python3
"""End-to-end tests: real Windows programs in Wine's shared desktop, driven like a user would.

Input is real X11 input (xdotool for keys and the mouse, xclip for the clipboard); what the
programs show is read by kelvara-probe.exe, a small Win32 program running in the same Wine
prefix that prints the windows' state as JSON. Conditions are awaited by polling the probe, never
by long fixed sleeps. Each case ends its programs by closing their windows (or, failing that, by
their process ids), keeps screenshots in the artifacts folder and waits for the Wine server to go
idle, so the next case starts on an empty desktop.

Run by ctest inside scripts/wine-env.sh's environment (DISPLAY and WINEPREFIX set):
    kelvara_e2e.py --bin build/win/bin --artifacts build/win/e2e-artifacts --case NAME
    kelvara_e2e.py --list
Python 3 standard library only.
"""

import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import traceback

SCREEN_WIDTH, SCREEN_HEIGHT = 1024, 768
TASKBAR_Y = 758  # middle of Wine's taskbar in a 1024 x 768 shell desktop

TEST_WINDOW = "Kelvara E2E Test Window"
MAIN_WINDOW = "Kelvara Dictionary"


class Failure(Exception):
    """A case's expectation that did not hold; the message says what was seen."""


class Fatal(Failure):
    """A failure that no amount of waiting can mend (the program has ended)."""


# ---------------------------------------------------------------------------------------------
# The desktop: input, probe, screenshots


class Desktop:
    def __init__(self, bin_dir, artifacts, case, data=None):
        self.bin_dir = os.path.abspath(bin_dir)
        self.data = os.path.abspath(data) if data else None
        self.artifacts = artifacts
        self.case = case
        self.shots = 0
        self.helpers = []  # our own background processes (xclip), ended by pid
        os.makedirs(artifacts, exist_ok=True)
        for var in ("DISPLAY", "WINEPREFIX"):
            if not os.environ.get(var):
                raise Failure("%s is not set: run through scripts/test.sh or wine_env_start" % var)

    # -- the probe

    def probe(self, *args, timeout=60):
        """Runs kelvara-probe with the arguments and returns its JSON answer."""
        exe = os.path.join(self.bin_dir, "kelvara-probe.exe")
        for attempt in range(3):
            # Files, not pipes: a Wine process started along the way (the desktop, the server)
            # inherits the probe's output handles and would hold a pipe open long after the
            # probe has ended.
            with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
                done = subprocess.run(["wine", exe] + [str(a) for a in args], stdout=out,
                                      stderr=err, timeout=timeout)
                out.seek(0)
                err.seek(0)
                text = out.read().decode("utf-8", "replace").strip()
                problem = err.read().decode("utf-8", "replace")[-500:]
            if text:
                try:
                    return json.loads(text.splitlines()[-1])
                except json.JSONDecodeError:
                    pass
            time.sleep(0.2 * (attempt + 1))
        raise Failure("kelvara-probe %s gave no JSON (exit %d): %s" %
                      (" ".join(map(str, args)), done.returncode, problem))

    def state(self, title):
        return self.probe("state", title)

    def wait_for(self, what, condition, timeout=10.0, interval=0.15, shoot=True):
        """Polls condition() until it returns something true; returns that value. A timeout
        keeps a screenshot unless the caller expects one (shoot=False)."""
        deadline = time.monotonic() + timeout
        last = None
        while True:
            try:
                last = condition()
            except Fatal:
                raise
            except Failure as e:
                last = e
            if last and not isinstance(last, Failure):
                return last
            if time.monotonic() > deadline:
                if shoot:
                    self.screenshot("timeout")  # while the programs still show what went wrong
                raise Failure("timed out after %.1f s waiting for %s (last seen: %r)" %
                              (timeout, what, last))
            time.sleep(interval)

    def wait_window(self, title, timeout=15.0, visible=True, program=None):
        def shown():
            if program and not program.running():
                raise Fatal("the program ended (code %r) before showing %r; see %s" %
                              (program.process.returncode, title, program.log.name))
            s = self.state(title)
            return s if s.get("found") and (s.get("visible") or not visible) else None
        return self.wait_for("window %r" % title, shown, timeout)

    def wait_no_window(self, title, timeout=10.0):
        self.wait_for("window %r to go" % title,
                      lambda: not self.state(title).get("found"), timeout)

    # -- input

    def xdo(self, *args):
        subprocess.run(["xdotool"] + [str(a) for a in args], check=True, timeout=60)

    def move(self, x, y):
        # Not "mousemove --sync": it waits for a motion event, and there is none when the
        # pointer already stands there.
        self.xdo("mousemove", x, y)
        time.sleep(0.1)

    def click(self, x, y, button=1):
        self.move(x, y)
        self.xdo("click", button)

    def double_click(self, x, y, button=1):
        self.move(x, y)
        self.xdo("click", "--repeat", 2, "--delay", 80, button)

    def click_control(self, control, dx=None, dy=None):
        r = control["screen"]
        self.click(r["left"] + (dx if dx is not None else r["width"] // 2),
                   r["top"] + (dy if dy is not None else r["height"] // 2))

    def type_text(self, text, delay_ms=60):
        self.xdo("type", "--delay", delay_ms, "--", text)

    def key(self, *keys):
        self.xdo("key", "--delay", 60, *keys)

    def drag(self, x0, y0, x1, y1, steps=6):
        """A press, a few moves and a release, with pauses the window manager needs."""
        self.move(x0, y0)
        time.sleep(0.2)
        self.xdo("mousedown", 1)
        time.sleep(0.3)
        for k in range(1, steps + 1):
            self.xdo("mousemove", x0 + (x1 - x0) * k // steps, y0 + (y1 - y0) * k // steps)
            time.sleep(0.1)
        time.sleep(0.3)
        self.xdo("mouseup", 1)
        time.sleep(0.3)

    def park_mouse(self):
        """Moves the pointer where it hovers over nothing (no tooltips, no hot buttons)."""
        self.move(SCREEN_WIDTH // 2, SCREEN_HEIGHT // 2 + 100)

    # -- clipboard

    def set_clipboard(self, text):
        """Offers text on the X11 clipboard; xclip stays until Wine takes the selection."""
        helper = subprocess.Popen(["xclip", "-selection", "clipboard", "-quiet"],
                                  stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL)
        helper.stdin.write(text.encode("utf-8"))
        helper.stdin.close()
        self.helpers.append(helper)

    def get_clipboard(self):
        done = subprocess.run(["xclip", "-o", "-selection", "clipboard"], capture_output=True,
                              timeout=10)
        return done.stdout.decode("utf-8", "replace") if done.returncode == 0 else None

    # -- notification area

    def tray_tips(self, max_icons=6):
        """Hovers over each notification-area slot from the right; returns the tips shown."""
        tips = []
        for k in range(max_icons):
            x = SCREEN_WIDTH - 10 - 20 * k
            self.move(x, TASKBAR_Y)
            self.move(x + 1, TASKBAR_Y - 1)

            def shown():
                return [t for t in self.probe("tooltips")
                        if t["visible"] and t["owner_class"] == "Shell_TrayWnd" and t["title"]]
            try:
                tip = self.wait_for("a tray tip", shown, timeout=3.0, shoot=False)
            except Failure:
                break
            tips.append(tip[0]["title"])
            self.park_mouse()
            self.wait_for("the tip to go", lambda: not any(
                t["visible"] and t["owner_class"] == "Shell_TrayWnd" for t in self.probe("tooltips")),
                timeout=5.0)
        self.park_mouse()
        return tips

    def tray_icon_point(self, tip):
        """The screen point of the tray icon whose tip is `tip`."""
        for k in range(6):
            x = SCREEN_WIDTH - 10 - 20 * k
            self.move(x, TASKBAR_Y)
            self.move(x + 1, TASKBAR_Y - 1)
            try:
                self.wait_for("a tray tip", lambda: [
                    t for t in self.probe("tooltips")
                    if t["visible"] and t["owner_class"] == "Shell_TrayWnd" and t["title"] == tip],
                    timeout=3.0, shoot=False)
                return x, TASKBAR_Y
            except Failure:
                continue
        raise Failure("no tray icon with the tip %r" % tip)

    # -- evidence

    def screenshot(self, label):
        self.shots += 1
        path = os.path.join(self.artifacts, "%s-%02d-%s.png" % (self.case, self.shots, label))
        subprocess.run(["import", "-window", "root", path], capture_output=True, timeout=30)
        return path

    def end_helpers(self):
        for helper in self.helpers:
            if helper.poll() is None:
                helper.terminate()
                try:
                    helper.wait(5)
                except subprocess.TimeoutExpired:
                    helper.kill()
        self.helpers = []


def wine_processes():
    """The processes of our Wine prefix still alive (Linux /proc), for the report."""
    prefix = os.environ.get("WINEPREFIX", "")
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/environ" % pid, "rb") as f:
                env = f.read().split(b"\0")
            if ("WINEPREFIX=" + prefix).encode() not in env:
                continue
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                found.append("%s %s" % (pid, f.read().replace(b"\0", b" ").decode("utf-8",
                                                                                  "replace")))
        except OSError:
            continue
    return found


# Wine's own background processes; they stay while the server does.
WINE_SYSTEM_PROGRAMS = {"explorer.exe", "services.exe", "winedevice.exe", "plugplay.exe",
                        "svchost.exe", "rpcss.exe", "conhost.exe"}


def wine_programs_left():
    """Wine processes of the prefix other than the server and Wine's background programs."""
    left = []
    for entry in wine_processes():
        pid, _, command = entry.partition(" ")
        try:
            # Run by Wine's loader; not a helper of ours that inherited the prefix's variable.
            if "wine" not in os.path.basename(os.readlink("/proc/%s/exe" % pid)):
                continue
        except OSError:
            continue
        program = command.split(" ")[0].replace("\\", "/").rsplit("/", 1)[-1].lower()
        try:
            with open("/proc/%s/stat" % pid) as f:
                if f.read().rpartition(")")[2].split()[0] == "Z":
                    continue  # ended, waiting for its parent to notice
        except OSError:
            continue
        if program in WINE_SYSTEM_PROGRAMS or program.startswith("wineserver"):
            continue
        left.append(entry)
    return left


def wait_wine_idle(timeout=45):
    """Waits until every program of the prefix has ended: all Wine processes and the server,
    or, when the server is kept running (wine-env.sh does that), all but Wine's own background
    programs. When something will not end, the server is stopped (wineserver -k), so the next
    case still starts on an empty desktop, and the case fails naming what was left."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if not wine_programs_left():
            if not os.environ.get("KELVARA_WINESERVER_KEPT"):
                try:
                    subprocess.run(["wineserver", "-w"], timeout=max(1, deadline - time.monotonic()))
                except subprocess.TimeoutExpired:
                    break
            return
        time.sleep(0.05)
    left = wine_processes()
    subprocess.run(["wineserver", "-k"], timeout=30)
    try:
        subprocess.run(["wineserver", "-w"], timeout=30)
    except subprocess.TimeoutExpired:
        pass
    raise Failure("Wine did not go idle within %d s; stopped it. Still running: %s" %
                  (timeout, left))


# ---------------------------------------------------------------------------------------------
# A program under test


class Program:
    def __init__(self, desktop, exe, args=(), cwd=None, title=None):
        self.desktop = desktop
        self.title = title
        # The name of a program given by its Windows path too.
        name = exe.replace("\\", "/").rsplit("/", 1)[-1]
        log = os.path.join(desktop.artifacts, "%s-%s.log" % (desktop.case, name))
        self.log = open(log, "wb")
        self.process = subprocess.Popen(["wine", exe] + list(args), cwd=cwd,
                                        stdout=self.log, stderr=subprocess.STDOUT)

    def running(self):
        return self.process.poll() is None

    def wait_exit(self, timeout=15.0):
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure("the program did not end within %.0f s" % timeout)

    def end(self):
        """Closes the window as a user would; only a program that ignores that is ended by id."""
        if self.running() and self.title:
            try:
                self.desktop.probe("close", self.title)
                self.process.wait(8)
            except (Failure, subprocess.TimeoutExpired):
                pass
        if self.running():
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(5)
        self.log.close()


# ---------------------------------------------------------------------------------------------
# Helpers for the cases


def control(state, cls, index=0, text=None):
    """The index-th child of a class (in creation order), optionally with an exact text."""
    found = [c for c in state["children"] if c["class"].lower() == cls.lower()
             and (text is None or c["text"] == text)]
    if len(found) <= index:
        raise Failure("no %s #%d%s among %s" % (cls, index, "" if text is None else " %r" % text,
                                                [(c["class"], c["text"]) for c in state["children"]]))
    return found[index]


def by_id(state, control_id):
    for c in state["children"]:
        if c["id"] == control_id:
            return c
    raise Failure("no control with id %d" % control_id)


def expect(condition, message, *values):
    if not condition:
        raise Failure(message % values if values else message)


def outer_size(state):
    return state["rect"]["width"], state["rect"]["height"]


def corner(state):
    """A point just inside the bottom-right corner of the window frame."""
    r = state["rect"]
    return r["left"] + r["width"] - 2, r["top"] + r["height"] - 2


# ---------------------------------------------------------------------------------------------
# Cases proving the harness on its own test window

EDIT, LIST, ADD = 101, 102, 103


def start_test_window(d, *args):
    p = Program(d, os.path.join(d.bin_dir, "kelvara-e2e-window.exe"), args, title=TEST_WINDOW)
    try:
        d.wait_window(TEST_WINDOW, program=p)
    except BaseException:
        p.end()  # the case never got hold of it
        raise
    return p


def case_harness_typing(d, opts):
    """Typed text reaches the focused edit; Persian keys too; the list follows."""
    p = start_test_window(d)
    try:
        s = d.state(TEST_WINDOW)
        d.click_control(by_id(s, EDIT))
        d.type_text("apr")
        s = d.wait_for("the edit to read 'apr'",
                       lambda: (lambda s: s if by_id(s, EDIT)["text"] == "apr" else None)(
                           d.state(TEST_WINDOW)))
        expect(by_id(s, LIST)["selected"] == 1, "apricot not selected: %r", by_id(s, LIST))
        expect(by_id(s, EDIT)["selection"] == [3, 3], "caret not after the text: %r",
               by_id(s, EDIT)["selection"])
        for _ in range(3):
            d.key("BackSpace")
        d.type_text("سی")
        s = d.wait_for("the edit to read the Persian text",
                       lambda: (lambda s: s if by_id(s, EDIT)["text"] == "سی" else None)(
                           d.state(TEST_WINDOW)))
        expect(by_id(s, LIST)["selected"] == 4, "the Persian entry is not selected: %r",
               by_id(s, LIST))
        expect(s["desktop"]["focus"].get("id") == EDIT, "focus is not in the edit: %r",
               s["desktop"]["focus"])
        d.screenshot("typed")
    finally:
        p.end()
    expect(p.process.returncode == 0, "exit code %r", p.process.returncode)


def case_harness_click_item(d, opts):
    """A list entry is clicked with the real mouse at the rectangle the probe reports."""
    p = start_test_window(d)
    try:
        item = d.probe("item-rect", TEST_WINDOW, LIST, 2)
        expect(item["ok"], "no rectangle for item 2: %r", item)
        r = item["screen"]
        d.click(r["left"] + 10, r["top"] + r["height"] // 2)
        s = d.wait_for("the edit to read 'banana'",
                       lambda: (lambda s: s if by_id(s, EDIT)["text"] == "banana" else None)(
                           d.state(TEST_WINDOW)))
        expect(by_id(s, EDIT)["selection"] == [0, 6], "not fully selected: %r",
               by_id(s, EDIT)["selection"])
        expect(by_id(s, LIST)["selected"] == 2, "wrong entry selected")
        d.screenshot("clicked")
    finally:
        p.end()


def case_harness_clipboard(d, opts):
    """Text offered on the X11 clipboard is pasted in Wine; Wine's copy reaches X11."""
    p = start_test_window(d)
    try:
        d.set_clipboard("cherry")
        s = d.state(TEST_WINDOW)
        d.click_control(by_id(s, EDIT))
        d.key("ctrl+v")
        d.wait_for("the pasted text", lambda: by_id(d.state(TEST_WINDOW), EDIT)["text"] == "cherry")
        d.key("shift+Home", "ctrl+c")
        d.wait_for("the copy on the X11 clipboard", lambda: d.get_clipboard() == "cherry")
        d.set_clipboard("واژه")
        d.key("ctrl+v")
        d.wait_for("the pasted Persian text",
                   lambda: by_id(d.state(TEST_WINDOW), EDIT)["text"] == "واژه")
    finally:
        p.end()


def case_harness_resize(d, opts):
    """A corner drag stops at the limiter's minimum; growing works and the controls follow."""
    p = start_test_window(d)
    try:
        s = d.state(TEST_WINDOW)
        x, y = corner(s)
        d.drag(x, y, x + 215, y + 150)
        s = d.wait_for("the window to grow", lambda: (lambda s: s if outer_size(s) == (600, 450)
                                                      else None)(d.state(TEST_WINDOW)), timeout=5)
        expect(by_id(s, EDIT)["rect"]["width"] == s["client"]["width"] - 30,
               "the edit did not follow: %r", by_id(s, EDIT)["rect"])
        d.screenshot("grown")
        x, y = corner(s)
        d.drag(x, y, x - 400, y - 350)
        s = d.wait_for("the window to stop shrinking", lambda: (
            lambda s: s if outer_size(s) == (385, 300) else None)(d.state(TEST_WINDOW)), timeout=5)
        d.screenshot("smallest")
        # Another program's SetWindowPos is held to the same minimum.
        moved = d.probe("resize", TEST_WINDOW, 200, 150)
        expect((moved["rect"]["width"], moved["rect"]["height"]) == (385, 300),
               "a cross-process resize went below the minimum: %r", moved["rect"])
    finally:
        p.end()


def case_harness_tray(d, opts):
    """The tray icon's tip is read by hovering; the icon goes when the program ends."""
    p = start_test_window(d, "--tray")
    try:
        tips = d.tray_tips()
        expect(tips == ["Kelvara test tip واژه"], "tray tips seen: %r", tips)
        d.screenshot("tray")
    finally:
        p.end()
    wait_wine_idle()


def case_harness_close_button(d, opts):
    """A click on the title bar's close button ends the process with code 0."""
    p = start_test_window(d)
    try:
        point = d.probe("caption-button", TEST_WINDOW, "close")
        expect(point["hit"], "no close button found: %r", point)
        d.click(point["x"], point["y"])
        expect(p.wait_exit(10) == 0, "exit code %r", p.process.returncode)
        d.wait_no_window(TEST_WINDOW)
    finally:
        p.end()


def case_harness_error_exit(d, opts):
    """An error message box is read and dismissed; the exit code arrives."""
    p = Program(d, os.path.join(d.bin_dir, "kelvara-e2e-window.exe"), ["--fail"], title=None)
    try:
        box = d.wait_window(TEST_WINDOW)
        expect(box["class"] == "#32770", "not a message box: %r", box["class"])
        texts = [c["text"] for c in box["children"] if c["class"] == "Static"]
        expect("The test window was asked to fail." in texts, "message box texts: %r", texts)
        d.screenshot("message")
        ok = control(box, "Button", text="OK")
        d.click_control(ok)
        expect(p.wait_exit(10) == 3, "exit code %r", p.process.returncode)
    finally:
        p.end()


# ---------------------------------------------------------------------------------------------
# The dictionary's main window

NOT_FOUND = "کلمه مورد نظر يافت نشد."
PRODUCT_TITLE = "واژه نامه کلوارا"
ES_MULTILINE = 0x4
BUTTONS = {"Command1": "بستن", "Command2": "...درباره", "Command3": "تلفظ",
           "Command4": "اختيارات"}
LABELS = {"lblWord": ": واژه", "lblWords": ": (يافته (ها", "lblExp": ": ترجمه"}


class Oracle:
    """What a lookup should show, answered by the native dictionary tool on the same file."""

    def __init__(self, opts):
        self.tool = opts.dict_tool
        self.db = os.path.join(opts.data or "", "Data.db")
        if not self.tool or not os.path.exists(self.tool):
            raise Failure("the native kelvara-dict is needed (--dict-tool)")
        if not os.path.exists(self.db):
            raise Failure("no test dictionary at %s" % self.db)

    def lookup(self, word):
        done = subprocess.run([self.tool, "lookup", self.db, word], capture_output=True,
                              timeout=30)
        if done.returncode != 0:
            raise Failure("kelvara-dict lookup %r failed: %s" % (word, done.stderr))
        out = done.stdout.decode("utf-8")
        # The tool prints a meaning's line breaks as LF; the meaning box holds them as CR LF.
        box = lambda text: text.rstrip("\n").replace("\n", "\r\n")
        if out.startswith("\n"):
            return [], box(out[1:])
        heads, _, meaning = out.partition("\n\n")
        return heads.split("\n"), box(meaning)


def main_controls(state):
    """The main window's controls by their design names, told apart by kind and caption."""
    named = {}
    for c in state["children"]:
        cls = c["class"].lower()
        if cls == "edit":
            named["txtExp" if c["style"] & ES_MULTILINE else "txtWord"] = c
        elif cls == "listbox":
            named["lstWords"] = c
        else:
            for table in (BUTTONS, LABELS):
                for name, caption in table.items():
                    if c["text"] == caption:
                        named[name] = c
    missing = [n for n in ["txtWord", "txtExp", "lstWords"] + list(BUTTONS) + list(LABELS)
               if n not in named]
    if missing:
        raise Failure("controls not found: %s among %r" % (missing, [
            (c["class"], c["text"]) for c in state["children"]]))
    return named


def start_main(d, args=(), cwd=None, exe=None):
    p = Program(d, exe or os.path.join(d.bin_dir, "kelvara.exe"), args, cwd=cwd or d.data,
                title=MAIN_WINDOW)
    try:
        d.wait_window(MAIN_WINDOW, program=p)
    except Failure as e:
        # Most often the program is showing why it cannot start: say what it says.
        said = []
        for w in d.probe("windows"):
            if w["visible"] and w["class"] == "#32770":
                box = d.state("hwnd:%d" % w["hwnd"])
                said.append(" / ".join(c["text"] for c in box.get("children", []) if c["text"]))
        p.end()  # the case never got hold of it
        raise Failure("%s; message boxes shown: %r" % (e, said)) if said else e
    except BaseException:
        p.end()
        raise
    d.watched = p
    return p


def main_until(d, what, predicate, timeout=10.0):
    """Polls the main window until predicate(controls, state) holds; returns the controls."""
    def check():
        p = getattr(d, "watched", None)
        if p and not p.running():
            raise Fatal("the program ended (code %r) while waiting for %s" %
                        (p.process.returncode, what))
        s = d.state(MAIN_WINDOW)
        if not s.get("found"):
            return None
        c = main_controls(s)
        c["_state"] = s
        return c if predicate(c, s) else None
    return d.wait_for(what, check, timeout)


def shows_lookup(oracle, word):
    heads, meaning = oracle.lookup(word)

    def shown(c, s):
        return (c["txtWord"]["text"] == word and c["lstWords"]["count"] == len(heads) and
                c["txtExp"]["text"] == meaning)
    return shown


def type_into_word_box(d, text):
    c = main_controls(d.state(MAIN_WINDOW))
    d.click_control(c["txtWord"], dx=c["txtWord"]["screen"]["width"] - 8)
    d.type_text(text)


def round_half_even(x):
    return round(x)  # Python rounds halves to even


def trunc_div(a, b):
    q = abs(a) // abs(b)
    return q if (a >= 0) == (b > 0) else -q


def scaled(pixels, dpi):
    """Design pixels at a DPI, to the nearest pixel (halves up), as the program scales them."""
    return (pixels * dpi + 48) // 96


def layout_mismatches(c, s, dpi=96):
    """Where the controls stand apart from where the layout should have put them, given the
    client size and the sizes the controls report (their own, or their captions'); at another
    DPI every fixed length of the layout is scaled by DPI/96."""
    S = lambda px: scaled(px, dpi)  # noqa: E731
    sw, sh = s["client"]["width"], s["client"]["height"]
    r = {name: c[name]["rect"] for name in list(BUTTONS) + list(LABELS) +
         ["txtWord", "lstWords", "txtExp"]}
    L = lambda n: r[n]["left"]
    T = lambda n: r[n]["top"]
    W = lambda n: r[n]["width"]
    H = lambda n: r[n]["height"]
    want = {}
    row_top = sh - H("Command1") - S(10)
    left = trunc_div(round_half_even(sw - (W("Command1") + W("Command2") + W("Command3") +
                                           W("Command4") + S(30))), 2)
    want["Command1"] = {"left": left, "top": row_top}
    want["Command2"] = {"left": round_half_even(L("Command1") + W("Command1") + S(10)), "top": row_top}
    want["Command3"] = {"left": round_half_even(L("Command2") + W("Command2") + S(10)), "top": row_top}
    want["Command4"] = {"left": round_half_even(L("Command3") + W("Command3") + S(10)), "top": row_top}
    want["txtWord"] = {"left": S(15), "top": T("lblWord") + H("lblWord") + S(5), "width": sw - S(30)}
    want["lblWords"] = {"top": T("txtWord") + H("txtWord") + S(15), "left": sw - W("lblWords") - S(15)}
    want["lstWords"] = {"left": S(15), "top": T("lblWords") + H("lblWords") + S(5), "width": sw - S(30)}
    want["lblWord"] = {"left": sw - W("lblWord") - S(15)}
    free = round_half_even(sh - (H("lblExp") + T("lstWords") + S(40) + H("Command1")))
    half = trunc_div(free, 2)
    remainder = (half - S(4)) - S(13) * trunc_div(half - S(4), S(13))
    want["lstWords"]["height"] = half - remainder if half - remainder > S(17) else S(17)
    want["lblExp"] = {"left": sw - W("lblExp") - S(15), "top": T("lstWords") + H("lstWords") + S(10)}
    want["txtExp"] = {"left": S(15), "top": T("lblExp") + H("lblExp") + S(5), "width": sw - S(30),
                      "height": (half if free > S(17) else S(17)) + remainder}
    wrong = []
    for name, fields in want.items():
        for field, value in fields.items():
            if r[name][field] != value:
                wrong.append("%s.%s is %d, not %d" % (name, field, r[name][field], value))
    return wrong


def darkest(shot, rect):
    """The darkest grey (0 black, 1 white) inside a screen rectangle of a screenshot."""
    inner = "%dx%d+%d+%d" % (max(rect["width"] - 2, 1), max(rect["height"] - 2, 1),
                             rect["left"] + 1, rect["top"] + 1)
    done = subprocess.run(["convert", shot, "-crop", inner, "-colorspace", "Gray", "-format",
                           "%[fx:minima]", "info:"], capture_output=True, timeout=30)
    return float(done.stdout.decode() or "1")


def blank_captions(d, c, shot):
    """The captions whose rectangle on the screen holds no dark (text) pixel."""
    return [name for name in LABELS if darkest(shot, c[name]["screen"]) > 0.5]


def expect_laid_out(d, label):
    """Waits for the controls to settle where the layout puts them and for the captions to be
    drawn there; keeps the screenshot."""
    last = []

    def settled(c, s):
        last[:] = layout_mismatches(c, s)
        return not last
    try:
        c = main_until(d, "the layout", settled, timeout=5)
    except Failure:
        raise Failure("after %s: %s" % (label, "; ".join(last)))
    # A caption moved but never repainted shows an empty box where its text belongs.
    blank = []
    for attempt in range(4):
        shot = d.screenshot(label if attempt == 0 else "%s-again" % label)
        blank = blank_captions(d, c, shot)
        if not blank:
            return c
        time.sleep(0.5)
    raise Failure("after %s the captions %s are not drawn (see %s)" % (label, blank, shot))


def resize_by_corner(d, width, height):
    s = d.state(MAIN_WINDOW)
    x, y = corner(s)
    w, h = outer_size(s)
    d.drag(x, y, x + width - w, y + height - h)
    return main_until(d, "an outer size of %d x %d" % (width, height),
                      lambda c, s: outer_size(s) == (width, height), timeout=5)


def case_main_typing_a_then_b(d, opts):
    """Typing a, then b, lists the headwords for a, then for ab, with the first meaning."""
    oracle = Oracle(opts)
    p = start_main(d)
    try:
        c = main_until(d, "the window before typing", lambda c, s: True)
        expect(not c["Command3"]["enabled"], "the pronunciation button starts enabled")
        type_into_word_box(d, "a")
        c = main_until(d, "the lookup of 'a'", shows_lookup(oracle, "a"))
        expect(c["Command3"]["enabled"], "pronunciation disabled after a match")
        d.type_text("b")
        c = main_until(d, "the lookup of 'ab'", shows_lookup(oracle, "ab"))
        expect(c["Command3"]["enabled"], "pronunciation disabled after a match")
        expect(c["txtWord"]["selection"] == [2, 2], "caret not after 'ab': %r",
               c["txtWord"]["selection"])
        d.screenshot("ab")
    finally:
        p.end()


def case_main_dropped_keys(d, opts):
    """Digits, quotation marks, Enter and Persian letters never reach the word box, silently."""
    oracle = Oracle(opts)
    p = start_main(d)
    try:
        type_into_word_box(d, "a")
        main_until(d, "the lookup of 'a'", shows_lookup(oracle, "a"))
        d.type_text("5'\"-ب")
        d.key("Return")
        d.type_text("b")  # still typing after the dropped keys: they were really processed
        c = main_until(d, "the lookup of 'ab'", shows_lookup(oracle, "ab"))
        boxes = [w for w in d.probe("windows")
                 if w["visible"] and w["class"] == "#32770" and w["pid"] == c["_state"]["pid"]]
        expect(not boxes, "a message appeared: %r", boxes)
        d.screenshot("dropped")
    finally:
        p.end()


def case_main_click_headword(d, opts):
    """Clicking 'cat' in the list for 'ca' makes it the word, fully selected, and lists 'cat'."""
    oracle = Oracle(opts)
    heads, _ = oracle.lookup("ca")
    expect("cat" in heads, "the test dictionary lost 'cat': %r", heads)
    p = start_main(d)
    try:
        type_into_word_box(d, "ca")
        c = main_until(d, "the lookup of 'ca'", shows_lookup(oracle, "ca"))
        item = d.probe("item-rect", MAIN_WINDOW, c["lstWords"]["id"], heads.index("cat"))
        expect(item.get("ok"), "no rectangle for 'cat': %r", item)
        r = item["screen"]
        d.click(r["left"] + 12, r["top"] + r["height"] // 2)
        c = main_until(d, "the lookup of 'cat'", shows_lookup(oracle, "cat"))
        expect(c["txtWord"]["selection"] == [0, 3], "'cat' is not fully selected: %r",
               c["txtWord"]["selection"])
        d.screenshot("clicked")
        # The next letter replaces the selected word.
        d.click_control(c["txtWord"], dx=c["txtWord"]["screen"]["width"] - 8)
        c = main_until(d, "the focused word box", lambda c, s: True)
        d.type_text("b")
        main_until(d, "the lookup of 'b'", shows_lookup(oracle, "b"))
    finally:
        p.end()


def case_main_delete_whole_word(d, opts):
    """Deleting the whole word keeps the list and meaning and disables pronunciation."""
    oracle = Oracle(opts)
    heads, meaning = oracle.lookup("ab")
    p = start_main(d)
    try:
        type_into_word_box(d, "ab")
        main_until(d, "the lookup of 'ab'", shows_lookup(oracle, "ab"))
        d.key("shift+Home", "BackSpace")
        c = main_until(d, "an empty word box", lambda c, s: c["txtWord"]["text"] == "")
        expect(c["lstWords"]["count"] == len(heads), "the list changed: %d entries",
               c["lstWords"]["count"])
        expect(c["txtExp"]["text"] == meaning, "the meaning changed: %r", c["txtExp"]["text"])
        expect(not c["Command3"]["enabled"], "pronunciation still enabled")
        d.screenshot("emptied")
    finally:
        p.end()


def case_main_no_match(d, opts):
    """A word that matches nothing empties the list and shows the not-found message."""
    oracle = Oracle(opts)
    heads, meaning = oracle.lookup("xyz")
    expect(heads == [] and meaning == NOT_FOUND, "the oracle finds 'xyz': %r %r", heads, meaning)
    p = start_main(d)
    try:
        type_into_word_box(d, "ab")
        main_until(d, "the lookup of 'ab'", shows_lookup(oracle, "ab"))
        d.key("shift+Home", "BackSpace")
        d.type_text("xyz")
        c = main_until(d, "the lookup of 'xyz'", shows_lookup(oracle, "xyz"))
        expect(not c["Command3"]["enabled"], "pronunciation enabled for nothing found")
        d.screenshot("not-found")
    finally:
        p.end()


def case_main_resize_by_corner(d, opts):
    """Dragging the corner to several sizes puts every control where the layout says."""
    p = start_main(d)
    try:
        expect_laid_out(d, "design-size")
        # The window opens centred; these sizes keep its corner above the taskbar.
        for width, height in ((505, 390), (640, 480), (430, 317), (386, 301)):
            resize_by_corner(d, width, height)
            expect_laid_out(d, "%dx%d" % (width, height))
    finally:
        p.end()


def case_main_smallest_size(d, opts):
    """Dragging smaller stops at 385 x 300; another program's resize is held there too."""
    p = start_main(d)
    try:
        c = main_until(d, "the window", lambda c, s: True)
        expect(outer_size(c["_state"]) == (385, 300), "starts at %r, not the design size",
               outer_size(c["_state"]))
        resize_by_corner(d, 520, 420)
        s = d.state(MAIN_WINDOW)
        x, y = corner(s)
        d.drag(x, y, x - 400, y - 350)
        main_until(d, "the smallest size", lambda c, s: outer_size(s) == (385, 300), timeout=5)
        expect_laid_out(d, "smallest")
        moved = d.probe("resize", MAIN_WINDOW, 200, 120)
        expect((moved["rect"]["width"], moved["rect"]["height"]) == (385, 300),
               "a cross-process resize went below the minimum: %r", moved["rect"])
    finally:
        p.end()


def case_main_maximised(d, opts):
    """Maximising keeps the buttons centred and stretches the boxes; restoring lays out again."""
    p = start_main(d)
    try:
        point = d.probe("caption-button", MAIN_WINDOW, "maximize")
        expect(point["hit"], "no maximise button: %r", point)
        d.click(point["x"], point["y"])
        main_until(d, "the maximised window", lambda c, s: s["maximized"])
        c = expect_laid_out(d, "maximised")
        sw = c["_state"]["client"]["width"]
        left = c["Command1"]["rect"]["left"]
        right = sw - (c["Command4"]["rect"]["left"] + c["Command4"]["rect"]["width"])
        expect(abs(left - right) <= 1, "button row not centred: %d left, %d right", left, right)
        point = d.probe("caption-button", MAIN_WINDOW, "maximize")  # now the restore button
        d.click(point["x"], point["y"])
        main_until(d, "the restored window", lambda c, s: not s["maximized"])
        expect_laid_out(d, "restored")
    finally:
        p.end()


def case_main_close_button(d, opts):
    """The title bar's close button ends the program with code 0."""
    p = start_main(d)
    try:
        point = d.probe("caption-button", MAIN_WINDOW, "close")
        expect(point["hit"], "no close button: %r", point)
        d.click(point["x"], point["y"])
        code = p.wait_exit(10)
        expect(code == 0, "exit code %r", code)
        d.wait_no_window(MAIN_WINDOW)
    finally:
        p.end()


def case_main_missing_dictionary(d, opts):
    """Without Data.db a message names the file; OK ends the program with a non-zero code."""
    folder = tempfile.mkdtemp(prefix="kelvara-e2e-")
    try:
        exe = os.path.join(folder, "kelvara.exe")
        shutil.copy(os.path.join(d.bin_dir, "kelvara.exe"), exe)
        p = Program(d, exe, cwd=folder, title=None)
        try:
            def message_box():
                boxes = [w for w in d.probe("windows")
                         if w["visible"] and w["class"] == "#32770" and w["title"] == PRODUCT_TITLE]
                return boxes[0] if boxes else None
            box = d.wait_for("the message box", message_box, timeout=15)
            s = d.state("hwnd:%d" % box["hwnd"])
            texts = " ".join(c["text"] for c in s["children"])
            expect("Data.db" in texts, "the message does not name Data.db: %r", texts)
            expect(not d.state(MAIN_WINDOW).get("visible"), "the main window is shown")
            d.screenshot("message")
            buttons = [c for c in s["children"] if c["class"].lower() == "button"]
            expect(len(buttons) == 1, "expected one button: %r", buttons)
            d.click_control(buttons[0])
            code = p.wait_exit(10)
            expect(code != 0, "the program ended with code 0")
        finally:
            p.end()
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def run_dict_tool_exe(d, folder, args, label):
    """kelvara-dict.exe under Wine as Windows starts it for a drop: the paths alone, no console
    input. Output goes to a file (a pipe would be held open by Wine processes it starts)."""
    log_path = os.path.join(d.artifacts, "%s-%s.log" % (d.case, label))
    with open(log_path, "wb") as log:
        done = subprocess.run(["wine", os.path.join(folder, "kelvara-dict.exe")] + args, cwd=folder,
                              stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                              timeout=120)
    with open(log_path, "rb") as log:
        return done.returncode, log.read().decode("utf-8", "replace")


def case_main_import_by_drop(d, opts):
    """Files dropped on kelvara-dict.exe go into the Data.db beside it; the program started
    afterwards finds an imported word; a drop while the program runs is refused, file untouched."""
    oracle = Oracle(opts)
    folder = tempfile.mkdtemp(prefix="kelvara-e2e-drop-")
    try:
        for name in ("kelvara.exe", "kelvara-dict.exe"):
            shutil.copy(os.path.join(d.bin_dir, name), os.path.join(folder, name))
        db = os.path.join(folder, "Data.db")
        shutil.copy(oracle.db, db)
        dsl = os.path.join(folder, "Drop Test.dsl")
        with open(dsl, "wb") as f:
            f.write("\ufeff#NAME \"Drop Test\"\nzebrafish\n\t[m1][p]noun[/p][/m]\n"
                    "\t[m2][trn]\u0645\u0627\u0647\u06cc \u06af\u0648\u0631\u062e\u0631\u06cc[/trn] {{note}}[/m]\n"
                    .encode("utf-16-le"))
        csv = os.path.join(folder, "extra.csv")
        with open(csv, "w", encoding="utf-8") as f:
            f.write("word,meaning\nzebrafinch,\"a finch, small\"\n")
        windows = lambda p: "Z:" + p.replace("/", "\\")

        code, said = run_dict_tool_exe(d, folder, [windows(dsl), windows(csv)], "drop")
        expect(code == 0, "the drop ended with code %r: %s", code, said)
        expect("Added to" in said and "2 headwords from 2 sources" in said,
               "no summary in the console: %r", said)

        # What the dropped file should show, asked of the native tool on the same Data.db.
        oracle.db = db
        heads, meaning = oracle.lookup("zebrafi")
        expect(heads == ["zebrafinch", "zebrafish"], "the imported headwords: %r", heads)
        expect(meaning == "a finch, small", "the native lookup says %r", meaning)
        _, fish = oracle.lookup("zebrafish")
        expect("\u0645\u0627\u0647\u06cc" in fish and "[" not in fish and "note" not in fish,
               "the DSL card as plain text: %r", fish)

        p = start_main(d, cwd=folder, exe=os.path.join(folder, "kelvara.exe"))
        try:
            main_until(d, "the window before typing", lambda c, s: True)
            type_into_word_box(d, "zebrafish")
            main_until(d, "the imported word", shows_lookup(oracle, "zebrafish"))
            d.screenshot("imported")

            with open(db, "rb") as f:
                before = f.read()
            code, said = run_dict_tool_exe(d, folder, [windows(csv)], "drop-while-open")
            expect(code == 4, "a drop while the program holds Data.db ended with %r: %s", code, said)
            expect("is open in Kelvara Dictionary" in said, "no clear refusal: %r", said)
            with open(db, "rb") as f:
                expect(f.read() == before, "Data.db changed while the program held it")
            left = [n for n in os.listdir(folder) if n.startswith("Data.db.")]
            expect(not left, "temporary files left: %r", left)
        finally:
            p.end()
    finally:
        shutil.rmtree(folder, ignore_errors=True)


# ---------------------------------------------------------------------------------------------

CASES = {name[len("case_"):]: fn for name, fn in sorted(globals().items())
         if name.startswith("case_")}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bin", help="folder of kelvara.exe, kelvara-probe.exe and the rest")
    parser.add_argument("--artifacts", help="folder for screenshots and logs")
    parser.add_argument("--data", help="folder of the test dictionary (Data.db)")
    parser.add_argument("--dict-tool", default="", help="native kelvara-dict (the oracle)")
    parser.add_argument("--case", help="the case to run")
    parser.add_argument("--list", action="store_true", help="list the cases")
    opts = parser.parse_args()
    if opts.list:
        for name, fn in CASES.items():
            print("%-32s %s" % (name, (fn.__doc__ or "").strip()))
        return 0
    if not (opts.case and opts.bin and opts.artifacts):
        parser.error("--case, --bin and --artifacts are needed")
    if opts.case not in CASES:
        parser.error("no case %r (see --list)" % opts.case)

    d = Desktop(opts.bin, opts.artifacts, opts.case, opts.data)
    started = time.monotonic()
    result = 0
    try:
        try:
            wait_wine_idle()
        except Failure as e:
            print("note: an earlier run left Wine busy: %s" % e)
        CASES[opts.case](d, opts)
    except Failure as e:
        d.screenshot("failure")
        print("FAIL %s: %s" % (opts.case, e))
        result = 1
    except Exception:
        d.screenshot("error")
        traceback.print_exc()
        result = 1
    finally:
        d.end_helpers()
    try:
        wait_wine_idle()
    except Failure as e:
        print("FAIL %s: after the case: %s" % (opts.case, e))
        result = 1
    if result == 0:
        print("PASS %s (%.1f s)" % (opts.case, time.monotonic() - started))
    return result


if __name__ == "__main__":
    sys.exit(main())
