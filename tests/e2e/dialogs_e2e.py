#!/usr/bin/env python3
"""End-to-end cases of the Options and About dialogs, on the real kelvara.exe.

The start-with-Windows entry is read back with `wine reg query`, exactly as stored; the About
dialog's "Contact us" is observed through a handler for the https scheme registered in the test
prefix, a batch file that records the address it was asked to open. Runs through the shared
harness (kelvara_e2e.py): same options, same desktop, same probe.
"""

import os
import re
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import kelvara_e2e as e2e  # noqa: E402
from kelvara_e2e import Failure, Program, control, expect  # noqa: E402

MAIN = e2e.MAIN_WINDOW
OPTIONS = "Options"
ABOUT = "About Dictionary"

RUN_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Run"
# Where the entry goes when the machine-wide key refuses the user (never under Wine).
USER_RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
RUN_VALUE = "Kelvara Dictionary"

# Captions, as the designs hold them.
OPTIONS_BUTTON = "اختيارات"
ABOUT_BUTTON = "...درباره"
START_UP_BOX = "با شروع ويندوز برنامه اجرا شود"
SAVE = "ذخيره"
CANCEL = "انصراف"
OK = "تاييد"
CONTACT_US = "تماس با ما"
TRAY_TIP = "واژه نامه کلوارا"

SOURCE_ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))


# ---------------------------------------------------------------------------------------------
# The registry, as Windows' own tool sees it


def reg(*args):
    with tempfile.TemporaryFile() as out:
        done = subprocess.run(["wine", "reg"] + list(args), stdout=out, stderr=subprocess.STDOUT,
                              timeout=60)
        out.seek(0)
        return done.returncode, out.read().decode("utf-8", "replace")


def stored_entry(key=RUN_KEY):
    """The start-up entry's text exactly as stored (None when there is none)."""
    code, text = reg("query", key, "/v", RUN_VALUE)
    if code != 0:
        return None
    for line in text.split("\n"):
        line = line.rstrip("\r")  # reg prints CRLF; the value's own blanks are kept
        marker = "    REG_SZ    "
        if line.strip().startswith(RUN_VALUE + marker.rstrip()) and marker in line:
            return line.split(marker, 1)[1]
    raise Failure("reg query found the value but printed no REG_SZ line: %r" % text)


def store_entry(text, key=RUN_KEY):
    code, out = reg("add", key, "/v", RUN_VALUE, "/t", "REG_SZ", "/d", text, "/f")
    expect(code == 0, "reg add failed: %s", out)


def delete_entry(key=None):
    """Removes the entry from key, or from both keys the program reads."""
    for k in [key] if key else [RUN_KEY, USER_RUN_KEY]:
        reg("delete", k, "/v", RUN_VALUE, "/f")
        expect(stored_entry(k) is None, "the entry could not be removed before the case")


def windows_path(path):
    done = subprocess.run(["winepath", "-w", path], capture_output=True, timeout=60)
    return done.stdout.decode("utf-8").strip()


def unix_path(path):
    done = subprocess.run(["winepath", "-u", path], capture_output=True, timeout=60)
    return done.stdout.decode("utf-8").strip()


# ---------------------------------------------------------------------------------------------
# The program and its dialogs


def start_main(d):
    p = Program(d, os.path.join(d.bin_dir, "kelvara.exe"), cwd=d.bin_dir, title=MAIN)
    d.wait_window(MAIN)
    return p


def main_button(d, caption):
    return control(d.state(MAIN), "Button", text=caption)


def word_box(state):
    return control(state, "Edit", 0)


def focus_hwnd(state):
    return state["desktop"]["focus"].get("hwnd")


def open_dialog(d, button_caption, title):
    d.click_control(main_button(d, button_caption))
    return d.wait_window(title)


def checked(d):
    return control(d.state(OPTIONS), "Button", text=START_UP_BOX)["checked"]


def dialog_button(d, title, caption):
    return control(d.state(title), "Button", text=caption)


def still_open_after(d, title, seconds=1.0):
    """True when the dialog is still there after giving a key time to act."""
    time.sleep(seconds)
    return d.state(title).get("found")


def check_geometry(d, state):
    """Nothing of the dialog lies outside its client area."""
    client = state["client"]
    for c in state["children"]:
        r = c["screen"]
        expect(r["left"] >= client["left"] and r["top"] >= client["top"] and
               r["left"] + r["width"] <= client["left"] + client["width"] and
               r["top"] + r["height"] <= client["top"] + client["height"],
               "%s %r sticks out of the dialog: %r", c["class"], c["text"], r)


