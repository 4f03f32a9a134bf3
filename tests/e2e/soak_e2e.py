#!/usr/bin/env python3
"""Soak test: kelvara.exe used as a day in the tray uses it, with its objects and memory counted
before and after each workload. Same harness and options as kelvara_e2e.py.

    soak_e2e.py --bin build/win/bin --artifacts DIR --case soak_short     (CI: a tenth)
    soak_e2e.py --bin build/win/bin --artifacts DIR --case soak_full      (tests/soak/run.sh)

Workloads, one program run for all of them, with the bundled dictionary:
  tray       hide-to-tray and restore cycles: Escape, the minimise button, a double click on
             the tray icon and Shift+F9 in turn (the probe's keys), and a few with X11's mouse and
             keyboard
  lookups    words across the alphabet set into the word box, a list click every tenth, and a
             few words typed with X11's keyboard
  clipboard  words, long texts, pictures and an empty clipboard, with the window shown and in the
             tray, balloons off and on (switched in the tray menu), and a few X11 copies
  dialogs    Options (save, cancel) and About, opened and closed in turn

Each workload first runs a warm-up, then the counters are read, the workload runs, and they are
read again in the same state (window shown). Under Wine the platform's own counters read 0, so
the counts are the probe's: GDI objects in the process's handle table, its windows, its kernel
handles, and the Wine process's RssAnon; on Windows the platform's USER and GDI objects, handle
count and private bytes. A counter that reads 0 or cannot be read fails the run. USER, GDI and
handles must end where they started; memory within 1 MB. The clipboard's sequence number moves
only with the test's own copies.

Figures go to DIR/soak-figures.json and to the output.
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
import services_e2e as services  # noqa: E402
from kelvara_e2e import Failure, MAIN_WINDOW, by_id, expect  # noqa: E402

TXT_WORD = 100
FULL = {"tray": 500, "lookups": 10000, "clipboard": 2000, "dialogs": 200}
MEMORY_SLACK_KB = 1024
# Wine's counts, and the platform's on Windows; each must read more than 0.
WINE_COUNTERS = ("gdi_table", "windows", "handles", "rss_anon_kb")
WINDOWS_COUNTERS = ("api_user", "api_gdi", "api_handles", "private_kb")
EXACT = {"gdi_table", "windows", "handles", "api_user", "api_gdi", "api_handles"}


class Soak:
    def __init__(self, d, opts, scale):
        self.d = d
        self.scale = scale
        self.figures = {"scale": scale, "workloads": {}}
        self.icon_point = None
        self.folder = tempfile.mkdtemp(prefix="kelvara-soak-")
        shutil.copy(os.path.join(d.bin_dir, "Data.db"), self.folder)
        self.words = soak_words(opts, os.path.join(self.folder, "Data.db"))
        self.program = e2e.Program(d, os.path.join(d.bin_dir, "kelvara.exe"), [],
                                   cwd=self.folder, title=MAIN_WINDOW)
        s = d.wait_window(MAIN_WINDOW, program=self.program)
        self.pid = s["pid"]
        self.linux_pid = linux_pid_of(self.program.process.pid)

    def end(self):
        self.program.end()
        shutil.rmtree(self.folder, ignore_errors=True)

    # -- counting

    def counters(self):
        c = self.d.probe("counters", self.pid)
        expect(c.get("opened"), "the probe cannot open the program's process: %r", c)
        c["rss_anon_kb"] = rss_anon_kb(self.linux_pid)
        c["private_kb"] = c["api_private_bytes"] // 1024
        names = WINE_COUNTERS if c["wine"] else WINDOWS_COUNTERS
        unread = [n for n in names if not c.get(n) or c[n] <= 0]
        expect(not unread, "counters that read 0 or cannot be read: %s (%r)", unread, c)
        counted = {n: c[n] for n in names}
        # The live GDI entries, index to type, kept beside the counters for a failure's message.
        counted["gdi_entries"] = {int(i): int(t) for i, t in
                                  (e.split(":") for e in (c.get("gdi_entries") or "").split(",") if e)}
        return counted

    def settled_counters(self):
        """The counters once two readings half a second apart agree: a window that is still
        painting holds a device context and brushes for a moment, which are no leak."""
        last = self.counters()
        for _ in range(8):
            time.sleep(0.5)
            now = self.counters()
            if all(now[n] == last[n] for n in now if n in EXACT):
                return now
            last = now
        return last

    def clipboard_number(self):
        return self.d.probe("clipboard-number")["sequence"]

    def shown(self):
        if not services.shown(self.d.state(MAIN_WINDOW)):
            self.d.key("shift+F9")
            services.wait_state(self.d, "the window back", services.shown)

    def shown_and_settled(self):
        self.shown()
        time.sleep(0.5)

    def workload(self, name, warm_up, run, clipboard_changes=False):
        """Warm-up, counters, the workload, counters again; records and checks them."""
        started = time.monotonic()
        warm_up()
        self.shown_and_settled()
        before = self.settled_counters()
        number = self.clipboard_number()
        report = run()
        self.shown_and_settled()
        after = self.settled_counters()
        moved = self.clipboard_number() != number
        expect(self.program.running(), "the program ended during the %s workload", name)
        live_before, live_after = before.pop("gdi_entries"), after.pop("gdi_entries")
        figure = {"before": before, "after": after, "report": report,
                  "seconds": round(time.monotonic() - started, 1),
                  "load_average": [round(x, 2) for x in os.getloadavg()]}
        self.figures["workloads"][name] = figure
        print("%-10s %s" % (name, json.dumps(figure, ensure_ascii=False)))
        grown = []
        for counter, value in before.items():
            if counter in EXACT and after[counter] != value:
                grown.append("%s %d -> %d" % (counter, value, after[counter]))
            elif counter not in EXACT and after[counter] - value > MEMORY_SLACK_KB:
                grown.append("%s %d -> %d kB" % (counter, value, after[counter]))
        if grown and live_before:
            # Which GDI entries came and went, with their types, to tell what was left behind.
            came = sorted(set(live_after) - set(live_before))
            went = sorted(set(live_before) - set(live_after))
            grown.append("GDI entries new %s, gone %s" % (
                ["%d:%s" % (i, live_after[i]) for i in came],
                ["%d:%s" % (i, live_before[i]) for i in went]))
        expect(not grown, "after the %s workload: %s", name, "; ".join(grown))
        if not clipboard_changes:
            expect(not moved, "the clipboard changed during the %s workload", name)

    def probe_run(self, *args):
        # A loaded machine slows every step; a chunk may take a few minutes then.
        r = self.d.probe(*args, timeout=300)
        expect(r.get("ok"), "%s: %s (after %s steps)", args[0], r.get("failure"), r.get("done"))
        return r

    def chunked(self, command, total, chunk, *args):
        """Runs a probe workload in chunks that each end well within the probe's minute; sums
        the steps and the workload's own figure."""
        summed = {"done": 0}
        left = total
        while left > 0:
            r = self.probe_run(command, min(chunk, left), *args)
            for key, value in r.items():
                if isinstance(value, int) and not isinstance(value, bool):
                    summed[key] = summed.get(key, 0) + value
            left -= min(chunk, left)
        return summed

    def count(self, name, share=1.0):
        return max(1, int(round(FULL[name] * self.scale * share)))

    # -- the workloads

    def tray(self):
        n = self.count("tray")
        real = 2  # each way with X11's mouse and keyboard

        def run():
            r = self.chunked("soak-tray", n - real, 20)
            self.real_tray_cycles()
            return {"cycles": r["done"] + real, "retried": r["retried"]}
        def warm_up():
            # Four cycles meet all four pairings of the ways to hide and to bring back.
            self.probe_run("soak-tray", 4)
            self.real_tray_cycles()
        self.workload("tray", warm_up, run)

    def lookups(self):
        n = self.count("lookups")
        typed = services_typed_words(self.words)

        def run():
            r = self.chunked("soak-lookups", n - len(typed), 500, 10)
            for word in typed:
                type_word(self.d, word)
            return {"lookups": r["done"] + len(typed), "list_clicks": r["list_clicks"],
                    "typed": len(typed)}
        def warm_up():
            self.probe_run("soak-lookups", 30, 10)
            type_word(self.d, self.words[-1])
        self.workload("lookups", warm_up, run)

    def clipboard(self):
        n = self.count("clipboard", 0.25)
        words = ",".join(self.words)
        x11_words = self.words[:1]

        def modes(count, foreign):
            done = 0
            # Shown, balloons off; a few copies from X11 too.
            done += self.clip("shown", count, words, foreign)
            for w in x11_words:
                self.d.set_clipboard(w)
                services.wait_state(self.d, "the X11 copy %r" % w,
                                    lambda s, w=w: by_id(s, TXT_WORD)["text"] == w)
                done += 1
            # In the tray, balloons off: each copy brings the window back.
            done += self.clip("restore", count, words, foreign)
            # In the tray, balloons on (switched in the tray menu).
            self.shown()
            services.to_tray_by_escape(self.d)
            self.switch_balloons()
            done += self.clip("balloon", count, words, foreign)
            # Shown, balloons on.
            self.shown()
            done += self.clip("shown", count, words, foreign)
            # Balloons off again.
            self.shown()
            services.to_tray_by_escape(self.d)
            self.switch_balloons()
            return done

        foreign = []

        def run():
            changes = modes(n, foreign)
            return {"changes": changes, "foreign_changes": sum(foreign)}
        # The warm-up meets every kind of copy (ten make a round) in every mode, so whatever is
        # made once on first use (a balloon's, a picture's) is made before the counting.
        self.workload("clipboard", lambda: modes(10, []), run, clipboard_changes=True)
        expect(sum(foreign) == 0, "the clipboard changed %d times between the test's copies",
               sum(foreign))

    def icon(self):
        """Where the tray icon is: looked for once, since the only icon in the notification area
        stays where it is."""
        if not self.icon_point:
            self.icon_point = self.d.tray_icon_point(services.TRAY_TIP)
        return self.icon_point

    def real_tray_cycles(self):
        """Escape and a double click on the icon, then the title bar's minimise button and
        Shift+F9, all with X11's keyboard and mouse."""
        d = self.d
        services.to_tray_by_escape(d)
        x, y = self.icon()
        d.double_click(x, y)
        services.wait_state(d, "the window back", services.shown)
        button = d.probe("caption-button", MAIN_WINDOW, "minimize")
        expect(button["hit"], "no minimise button: %r", button)
        d.click(button["x"], button["y"])
        services.wait_state(d, "the window in the tray", services.in_tray)
        d.key("shift+F9")
        services.wait_state(d, "the window back", services.shown)
        d.park_mouse()

    def switch_balloons(self):
        """The balloon entry of the tray menu's sub-menu, clicked with X11's mouse; the icon is
        looked for once (the only one in the notification area stays where it is)."""
        x, y = self.icon()
        self.d.click(x, y, 3)
        top = self.d.wait_for("the tray menu", lambda: services.menus(self.d), timeout=5.0)[0]["rect"]
        row_y = top["top"] + services.MENU_FRAME + services.MENU_ROW // 2
        self.d.xdo("mousemove", "--sync", top["left"] + top["width"] // 2, row_y)
        sub = self.d.wait_for("the sub-menu", lambda: [m for m in services.menus(self.d)
                                                        if m["rect"] != top], timeout=5.0)[0]["rect"]
        x = sub["left"] + sub["width"] // 2
        self.d.xdo("mousemove", "--sync", x, row_y)
        self.d.click(x, sub["top"] + sub["height"] - services.MENU_FRAME - services.MENU_ROW // 2 - 1)
        self.d.wait_for("the menu to close", lambda: not services.menus(self.d), timeout=5.0)
        self.d.park_mouse()

    def clip(self, mode, count, words, foreign):
        r = self.chunked("soak-clipboard", count, 50, mode, words)
        foreign.append(r["foreign_changes"])
        return r["done"]

    def dialogs(self):
        # Whole rounds of the three (Options saved, Options cancelled, About), warm-up and run
        # alike, so both end with About closed last. Closing About gives the focus back to the
        # word box and closing Options leaves it on the Options button; the focused word box has
        # a caret, for which Wine keeps a bitmap (1 x 13, monochrome), so a run ending with
        # Options reads one object fewer than one ending with About, though nothing grows from
        # round to round.
        n = 3 * -(-self.count("dialogs") // 3)
        self.workload("dialogs", lambda: self.probe_run("soak-dialogs", 3),
                      lambda: {"openings": self.chunked("soak-dialogs", n, 12)["done"]})


def soak_words(opts, db):
    """Single-word headwords of the dictionary in lower case, for the copies."""
    tool = opts.dict_tool or "kelvara-dict"
    dumped = subprocess.run([tool, "dump", db], capture_output=True, timeout=60)
    if dumped.returncode != 0:
        raise Failure("cannot dump the dictionary: %s" % dumped.stderr.decode()[-300:])
    words = []
    for line in dumped.stdout.decode("utf-8", "replace").splitlines():
        head = line.split("\t", 1)[0]
        if head.isascii() and head.isalpha() and head.islower() and 4 <= len(head) <= 8:
            words.append(head)
    expect(len(words) >= 40, "too few plain headwords in the dictionary: %d", len(words))
    step = len(words) // 40
    return words[::step][:40]


def services_typed_words(words):
    return words[3:6]


def type_word(d, word):
    s = d.state(MAIN_WINDOW)
    d.click_control(by_id(s, TXT_WORD))
    d.key("End", "shift+Home", "BackSpace")
    d.type_text(word, delay_ms=20)
    services.wait_state(d, "the typed %r" % word, lambda s: by_id(s, TXT_WORD)["text"] == word)


def linux_pid_of(pid):
    """The Linux process that runs kelvara.exe: the one started, or one of its descendants."""
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        for candidate in [pid] + descendants(pid):
            try:
                with open("/proc/%d/cmdline" % candidate, "rb") as f:
                    if b"kelvara.exe" in f.read():
                        return candidate
            except OSError:
                continue
        time.sleep(0.2)
    raise Failure("no Linux process runs kelvara.exe")


def descendants(pid):
    found = []
    for entry in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/stat" % entry) as f:
                if int(f.read().rpartition(")")[2].split()[1]) == pid:
                    found.append(int(entry))
        except (OSError, ValueError, IndexError):
            continue
    return found + [d for child in found for d in descendants(child)]


def rss_anon_kb(linux_pid):
    try:
        with open("/proc/%d/status" % linux_pid) as f:
            for line in f:
                if line.startswith("RssAnon:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def soak(d, opts, scale):
    # The GDI count itself first: objects made and freed must move it by exactly those alive.
    check = d.probe("counters-check")
    expect(check.get("ok"), "the probe's GDI count is wrong on its own process: %r", check)
    k = Soak(d, opts, scale)
    try:
        started = time.monotonic()
        number = k.clipboard_number()
        k.tray()
        k.lookups()
        k.dialogs()
        k.clipboard()
        k.figures["seconds"] = round(time.monotonic() - started, 1)
        with open(os.path.join(d.artifacts, "soak-figures.json"), "w") as f:
            json.dump(k.figures, f, indent=1)
        d.screenshot("end")
        expect(k.clipboard_number() != number or scale == 0, "the test's own copies never "
               "reached the clipboard")
    finally:
        k.end()
    expect(k.program.process.returncode == 0, "exit code %r", k.program.process.returncode)


def case_soak_short(d, opts):
    """A tenth of a day: every workload, counters flat, the clipboard left alone."""
    soak(d, opts, 0.1)


def case_soak_full(d, opts):
    """The full soak (tests/soak/run.sh): 500 tray cycles, 10,000 lookups, 2,000 copies, 200
    dialogs."""
    soak(d, opts, float(os.environ.get("KELVARA_SOAK_SCALE", "1")))


if __name__ == "__main__":
    e2e.CASES = {name[len("case_"):]: fn for name, fn in sorted(globals().items())
                 if name.startswith("case_")}
    sys.exit(e2e.main())
