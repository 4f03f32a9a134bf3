#!/usr/bin/env python3
"""End-to-end cases of display scaling: the real kelvara.exe with the test prefix's screen at
96, 120, 144 and 192 dots per inch.

Wine 8 takes the screen's DPI from LogPixels under HKCU\\Control Panel\\Desktop (falling back to
HKLM\\System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts) when each program
starts, so a case sets the user's value, and puts back what was there before, whatever happens:
the other tests share the prefix. At each scale the main window is checked against the layout's
arithmetic with its lengths scaled by DPI/96, the dialogs against their designs converted at that
DPI, the smallest size against 385 x 300 scaled, and the in-process checks (captions whole, fonts)
run again at that DPI. Screenshots of the three windows are kept.
"""

import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import kelvara_e2e as e2e  # noqa: E402
import dialogs_e2e as dlg  # noqa: E402
from kelvara_e2e import Failure, control, expect, scaled  # noqa: E402

DESKTOP_KEY = r"HKCU\Control Panel\Desktop"


def twips(value, dpi):
    """Twips at a DPI, to the nearest pixel (halves up), as the windows convert them."""
    return (value * dpi * 2 + 1440) // 2880


def read_log_pixels():
    code, text = dlg.reg("query", DESKTOP_KEY, "/v", "LogPixels")
    if code != 0:
        return None
    for line in text.replace("\r", "").split("\n"):
        if "LogPixels" in line and "REG_DWORD" in line:
            return int(line.split("REG_DWORD", 1)[1].strip(), 16)
    return None


def set_log_pixels(dpi):
    if dpi is None:
        dlg.reg("delete", DESKTOP_KEY, "/v", "LogPixels", "/f")
        return
    code, out = dlg.reg("add", DESKTOP_KEY, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi),
                        "/f")
    expect(code == 0, "could not set LogPixels: %s", out)


def run_in_process_checks(d, dpi):
    exe = os.path.join(d.bin_dir, "win_dpi_tests.exe")
    env = dict(os.environ, KELVARA_EXPECT_DPI=str(dpi))
    with tempfile.TemporaryFile() as out:
        done = subprocess.run(["wine", exe, "--gtest_brief=1"], stdout=out,
                              stderr=subprocess.STDOUT, env=env, timeout=120)
        out.seek(0)
        text = out.read().decode("utf-8", "replace")
    expect(done.returncode == 0, "the in-process checks failed at %d dpi:\n%s", dpi, text[-3000:])


def expect_at_design(state, cls, text, design, dpi, what):
    r = control(state, cls, text=text)["rect"]
    left, top, width, height = design
    want = {"left": twips(left, dpi), "top": twips(top, dpi), "width": twips(width, dpi),
            "height": twips(height, dpi)}
    wrong = ["%s %d, not %d" % (k, r[k], v) for k, v in want.items() if r[k] != v]
    expect(not wrong, "%s at %d dpi: %s", what, dpi, ", ".join(wrong))


def at_dpi(d, opts, dpi):
    before = read_log_pixels()
    try:
        set_log_pixels(dpi)
        run_in_process_checks(d, dpi)
        p = e2e.start_main(d)
        try:
            c = e2e.main_until(d, "the main window laid out at %d dpi" % dpi,
                               lambda c, s: not e2e.layout_mismatches(c, s, dpi))
            s = c["_state"]
            expect(s["client"]["width"] >= twips(5655, dpi) - 1,
                   "client %r is narrower than the design at %d dpi", s["client"], dpi)
            for name in e2e.BUTTONS:
                r = c[name]["rect"]
                expect((r["width"], r["height"]) == (twips(1215, dpi), twips(405, dpi)),
                       "%s is %r at %d dpi", name, r, dpi)
            d.screenshot("main-%d" % dpi)
            # The smallest size: another program's resize is raised to it.
            moved = d.probe("resize", e2e.MAIN_WINDOW, 100, 80)
            want = (scaled(385, dpi), scaled(300, dpi))
            expect((moved["rect"]["width"], moved["rect"]["height"]) == want,
                   "at %d dpi the smallest size is %r, not %r", dpi, moved["rect"], want)
            e2e.main_until(d, "the smallest window laid out", lambda c, s: not
                           e2e.layout_mismatches(c, s, dpi))
            d.screenshot("main-smallest-%d" % dpi)

            s = dlg.open_dialog(d, dlg.OPTIONS_BUTTON, dlg.OPTIONS)
            dlg.check_geometry(d, s)
            expect_at_design(s, "Button", dlg.SAVE, (240, 1320, 1215, 375), dpi, "Save")
            expect_at_design(s, "Button", dlg.CANCEL, (1560, 1320, 1215, 375), dpi, "Cancel")
            box = control(s, "Button", text=dlg.START_UP_BOX)["rect"]
            expect((box["left"], box["top"], box["width"]) ==
                   (twips(240, dpi), twips(240, dpi), twips(4095, dpi)) and
                   box["height"] >= twips(195, dpi), "the check box at %d dpi: %r", dpi, box)
            d.screenshot("options-%d" % dpi)
            d.click_control(dlg.dialog_button(d, dlg.OPTIONS, dlg.CANCEL))
            d.wait_no_window(dlg.OPTIONS)

            s = dlg.open_dialog(d, dlg.ABOUT_BUTTON, dlg.ABOUT)
            dlg.check_geometry(d, s)
            expect_at_design(s, "Button", dlg.OK, (240, 2400, 1100, 400), dpi, "OK")
            expect_at_design(s, "Button", dlg.CONTACT_US, (1440, 2400, 1100, 400), dpi,
                             "Contact us")
            d.screenshot("about-%d" % dpi)
            d.click_control(dlg.dialog_button(d, dlg.ABOUT, dlg.OK))
            d.wait_no_window(dlg.ABOUT)
        finally:
            p.end()
    finally:
        set_log_pixels(before)
    expect(read_log_pixels() == before, "LogPixels was not put back")


def case_dpi_96(d, opts):
    """At 96 dpi: the design's own pixels."""
    at_dpi(d, opts, 96)


def case_dpi_120(d, opts):
    """At 120 dpi (125 %): everything scaled by 1.25, captions whole."""
    at_dpi(d, opts, 120)


def case_dpi_144(d, opts):
    """At 144 dpi (150 %): everything scaled by 1.5, captions whole."""
    at_dpi(d, opts, 144)


def case_dpi_192(d, opts):
    """At 192 dpi (200 %): everything doubled, captions whole."""
    at_dpi(d, opts, 192)


e2e.CASES.update({name[len("case_"):]: fn for name, fn in sorted(globals().items())
                  if name.startswith("case_")})

if __name__ == "__main__":
    sys.exit(e2e.main())