# ---------------------------------------------------------------------------------------------
# Options


def case_options_save_and_reopen(d, opts):
    """Checked and saved: exactly '"<path>" -t' is stored; reopened checked; unchecked: gone."""
    delete_entry()
    expected = '"%s" -t' % windows_path(os.path.join(d.bin_dir, "kelvara.exe"))
    p = start_main(d)
    try:
        s = open_dialog(d, OPTIONS_BUTTON, OPTIONS)
        expect(s["owner"] == d.state(MAIN)["hwnd"], "not owned by the main window")
        expect(not d.state(MAIN)["enabled"], "the main window takes input while Options is open")
        check_geometry(d, s)
        box = control(s, "Button", text=START_UP_BOX)
        expect(not box["checked"], "opened checked without an entry")
        d.screenshot("options-opened")
        d.click_control(box)
        d.wait_for("the box to be checked", lambda: checked(d))
        d.screenshot("options-checked")
        d.click_control(dialog_button(d, OPTIONS, SAVE))
        d.wait_no_window(OPTIONS)
        stored = stored_entry()
        expect(stored == expected, "stored %r, expected %r", stored, expected)

        open_dialog(d, OPTIONS_BUTTON, OPTIONS)
        expect(checked(d), "reopened unchecked although the entry is this program's")
        d.click_control(control(d.state(OPTIONS), "Button", text=START_UP_BOX))
        d.wait_for("the box to be unchecked", lambda: not checked(d))
        d.click_control(dialog_button(d, OPTIONS, SAVE))
        d.wait_no_window(OPTIONS)
        expect(stored_entry() is None, "the entry is still there: %r", stored_entry())
        expect(d.state(MAIN)["enabled"], "the main window stayed disabled")
    finally:
        p.end()
        delete_entry()


def case_options_user_entry(d, opts):
    """An entry in the user's own Run key (where Windows puts it when the machine refuses)
    opens checked; saving checked moves it to the machine-wide key, unchecked removes both."""
    delete_entry()
    expected = '"%s" -t' % windows_path(os.path.join(d.bin_dir, "kelvara.exe"))
    store_entry(expected, USER_RUN_KEY)
    p = start_main(d)
    try:
        open_dialog(d, OPTIONS_BUTTON, OPTIONS)
        expect(checked(d), "the user's own entry opened unchecked")
        d.click_control(dialog_button(d, OPTIONS, SAVE))
        d.wait_no_window(OPTIONS)
        expect(stored_entry() == expected, "machine-wide entry %r", stored_entry())
        expect(stored_entry(USER_RUN_KEY) is None, "two entries would start two copies")

        store_entry(expected, USER_RUN_KEY)
        open_dialog(d, OPTIONS_BUTTON, OPTIONS)
        d.click_control(control(d.state(OPTIONS), "Button", text=START_UP_BOX))
        d.wait_for("the box to be unchecked", lambda: not checked(d))
        d.click_control(dialog_button(d, OPTIONS, SAVE))
        d.wait_no_window(OPTIONS)
        expect(stored_entry() is None, "machine-wide entry left: %r", stored_entry())
        expect(stored_entry(USER_RUN_KEY) is None, "user's entry left: %r",
               stored_entry(USER_RUN_KEY))
    finally:
        p.end()
        delete_entry()


def case_options_cancel_esc_close(d, opts):
    """Cancel, Esc and the close box leave the entry as it was, whatever the box shows."""
    delete_entry()
    expected = '"%s" -t' % windows_path(os.path.join(d.bin_dir, "kelvara.exe"))
    p = start_main(d)
    try:
        for before in (None, expected):
            if before is None:
                delete_entry()
            else:
                store_entry(before)
            for way in ("cancel", "escape", "close box"):
                s = open_dialog(d, OPTIONS_BUTTON, OPTIONS)
                was = control(s, "Button", text=START_UP_BOX)["checked"]
                expect(was == (before is not None), "opened %s with entry %r",
                       "checked" if was else "unchecked", before)
                d.click_control(control(s, "Button", text=START_UP_BOX))
                d.wait_for("the box to change", lambda: checked(d) != was)
                if way == "cancel":
                    d.click_control(dialog_button(d, OPTIONS, CANCEL))
                elif way == "escape":
                    d.key("Escape")
                else:
                    point = d.probe("caption-button", OPTIONS, "close")
                    expect(point["hit"], "no close button: %r", point)
                    d.click(point["x"], point["y"])
                d.wait_no_window(OPTIONS)
                expect(stored_entry() == before, "%s changed the entry from %r to %r", way,
                       before, stored_entry())
        d.screenshot("after-cancels")
    finally:
        p.end()
        delete_entry()


