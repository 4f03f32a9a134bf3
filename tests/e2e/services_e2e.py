#!/usr/bin/env python3
"""End-to-end tests of the main window's background services: the clipboard watcher and its
balloons, Shift+F9, the tray icon and its menu, and the second start. Same harness and options
as kelvara_e2e.py, whose Desktop and Program this reuses.

    services_e2e.py --bin build/win/bin --artifacts DIR --dict-tool kelvara-dict --case NAME
"""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import kelvara_e2e as e2e  # noqa: E402
from kelvara_e2e import Failure, MAIN_WINDOW, by_id, expect  # noqa: E402

TXT_WORD, TXT_EXP, LST_WORDS = 100, 101, 102
TRAY_TIP = "واژه نامه کلوارا"
NOT_FOUND = "کلمه مورد نظر يافت نشد."
APPLE_MEANING = "سیب"
BOOK_MEANING = "کتاب"
HERE = os.path.dirname(os.path.abspath(__file__))
# Long enough for the watcher (every 11th tick of a 10 ms timer) and Wine's clipboard import to
# have acted several times over: a check that nothing happened waits this long.
QUIET_S = 1.5


# ---------------------------------------------------------------------------------------------
# The program with the services' own small dictionary


class Kelvara:
    """kelvara.exe started in a folder of its own that holds the services' test dictionary."""

    def __init__(self, d, opts, args=()):
        self.d = d
        self.folder = tempfile.mkdtemp(prefix="kelvara-services-")
        tool = opts.dict_tool or os.path.join(d.bin_dir, "..", "..", "native", "bin", "kelvara-dict")
        built = subprocess.run([tool, "build", os.path.join(HERE, "services", "services-words.tsv"),
                                os.path.join(self.folder, "Data.db")], capture_output=True)
        if built.returncode != 0:
            raise Failure("cannot build the test dictionary: %s" % built.stderr.decode())
        self.program = e2e.Program(d, os.path.join(d.bin_dir, "kelvara.exe"), list(args),
                                   cwd=self.folder, title=MAIN_WINDOW)

    def state(self):
        return self.d.state(MAIN_WINDOW)

    def end(self):
        self.program.end()
        shutil.rmtree(self.folder, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.end()


def word(s):
    return by_id(s, TXT_WORD)["text"]


def meaning(s):
    return by_id(s, TXT_EXP)["text"]


def wait_state(d, what, test, timeout=10.0):
    """Polls the main window until test(state) holds; returns that state."""
    return d.wait_for(what, lambda: (lambda s: s if s.get("found") and test(s) else None)(
        d.state(MAIN_WINDOW)), timeout)


def shown(s):
    return s["visible"] and not s["minimized"]


def in_tray(s):
    return not s["visible"] and s["minimized"]


def expect_still(d, what, test):
    """Waits QUIET_S and checks that the main window still satisfies test."""
    time.sleep(QUIET_S)
    s = d.state(MAIN_WINDOW)
    expect(s.get("found") and test(s), "%s; the window reads %r (visible %r, minimized %r)",
           what, s.get("children") and word(s), s.get("visible"), s.get("minimized"))
    return s


def start_shown(d, opts, clipboard="words copied before the start", args=()):
    d.set_clipboard(clipboard)
    time.sleep(0.5)  # let Wine take it before the program starts
    k = Kelvara(d, opts, args)
    d.wait_window(MAIN_WINDOW)
    return k


def to_tray_by_escape(d):
    s = d.state(MAIN_WINDOW)
    d.click_control(by_id(s, TXT_WORD))
    d.key("Escape")
    return wait_state(d, "the window to go to the tray", in_tray)


def tray_visible_tips(d):
    return [t["title"] for t in d.probe("tooltips") if t["visible"]]


def balloon_texts(d):
    """Texts of the balloons up: visible tooltips of the taskbar that are not the icon's tip."""
    return [t["title"] for t in d.probe("tooltips")
            if t["visible"] and t["owner_class"] == "Shell_TrayWnd" and t["title"] != TRAY_TIP]


def menus(d):
    return [w for w in d.probe("windows") if w["class"] == "#32768" and w["visible"]]


# Wine draws menu entries 17 pixels high and separators 9, inside a 3-pixel frame.
MENU_FRAME, MENU_ROW = 3, 17


def open_tray_menu(d):
    """Right click on the program's tray icon; returns the open menu's rectangle."""
    x, y = d.tray_icon_point(TRAY_TIP)
    d.click(x, y, 3)
    return d.wait_for("the tray menu", lambda: menus(d), timeout=5.0)[0]["rect"]


def click_in_watcher_menu(d, entry):
    """Opens the tray menu and clicks "فعال" (entry 0) or the balloon entry (entry 1) in the
    sub-menu "شکارچي لغت"."""
    top = open_tray_menu(d)
    row_y = top["top"] + MENU_FRAME + MENU_ROW // 2
    d.xdo("mousemove", "--sync", top["left"] + top["width"] // 2, row_y)
    sub = d.wait_for("the sub-menu", lambda: [m for m in menus(d) if m["rect"] != top],
                     timeout=5.0)[0]["rect"]
    x = sub["left"] + sub["width"] // 2
    d.xdo("mousemove", "--sync", x, row_y)  # along the row into the sub-menu
    if entry == 0:
        y = sub["top"] + MENU_FRAME + MENU_ROW // 2
    else:
        y = sub["top"] + sub["height"] - MENU_FRAME - MENU_ROW // 2 - 1
    d.click(x, y)
    d.wait_for("the menu to close", lambda: not menus(d), timeout=5.0)


class Pinger:
    """Measures, in the background, the longest time the main window keeps a message waiting."""

    def __init__(self, d, seconds):
        self.out = tempfile.TemporaryFile()
        self.process = subprocess.Popen(
            ["wine", os.path.join(d.bin_dir, "kelvara-e2e-pinger.exe"), MAIN_WINDOW,
             str(int(seconds * 1000))], stdout=self.out, stderr=subprocess.DEVNULL)

    def result(self):
        self.process.wait(120)
        self.out.seek(0)
        lines = self.out.read().decode("utf-8", "replace").strip().splitlines()
        self.out.close()
        if not lines:
            raise Failure("the pinger said nothing")
        return json.loads(lines[-1])


def record(d, name, value):
    """Keeps a measured figure beside the screenshots, one JSON line per figure."""
    with open(os.path.join(d.artifacts, "services-figures.jsonl"), "a") as f:
        f.write(json.dumps({"case": d.case, "figure": name, "value": value}) + "\n")
    print("%s: %s = %s" % (d.case, name, value))


# ---------------------------------------------------------------------------------------------
# Clipboard watcher


def case_clip_shown_word(d, opts):
    """Copying "apple" with the window shown: word box, list and meaning; selected."""
    with start_shown(d, opts) as k:
        d.set_clipboard("apple")
        s = wait_state(d, "the word box to read apple", lambda s: word(s) == "apple")
        expect(meaning(s) == APPLE_MEANING, "meaning %r", meaning(s))
        expect(by_id(s, LST_WORDS)["count"] == 2, "list count %r", by_id(s, LST_WORDS)["count"])
        expect(by_id(s, TXT_WORD)["selection"] == [0, 5], "selection %r",
               by_id(s, TXT_WORD)["selection"])
        expect(s["is_foreground"], "the window is not in the foreground")
        d.screenshot("apple")


def case_clip_before_start(d, opts):
    """The text on the clipboard before the start is never taken and stays there."""
    with start_shown(d, opts, clipboard="apple pie") as k:
        expect_still(d, "the text copied before the start was taken", lambda s: word(s) == "")
        copy = d.get_clipboard()
        expect(copy == "apple pie", "the clipboard now holds %r", copy)


def case_clip_same_twice_and_aba(d, opts):
    """The same text twice is acted on once; A, B, A three times."""
    with start_shown(d, opts) as k:
        d.set_clipboard("apple")
        s = wait_state(d, "apple", lambda s: word(s) == "apple")
        d.click_control(by_id(s, TXT_WORD))
        d.key("ctrl+End")
        d.type_text("s")
        wait_state(d, "the typed apples", lambda s: word(s) == "apples")
        d.set_clipboard("apple")
        expect_still(d, "the same text was taken twice", lambda s: word(s) == "apples")
        d.set_clipboard("book")
        wait_state(d, "book", lambda s: word(s) == "book")
        d.set_clipboard("apple")
        wait_state(d, "apple again", lambda s: word(s) == "apple")


def case_clip_image(d, opts):
    """A picture on the clipboard changes nothing."""
    with start_shown(d, opts) as k:
        d.set_clipboard("cat")
        wait_state(d, "cat", lambda s: word(s) == "cat")
        png = os.path.join(d.artifacts, "%s-picture.png" % d.case)
        subprocess.run(["convert", "-size", "8x8", "xc:red", png], check=True)
        helper = subprocess.Popen(["xclip", "-selection", "clipboard", "-quiet", "-t", "image/png",
                                   "-i", png], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        d.helpers.append(helper)
        s = expect_still(d, "a picture changed the word", lambda s: word(s) == "cat")
        expect(meaning(s) == "گربه", "meaning %r", meaning(s))


def case_clip_tray_restores(d, opts):
    """In the tray with balloons off, a copy brings the window back with the word selected."""
    with start_shown(d, opts) as k:
        to_tray_by_escape(d)
        d.set_clipboard("book")
        s = wait_state(d, "the window back", lambda s: shown(s) and word(s) == "book")
        expect(by_id(s, TXT_WORD)["selection"] == [0, 4], "selection %r",
               by_id(s, TXT_WORD)["selection"])
        expect(d.tray_tips() == [], "a tray icon is left: %r", d.tray_tips())


def case_clip_tray_balloon(d, opts):
    """In the tray with balloons on: a balloon with the meaning; not found says so."""
    with start_shown(d, opts) as k:
        to_tray_by_escape(d)
        click_in_watcher_menu(d, 1)
        d.set_clipboard("apple")
        d.wait_for("the balloon with the meaning", lambda: APPLE_MEANING in balloon_texts(d))
        d.screenshot("balloon-apple")  # its title is the copied text
        s = d.state(MAIN_WINDOW)
        expect(in_tray(s), "the window came out of the tray")
        expect(word(s) == "apple", "word box %r", word(s))
        d.set_clipboard("zebra")
        d.wait_for("the not-found balloon", lambda: NOT_FOUND in balloon_texts(d))
        d.screenshot("balloon-not-found")
        expect(in_tray(d.state(MAIN_WINDOW)), "the window came out of the tray")


def case_clip_balloon_two_quick_copies(d, opts):
    """Two quick copies: the balloon ends with the second word's meaning, which the first
    word's never replaces again. (Wine's balloon does not tell its title to another process:
    the title is in the screenshot, and the recording shell of the Windows tests checks that it
    goes with the text in one call.)"""
    with start_shown(d, opts) as k:
        to_tray_by_escape(d)
        click_in_watcher_menu(d, 1)
        d.set_clipboard("apple")
        time.sleep(0.3)  # long enough for the watcher to read it, well inside its balloon's life
        d.set_clipboard("book")
        d.wait_for("book's balloon", lambda: "کتاب" in balloon_texts(d))
        d.screenshot("balloon-book")  # titled "book"
        s = expect_still(d, "the window came out of the tray or lost the word",
                         lambda s: in_tray(s) and word(s) == "book")
        texts = balloon_texts(d)
        expect(APPLE_MEANING not in texts, "the first word's balloon came back: %r", texts)
        d.screenshot("balloon-book-later")


def case_clip_balloon_base_form(d, opts):
    """In the tray with balloons on, copying "books, " (a browser's double-click with its
    comma) shows book's meaning in the balloon."""
    with start_shown(d, opts) as k:
        to_tray_by_escape(d)
        click_in_watcher_menu(d, 1)
        d.set_clipboard("books, ")
        d.wait_for("the balloon with book's meaning", lambda: BOOK_MEANING in balloon_texts(d))
        d.screenshot("balloon-books")  # its title reads "books → book"
        s = d.state(MAIN_WINDOW)
        expect(in_tray(s), "the window came out of the tray")
        expect(word(s) == "book", "word box %r", word(s))


def case_clip_misspelled(d, opts):
    """Copying "recieve": the not-found message first, and "receive" listed; a click on it
    shows its meaning."""
    with start_shown(d, opts) as k:
        d.set_clipboard("recieve")
        s = wait_state(d, "the not-found message",
                       lambda s: word(s) == "recieve" and meaning(s).startswith(NOT_FOUND))
        # Below the message, on one line after the label: the whole text shows without scrolling.
        expect(meaning(s).startswith(NOT_FOUND + "\r\n\r\nپیشنهادها: receive"),
               "no suggestion below the message: %r", meaning(s))
        lst = by_id(s, LST_WORDS)
        expect(lst["count"] >= 1, "nothing listed: %r", lst)
        d.screenshot("suggestions")
        item = d.probe("item-rect", MAIN_WINDOW, LST_WORDS, 0)
        expect(item.get("ok"), "no rectangle for the first suggestion: %r", item)
        r = item["screen"]
        d.click(r["left"] + 12, r["top"] + r["height"] // 2)
        s = wait_state(d, "the suggestion looked up", lambda s: word(s) == "receive")
        expect(meaning(s) == "دریافت کردن", "meaning %r", meaning(s))


def case_clip_balloon_long(d, opts):
    """A title and a meaning longer than the balloon's fields are cut, not overflowed."""
    with start_shown(d, opts) as k:
        to_tray_by_escape(d)
        click_in_watcher_menu(d, 1)
        d.set_clipboard("longmeaning" + "x" * 300)  # a title of 311 characters, not found
        d.wait_for("the not-found balloon", lambda: NOT_FOUND in balloon_texts(d))
        d.screenshot("balloon-long-title")
        d.set_clipboard("longmeaning")
        full = "معنی بلند " * 40
        texts = d.wait_for("the long meaning's balloon",
                           lambda: [t for t in balloon_texts(d) if t.startswith("معنی بلند")])
        expect(texts[0] == full.strip()[:255], "balloon text of %d characters: %r", len(texts[0]),
               texts[0][-20:])
        d.screenshot("balloon-long-text")


# ---------------------------------------------------------------------------------------------
# Shift+F9


def case_hotkey_from_tray(d, opts):
    """Shift+F9 from the tray: the window comes back, the word selected, the icon gone."""
    with start_shown(d, opts) as k:
        d.set_clipboard("cat")
        wait_state(d, "cat", lambda s: word(s) == "cat")
        to_tray_by_escape(d)
        d.key("ctrl+shift+F9")
        expect_still(d, "Ctrl+Shift+F9 brought the window back", in_tray)
        d.key("shift+F9")
        s = wait_state(d, "the window back", shown)
        expect(by_id(s, TXT_WORD)["selection"] == [0, 3], "selection %r",
               by_id(s, TXT_WORD)["selection"])
        expect(d.tray_tips() == [], "a tray icon is left")


def case_hotkey_from_maximised(d, opts):
    """Shift+F9 on a maximised window: back to the normal state."""
    with start_shown(d, opts) as k:
        s = d.state(MAIN_WINDOW)
        r = s["rect"]
        d.double_click(r["left"] + r["width"] // 3, r["top"] + 10)  # on the title bar
        wait_state(d, "the window maximised", lambda s: s["maximized"])
        d.key("shift+F9")
        s = wait_state(d, "the normal state", lambda s: shown(s) and not s["maximized"])
        expect(s["rect"]["width"] == r["width"], "width %r", s["rect"]["width"])


def case_hotkey_watching_off(d, opts):
    """With watching switched off, neither Shift+F9 nor a copy brings the window back."""
    with start_shown(d, opts) as k:
        to_tray_by_escape(d)
        click_in_watcher_menu(d, 0)
        d.key("shift+F9")
        expect_still(d, "Shift+F9 worked with watching off", in_tray)
        d.set_clipboard("apple")
        expect_still(d, "a copy was taken with watching off", lambda s: in_tray(s) and word(s) == "")
        click_in_watcher_menu(d, 0)
        d.key("shift+F9")
        wait_state(d, "the window back once watching is on", shown)


# ---------------------------------------------------------------------------------------------
# Tray icon


def case_tray_escape_menu_double_click(d, opts):
    """Escape: an icon with the tooltip; right click: the Persian menu; double click: back."""
    with start_shown(d, opts) as k:
        to_tray_by_escape(d)
        tips = d.tray_tips()
        expect(tips == [TRAY_TIP], "tray tips %r", tips)
        d.tray_icon_point(TRAY_TIP)  # hovers until the tip shows
        d.screenshot("tray-icon")
        top = open_tray_menu(d)
        d.xdo("mousemove", "--sync", top["left"] + top["width"] // 2,
              top["top"] + MENU_FRAME + MENU_ROW // 2)
        d.wait_for("the sub-menu", lambda: len(menus(d)) == 2, timeout=5.0)
        d.screenshot("tray-menu")
        d.click(300, 300)  # elsewhere: the menu closes
        d.wait_for("the menu to close", lambda: not menus(d), timeout=5.0)
        expect(in_tray(d.state(MAIN_WINDOW)), "the window came out of the tray")
        x, y = d.tray_icon_point(TRAY_TIP)
        d.double_click(x, y)
        wait_state(d, "the window back", shown)
        expect(d.tray_tips() == [], "a tray icon is left")


def case_tray_minimise_and_start_switch(d, opts):
    """Minimising gives one icon; "-t" starts in the tray with one icon; Close ends all."""
    with start_shown(d, opts) as k:
        button = d.probe("caption-button", MAIN_WINDOW, "minimize")
        expect(button["hit"], "no minimise button found: %r", button)
        d.click(button["x"], button["y"])
        wait_state(d, "the window in the tray", in_tray)
        expect(d.tray_tips() == [TRAY_TIP], "tray tips %r", d.tray_tips())
    e2e.wait_wine_idle()
    k = Kelvara(d, opts, ["-t"])
    try:
        d.wait_window(MAIN_WINDOW, visible=False)
        wait_state(d, "the start in the tray", in_tray)
        expect(d.tray_tips() == [TRAY_TIP], "tray tips %r", d.tray_tips())
        x, y = d.tray_icon_point(TRAY_TIP)
        d.click(x, y, 3)
        top = d.wait_for("the tray menu", lambda: menus(d), timeout=5.0)[0]["rect"]
        d.click(top["left"] + top["width"] // 2, top["top"] + top["height"] - MENU_FRAME - MENU_ROW // 2)
        expect(k.program.wait_exit(10) == 0, "exit code %r", k.program.process.returncode)
        expect(d.tray_tips() == [], "the icon stayed after the end")
    finally:
        k.end()


# ---------------------------------------------------------------------------------------------
# Second start


def second_start(d, k):
    second = e2e.Program(d, os.path.join(d.bin_dir, "kelvara.exe"), [], cwd=k.folder)
    code = second.wait_exit(15)
    second.end()
    return code


def main_windows(d):
    return [w for w in d.probe("windows") if w["title"] == MAIN_WINDOW]


def case_second_start(d, opts):
    """A second start brings the first back from the tray and exits 0; with the first's
    watching off nothing shows and it still exits 0."""
    with start_shown(d, opts) as k:
        to_tray_by_escape(d)
        expect(second_start(d, k) == 0, "the second start's exit code")
        wait_state(d, "the first copy back", shown)
        expect(len(main_windows(d)) == 1, "main windows: %r", main_windows(d))
        to_tray_by_escape(d)
        click_in_watcher_menu(d, 0)
        expect(second_start(d, k) == 0, "the second start's exit code")
        expect_still(d, "the first came back with watching off", in_tray)
        expect(len(main_windows(d)) == 1, "main windows: %r", main_windows(d))


# ---------------------------------------------------------------------------------------------
# Bad input


BAD_TEXTS = [
    ("empty", ""),
    ("lines", "first line\nsecond line\r\nthird"),
    ("wildcards", "* ? # ["),
    ("unclosed", "[ab"),
    ("quotes", "\"apple\" 'cat'"),
    ("persian", "سیب و گلابی"),
    ("nul", "cat\x00dog"),
    ("huge", "apple " * (5 * 1024 * 1024 // 6)),
]


def case_bad_clipboard_texts(d, opts):
    """Odd clipboard texts never crash, freeze or desynchronise the window; the longest
    freeze is measured."""
    with start_shown(d, opts) as k:
        worst = 0.0
        for label, text in BAD_TEXTS:
            d.set_clipboard("book")  # a known state between the odd texts
            wait_state(d, "book before %s" % label, lambda s: word(s) == "book")
            pinger = Pinger(d, 6.0 if label == "huge" else 2.5)
            time.sleep(0.8)  # the pinger has found the window
            d.set_clipboard(text)
            if label == "empty":
                expect_still(d, "an empty text changed the word", lambda s: word(s) == "book")
            else:
                wait_state(d, "the %s text to arrive" % label, lambda s: word(s) != "book",
                           timeout=60)
            ping = pinger.result()
            expect(k.program.running(), "the program ended on the %s text" % label)
            expect(ping["unanswered"] == 0 and ping["found"], "ping %r" % ping)
            record(d, "longest wait for an answer, %s text (ms)" % label, ping["longest_ms"])
            worst = max(worst, ping["longest_ms"])
            s = d.state(MAIN_WINDOW)
            lst = by_id(s, LST_WORDS)["count"]
            # The list and the meaning are those of whatever the word box holds.
            if lst == 0:
                expect(meaning(s) == NOT_FOUND, "%s: empty list with meaning %r" % (label, meaning(s)))
            else:
                expect(meaning(s) != NOT_FOUND, "%s: %d entries but not found" % (label, lst))
            d.screenshot(label)
        record(d, "longest freeze over all odd texts (ms)", worst)
        expect(worst < 1000, "the window froze for %.0f ms" % worst)


if __name__ == "__main__":
    e2e.CASES = {name[len("case_"):]: fn for name, fn in sorted(globals().items())
                 if name.startswith("case_")}
    sys.exit(e2e.main())
