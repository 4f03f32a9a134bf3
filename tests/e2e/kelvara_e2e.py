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


# ---------------------------------------------------------------------------------------------
# The desktop: input, probe, screenshots


class Desktop:
    def __init__(self, bin_dir, artifacts, case):
        self.bin_dir = bin_dir
        self.artifacts = artifacts
        self.case = case
        self.shots = 0
        self.helpers = []  # our own background processes (xclip), ended by pid
        os.makedirs(artifacts, exist_ok=True)
        for var in ("DISPLAY", "WINEPREFIX"):
            if not os.environ.get(var):
                raise Failure("%s is not set: run through scripts/test.sh or wine_env_start" % var)

    # -- the probe

    def probe(self, *args):
        """Runs kelvara-probe with the arguments and returns its JSON answer."""
        exe = os.path.join(self.bin_dir, "kelvara-probe.exe")
        for attempt in range(3):
            # Files, not pipes: a Wine process started along the way (the desktop, the server)
            # inherits the probe's output handles and would hold a pipe open long after the
            # probe has ended.
            with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
                done = subprocess.run(["wine", exe] + [str(a) for a in args], stdout=out,
                                      stderr=err, timeout=60)
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

    def wait_for(self, what, condition, timeout=10.0, interval=0.15):
        """Polls condition() until it returns something true; returns that value."""
        deadline = time.monotonic() + timeout
        last = None
        while True:
            try:
                last = condition()
            except Failure as e:
                last = e
            if last and not isinstance(last, Failure):
                return last
            if time.monotonic() > deadline:
                raise Failure("timed out after %.1f s waiting for %s (last seen: %r)" %
                              (timeout, what, last))
            time.sleep(interval)

    def wait_window(self, title, timeout=15.0, visible=True):
        def shown():
            s = self.state(title)
            return s if s.get("found") and (s.get("visible") or not visible) else None
        return self.wait_for("window %r" % title, shown, timeout)

    def wait_no_window(self, title, timeout=10.0):
        self.wait_for("window %r to go" % title,
                      lambda: not self.state(title).get("found"), timeout)

    # -- input

    def xdo(self, *args):
        subprocess.run(["xdotool"] + [str(a) for a in args], check=True, timeout=60)

    def click(self, x, y, button=1):
        self.xdo("mousemove", "--sync", x, y)
        self.xdo("click", button)

    def double_click(self, x, y, button=1):
        self.xdo("mousemove", "--sync", x, y)
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
        self.xdo("mousemove", "--sync", x0, y0)
        time.sleep(0.3)
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
        self.xdo("mousemove", "--sync", SCREEN_WIDTH // 2, SCREEN_HEIGHT // 2 + 100)

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
            self.xdo("mousemove", "--sync", x, TASKBAR_Y)
            self.xdo("mousemove", x + 1, TASKBAR_Y - 1)

            def shown():
                return [t for t in self.probe("tooltips")
                        if t["visible"] and t["owner_class"] == "Shell_TrayWnd" and t["title"]]
            try:
                tip = self.wait_for("a tray tip", shown, timeout=3.0)
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
            self.xdo("mousemove", "--sync", x, TASKBAR_Y)
            self.xdo("mousemove", x + 1, TASKBAR_Y - 1)
            try:
                self.wait_for("a tray tip", lambda: [
                    t for t in self.probe("tooltips")
                    if t["visible"] and t["owner_class"] == "Shell_TrayWnd" and t["title"] == tip],
                    timeout=3.0)
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


def wait_wine_idle(timeout=60):
    """Waits until every Wine process of the prefix has ended and the server has gone."""
    try:
        subprocess.run(["wineserver", "-w"], timeout=timeout)
    except subprocess.TimeoutExpired:
        raise Failure("Wine did not go idle within %d s: a program is still running" % timeout)


# ---------------------------------------------------------------------------------------------
# A program under test


class Program:
    def __init__(self, desktop, exe, args=(), cwd=None, title=None):
        self.desktop = desktop
        self.title = title
        log = os.path.join(desktop.artifacts, "%s-%s.log" % (desktop.case,
                                                               os.path.basename(exe)))
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
    d.wait_window(TEST_WINDOW)
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
        point = d.probe("close-button", TEST_WINDOW)
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

    d = Desktop(opts.bin, opts.artifacts, opts.case)
    started = time.monotonic()
    result = 0
    try:
        wait_wine_idle()
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