def case_options_stale_entry(d, opts):
    """An entry for another place opens unchecked; Enter saves (from the box) and deletes it."""
    stale = '"C:\\Old Place\\kelvara.exe" -t'
    store_entry(stale)
    p = start_main(d)
    try:
        s = open_dialog(d, OPTIONS_BUTTON, OPTIONS)
        expect(not control(s, "Button", text=START_UP_BOX)["checked"],
               "an entry for another program file opened checked")
        expect(focus_hwnd(s) == control(s, "Button", text=START_UP_BOX)["hwnd"],
               "the box does not have the focus first: %r", s["desktop"]["focus"])
        d.key("Return")
        d.wait_no_window(OPTIONS)
        expect(stored_entry() is None, "saving unchecked left %r", stored_entry())
    finally:
        p.end()
        delete_entry()


def case_options_start_from_entry(d, opts):
    """The saved entry's command starts the program hidden in the tray, with one icon."""
    delete_entry()
    p = start_main(d)
    try:
        open_dialog(d, OPTIONS_BUTTON, OPTIONS)
        d.click_control(control(d.state(OPTIONS), "Button", text=START_UP_BOX))
        d.wait_for("the box to be checked", lambda: checked(d))
        d.click_control(dialog_button(d, OPTIONS, SAVE))
        d.wait_no_window(OPTIONS)
    finally:
        p.end()
    e2e.wait_wine_idle()
    stored = stored_entry()
    # What Windows runs at log-on: the quoted program path, then the arguments.
    match = re.fullmatch(r'"([^"]+)" (.*)', stored or "")
    expect(match is not None, "not a quoted path with arguments: %r", stored)
    program, arguments = match.group(1), match.group(2)
    expect(arguments == "-t", "the program would be started with %r", arguments)
    # Started from the system folder, as at log-on: the dictionary is found beside the program.
    system32 = os.path.join(os.environ["WINEPREFIX"], "drive_c", "windows", "system32")
    p = Program(d, unix_path(program), [arguments], cwd=system32, title=MAIN)
    try:
        d.wait_window(MAIN, visible=False)
        s = d.wait_for("the tray icon", lambda: TRAY_TIP in d.tray_tips() and d.state(MAIN))
        expect(not s["visible"], "the main window is shown")
        expect(s["minimized"], "the main window is not minimised")
        tips = d.tray_tips()
        expect(tips.count(TRAY_TIP) == 1, "tray icons seen: %r", tips)
        d.screenshot("started-in-tray")
    finally:
        p.end()
        delete_entry()


# ---------------------------------------------------------------------------------------------
# About


def open_about(d):
    s = open_dialog(d, ABOUT_BUTTON, ABOUT)
    expect(s["owner"] == d.state(MAIN)["hwnd"], "not owned by the main window")
    return s


def case_about_ok_and_keys(d, opts):
    """OK has the focus first; Esc does nothing; Enter and OK close it, caret in the word box."""
    p = start_main(d)
    try:
        main = d.state(MAIN)
        d.click_control(word_box(main))
        d.type_text("ca")
        d.wait_for("the lookup", lambda: word_box(d.state(MAIN))["text"] == "ca")

        s = open_about(d)
        check_geometry(d, s)
        ok = control(s, "Button", text=OK)
        expect(focus_hwnd(s) == ok["hwnd"], "OK does not have the focus: %r",
               s["desktop"]["focus"])
        d.screenshot("about")
        d.key("Escape")
        expect(still_open_after(d, ABOUT), "Esc closed the About dialog")
        d.key("Return")
        d.wait_no_window(ABOUT)
        main = d.wait_for("the caret in the word box", lambda: (
            lambda s: s if focus_hwnd(s) == word_box(s)["hwnd"] else None)(d.state(MAIN)))
        expect(word_box(main)["text"] == "ca", "the word box changed: %r", word_box(main))

        # Opening it by the mouse leaves the focus on the About button; OK brings it back to
        # the word box all the same.
        s = open_about(d)
        d.click_control(control(s, "Button", text=OK))
        d.wait_no_window(ABOUT)
        d.wait_for("the caret in the word box", lambda: (
            lambda s: focus_hwnd(s) == word_box(s)["hwnd"])(d.state(MAIN)))
    finally:
        p.end()


def case_about_contact_us(d, opts):
    """Each press of Contact us opens the maker's page with the shell; the dialog stays open."""
    with open(os.path.join(SOURCE_ROOT, "src", "dialogs", "DialogHandlers.h"),
              encoding="utf-8") as f:
        address = re.search(r'kMakerHomePage\[\]\s*=\s*L"([^"]+)"', f.read()).group(1)
    record_dir = tempfile.mkdtemp(prefix="kelvara-contact-")
    record = os.path.join(record_dir, "opened.txt")
    handler = os.path.join(record_dir, "record.bat")
    with open(handler, "w", newline="\r\n") as f:
        f.write("@echo off\necho %~1>>\"%~dp0opened.txt\"\n")
    # The test prefix's https handler becomes the recorder for the case (Wine's classes root
    # does not merge the user's classes in, so the machine's own entry is replaced and put back).
    scheme_key = r"HKCR\https\shell\open\command"
    code, out = reg("query", scheme_key, "/ve")
    match = re.search(r"\(Default\)\s+REG_SZ\s+(.*?)\r?$", out, re.M) if code == 0 else None
    previous = match.group(1) if match else None
    code, out = reg("add", scheme_key, "/ve", "/d", '"%s" "%%1"' % windows_path(handler), "/f")
    expect(code == 0, "could not register the https handler: %s", out)
    p = None
    try:
        p = start_main(d)
        open_about(d)
        for press in (1, 2):
            d.click_control(control(d.state(ABOUT), "Button", text=CONTACT_US))
            d.wait_for("press %d to reach the handler" % press, lambda: os.path.exists(record) and
                       len(open(record, encoding="utf-8", errors="replace").read().split()) == press,
                       timeout=20)
            expect(d.state(ABOUT).get("found"), "the dialog closed after Contact us")
        with open(record, encoding="utf-8", errors="replace") as f:
            opened = f.read().split()
        expect(opened == [address, address], "opened %r, expected the maker's page %r twice",
               opened, address)
        d.screenshot("after-contact")
        d.click_control(control(d.state(ABOUT), "Button", text=OK))
        d.wait_no_window(ABOUT)
    finally:
        if p:
            p.end()
        if previous is not None:
            reg("add", scheme_key, "/ve", "/d", previous, "/f")
        else:
            reg("delete", scheme_key, "/ve", "/f")
        for name in ("opened.txt", "record.bat"):
            try:
                os.remove(os.path.join(record_dir, name))
            except OSError:
                pass
        os.rmdir(record_dir)


def click_tray_menu_entry(d, index, entries=3, separators=1):
    """Opens the tray icon's menu with a right click and clicks its index-th entry (from 0).

    Under Wine the menu of a window in the tray gets no keys, so the entry is clicked where it
    lies: the menu's own frame (3 px), text entries of one height and thin separators (6 px),
    as Wine draws them; the middle of an 18 px entry leaves room for a few pixels of error.
    """
    x, y = d.tray_icon_point(TRAY_TIP)
    d.click(x, y, button=3)
    menu = d.wait_for("the tray menu", lambda: [w for w in d.probe("windows")
                                                if w["class"] == "#32768" and w["visible"]])[0]
    d.screenshot("tray-menu")
    r = menu["rect"]
    entry = (r["height"] - 2 * 3 - 6 * separators) / entries
    d.click(r["left"] + r["width"] // 2, int(r["top"] + 3 + entry * (index + 0.5)))


def case_about_from_tray_menu(d, opts):
    """About from the tray menu while the window is in the tray: OK leaves it in the tray."""
    p = start_main(d)
    try:
        d.click_control(word_box(d.state(MAIN)))
        d.key("Escape")
        d.wait_for("the window to go to the tray", lambda: not d.state(MAIN)["visible"])
        # The entries: the word-hunter sub-menu, About, a separator, Close.
        click_tray_menu_entry(d, 1)
        s = d.wait_window(ABOUT)
        expect(s["visible"], "the About dialog is not shown")
        d.screenshot("about-from-tray")
        d.click_control(control(s, "Button", text=OK))
        d.wait_no_window(ABOUT)
        main = d.state(MAIN)
        expect(not main["visible"] and main["minimized"], "the window left the tray: %r",
               {k: main[k] for k in ("visible", "minimized")})
        tips = d.tray_tips()
        expect(tips.count(TRAY_TIP) == 1, "tray icons seen: %r", tips)
    finally:
        p.end()


# ---------------------------------------------------------------------------------------------

e2e.CASES.update({name[len("case_"):]: fn for name, fn in sorted(globals().items())
                  if name.startswith("case_")})

if __name__ == "__main__":
    sys.exit(e2e.main())
