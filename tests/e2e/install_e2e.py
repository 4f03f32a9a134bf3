#!/usr/bin/env python3
"""End-to-end cases of the release: the MSI and the portable zip that scripts/package.sh makes.

Each case packages the programs of the build (stripped, as the release ships them) with
scripts/package.sh --from, installs with Windows Installer in the test prefix (`msiexec /qn`), and
drives the installed program with the shared harness (kelvara_e2e.py). Every case leaves the
prefix as it found it: whatever a failed run left installed is removed before and after.
"""

import glob
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import uuid

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import kelvara_e2e as e2e  # noqa: E402
import dialogs_e2e as dlg  # noqa: E402
from kelvara_e2e import Failure, Program, control, expect  # noqa: E402

SOURCE_ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
UPGRADE_CODE = "D1FC3F8E-31E5-4E1A-873E-BADF71CFAEA2"
INSTALL_DIR_WIN = r"C:\Program Files\Kelvara Dictionary"
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
RUN_KEYS = {"machine": r"HKLM\Software\Microsoft\Windows\CurrentVersion\Run",
            "user": r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"}
RUN_VALUE = "Kelvara Dictionary"
INSTALLED_ENTRY = '"%s\\kelvara.exe" -t' % INSTALL_DIR_WIN
MAKER_PAGE = "https://www.kelvara.com/"

# Windows' own libraries: a release that needs anything else does not start on a clean machine.
WINDOWS_DLLS = {"advapi32.dll", "bcrypt.dll", "comctl32.dll", "comdlg32.dll", "crypt32.dll",
                "dwmapi.dll", "gdi32.dll", "imm32.dll", "kernel32.dll", "msvcrt.dll",
                "ntdll.dll", "ole32.dll", "oleaut32.dll", "shcore.dll", "shell32.dll",
                "shlwapi.dll", "user32.dll", "uxtheme.dll", "version.dll", "winmm.dll",
                "ws2_32.dll"}
MAX_PROGRAM_BYTES = 2 * 1024 * 1024


# ---------------------------------------------------------------------------------------------
# Making and installing packages


def prefix_path(*parts):
    return os.path.join(os.environ["WINEPREFIX"], "drive_c", *parts)


def installed_dir():
    return prefix_path("Program Files", "Kelvara Dictionary")


def build_version(d):
    with open(os.path.join(d.bin_dir, "..", "kelvara-version.txt")) as f:
        return f.read().strip()


def bumped(version):
    major, minor, patch = (int(x) for x in version.split("."))
    return "%d.%d.%d" % (major, minor, patch + 1)


def product_code(version):
    return "{%s}" % str(uuid.uuid5(uuid.UUID(UPGRADE_CODE),
                                   "KelvaraDictionary " + version)).upper()


def stage_release_files(d, folder, data_db=None):
    """The files a release ships, as scripts/package.sh stages them: stripped programs, the
    dictionary and the icon."""
    os.makedirs(folder, exist_ok=True)
    for exe in ("kelvara.exe", "kelvara-dict.exe"):
        subprocess.run(["x86_64-w64-mingw32-strip", "-o", os.path.join(folder, exe),
                        os.path.join(d.bin_dir, exe)], check=True, timeout=120)
    shutil.copy(data_db or os.path.join(d.bin_dir, "Data.db"), os.path.join(folder, "Data.db"))
    shutil.copy(os.path.join(d.bin_dir, "..", "resources", "kelvara.ico"),
                os.path.join(folder, "kelvara.ico"))
    return folder


def package(d, work, version, data_db=None, tag="release"):
    """Runs scripts/package.sh on the build's files; returns (msi, zip) paths."""
    files = stage_release_files(d, os.path.join(work, tag + "-files"), data_db)
    out = os.path.join(work, tag + "-dist")
    done = subprocess.run(["bash", os.path.join(SOURCE_ROOT, "scripts", "package.sh"), "--from",
                           files, "--version", version, "--out", out], capture_output=True,
                          timeout=300)
    expect(done.returncode == 0, "package.sh failed: %s", done.stderr.decode("utf-8", "replace"))
    name = "KelvaraDictionary-%s-x64" % version
    msi, zipped = os.path.join(out, name + ".msi"), os.path.join(out, name + "-portable.zip")
    expect(os.path.isfile(msi) and os.path.isfile(zipped), "package.sh made %r",
           os.listdir(out))
    return msi, zipped


def msiexec(*args):
    with tempfile.TemporaryFile() as out:
        done = subprocess.run(["wine", "msiexec"] + list(args), stdout=out,
                              stderr=subprocess.STDOUT, timeout=180)
        out.seek(0)
        return done.returncode, out.read().decode("utf-8", "replace")


def install(msi):
    code, out = msiexec("/i", dlg.windows_path(msi), "/qn")
    expect(code == 0, "msiexec /i %s /qn ended with %d: %s", os.path.basename(msi), code, out)


def uninstall(version):
    return msiexec("/x", product_code(version), "/qn")


def our_products():
    """The Add/Remove Programs entries named Kelvara Dictionary: {key: {value: text}}."""
    code, text = dlg.reg("query", UNINSTALL_KEY, "/s")
    products, current = {}, None
    for line in text.replace("\r", "").split("\n"):
        if line.startswith("HKEY_"):
            current = line.strip()
            products[current] = {}
        elif current and "    REG_" in line:
            name, _, rest = line.strip().partition("    ")
            _, _, value = rest.partition("    ")
            products[current][name] = value
    return {k: v for k, v in products.items() if v.get("DisplayName") == "Kelvara Dictionary"}


def run_entry(scope):
    code, text = dlg.reg("query", RUN_KEYS[scope], "/v", RUN_VALUE)
    if code != 0:
        return None
    for line in text.replace("\r", "").split("\n"):
        marker = "    REG_SZ    "
        if line.strip().startswith(RUN_VALUE) and marker in line:
            return line.split(marker, 1)[1]
    return None


def set_run_entry(scope, text):
    code, out = dlg.reg("add", RUN_KEYS[scope], "/v", RUN_VALUE, "/t", "REG_SZ", "/d", text, "/f")
    expect(code == 0, "reg add failed: %s", out)


def clear_run_entries():
    for scope in RUN_KEYS:
        dlg.reg("delete", RUN_KEYS[scope], "/v", RUN_VALUE, "/f")


def shortcuts():
    """Our Start-menu shortcuts: the all-users menu (Windows, per-machine) or, as Wine's
    Windows Installer puts them, the user's."""
    found = []
    for menu in (prefix_path("ProgramData", "Microsoft", "Windows", "Start Menu", "Programs"),
                 *glob.glob(prefix_path("users", "*", "AppData", "Roaming", "Microsoft",
                                        "Windows", "Start Menu", "Programs"))):
        found += glob.glob(os.path.join(menu, "**", "Kelvara Dictionary*.lnk"), recursive=True)
    return found


def remove_leftovers(d):
    """Whatever an interrupted run left installed goes, so the case starts clean."""
    version = build_version(d)
    for v in (version, bumped(version)):
        uninstall(v)
    if os.path.isdir(installed_dir()):
        shutil.rmtree(installed_dir())
    for link in shortcuts():
        os.remove(link)
    clear_run_entries()


def expect_nothing_of_ours_left(what):
    expect(not os.path.exists(installed_dir()), "%s: %s is still there: %r", what,
           installed_dir(), os.listdir(installed_dir()) if os.path.isdir(installed_dir()) else "")
    expect(not shortcuts(), "%s: shortcuts left: %r", what, shortcuts())
    expect(not our_products(), "%s: Add/Remove Programs still lists %r", what, our_products())


# ---------------------------------------------------------------------------------------------
# Reading a shortcut (the shell link format): where it points and where it starts


def read_shortcut(path):
    with open(path, "rb") as f:
        data = f.read()
    expect(len(data) >= 0x4C and data[:4] == b"\x4c\x00\x00\x00", "%s is not a shell link", path)
    flags = struct.unpack_from("<I", data, 0x14)[0]
    at = 0x4C
    if flags & 0x1:  # a target ID list
        at += 2 + struct.unpack_from("<H", data, at)[0]
    target = None
    if flags & 0x2:  # link info: the local base path
        size, header = struct.unpack_from("<II", data, at)
        base = struct.unpack_from("<I", data, at + 16)[0]
        end = data.index(b"\0", at + base)
        target = data[at + base:end].decode("mbcs" if os.name == "nt" else "latin-1")
        at += size
    strings = {}
    for bit, name in ((0x4, "name"), (0x8, "relative"), (0x10, "workdir"), (0x20, "args"),
                      (0x40, "icon")):
        if flags & bit:
            count = struct.unpack_from("<H", data, at)[0]
            unicode = flags & 0x80
            width = 2 if unicode else 1
            raw = data[at + 2:at + 2 + count * width]
            strings[name] = raw.decode("utf-16-le" if unicode else "latin-1").rstrip("\0")
            at += 2 + count * width
    return target, strings


# ---------------------------------------------------------------------------------------------
# The installed program


class FileOracle(e2e.Oracle):
    """The dictionary tool's answer for one given dictionary file."""

    def __init__(self, tool, db):  # pylint: disable=super-init-not-called
        self.tool, self.db = tool, db


def some_headwords(opts, db, count=2):
    """Plain English headwords of a dictionary, from its own dump."""
    done = subprocess.run([opts.dict_tool, "dump", db], capture_output=True, timeout=60)
    expect(done.returncode == 0, "kelvara-dict dump failed")
    words = []
    for line in done.stdout.decode("utf-8").split("\n"):
        head = line.split("\t", 1)[0]
        if head.isascii() and head.isalpha() and len(head) >= 4 and head.islower():
            words.append(head)
    expect(len(words) >= count, "no plain headwords in %s", db)
    return [words[len(words) // 3], words[2 * len(words) // 3]][:count]


def look_up_and_see(d, opts, db, word):
    """Types word into the main window and waits for what the dictionary tool says it shows."""
    oracle = FileOracle(opts.dict_tool, db)
    e2e.type_into_word_box(d, word)
    heads, meaning = oracle.lookup(word)
    expect(heads and meaning and meaning != e2e.NOT_FOUND, "%r is not in %s", word, db)
    return e2e.main_until(d, "the lookup of %r" % word, e2e.shows_lookup(oracle, word))


def start_program(d, exe, cwd):
    return e2e.start_main(d, cwd=cwd, exe=exe)


# ---------------------------------------------------------------------------------------------
# Cases


def case_msi_install_use_uninstall(d, opts):
    """Silent install; started from its shortcut's target the program finds its Data.db, looks
    a word up and saves the Run entry with the installed path; silent uninstall leaves nothing."""
    remove_leftovers(d)
    work = tempfile.mkdtemp(prefix="kelvara-msi-")
    version = build_version(d)
    try:
        msi, _ = package(d, work, version)
        expect(os.path.getsize(msi) > 0, "empty package")
        install(msi)

        # Files, entry, shortcut.
        for f in ("kelvara.exe", "kelvara-dict.exe", "Data.db"):
            expect(os.path.isfile(os.path.join(installed_dir(), f)), "%s was not installed", f)
        products = our_products()
        expect(len(products) == 1, "Add/Remove Programs lists %d entries: %r", len(products),
               products)
        key, entry = next(iter(products.items()))
        expect(key.upper().endswith(product_code(version)), "entry %s is not the product", key)
        for name, want in (("DisplayVersion", version), ("Publisher", "Kelvara Dictionary developers"),
                           ("URLInfoAbout", MAKER_PAGE)):
            expect(entry.get(name) == want, "%s is %r, not %r", name, entry.get(name), want)
        code, text = dlg.reg("query", r"HKLM\Software\Classes\Installer\Products", "/s", "/v",
                             "ProductIcon")
        icons = [line.split("REG_SZ", 1)[1].strip() for line in text.replace("\r", "").split("\n")
                 if "ProductIcon" in line and product_code(version) in line]
        expect(icons, "no product icon registered: %s", text[-400:])
        with open(dlg.unix_path(icons[0]), "rb") as f:
            expect(f.read(4) == b"\0\0\1\0", "the product icon is not an icon file")

        links = shortcuts()
        expect(len(links) == 1, "Start-menu shortcuts: %r", links)
        target, strings = read_shortcut(links[0])
        expect(target and target.lower() == (INSTALL_DIR_WIN + "\\kelvara.exe").lower(),
               "the shortcut points at %r", target)
        expect(strings.get("workdir", "").rstrip("\\").lower() == INSTALL_DIR_WIN.lower(),
               "the shortcut starts in %r", strings.get("workdir"))

        # Started from the shortcut's target, from a folder without a dictionary.
        elsewhere = os.path.join(work, "elsewhere")
        os.makedirs(elsewhere)
        db = os.path.join(installed_dir(), "Data.db")
        p = start_program(d, target, elsewhere)
        try:
            look_up_and_see(d, opts, db, some_headwords(opts, db)[0])
            d.screenshot("installed-lookup")
            dlg.open_dialog(d, dlg.OPTIONS_BUTTON, dlg.OPTIONS)
            d.click_control(control(d.state(dlg.OPTIONS), "Button", text=dlg.START_UP_BOX))
            d.wait_for("the box to be checked", lambda: dlg.checked(d))
            d.click_control(dlg.dialog_button(d, dlg.OPTIONS, dlg.SAVE))
            d.wait_no_window(dlg.OPTIONS)
        finally:
            p.end()
        saved = run_entry("machine")
        expect(saved == INSTALLED_ENTRY, "Options saved %r, not %r", saved, INSTALLED_ENTRY)
        # What the user-level fallback writes for the same program goes too, whatever the case
        # of its path.
        set_run_entry("user", '"%s\\KELVARA.EXE" -t' % INSTALL_DIR_WIN.upper())

        code, out = uninstall(version)
        expect(code == 0, "msiexec /x /qn ended with %d: %s", code, out)
        expect_nothing_of_ours_left("after uninstalling")
        for scope in RUN_KEYS:
            expect(run_entry(scope) is None, "the %s Run entry is still there: %r", scope,
                   run_entry(scope))
    finally:
        remove_leftovers(d)
        shutil.rmtree(work, ignore_errors=True)


def case_msi_upgrade_replaces_older(d, opts):
    """A newer package installed over an older one leaves one entry and the newer files; the
    removal that an upgrade makes keeps the Run entry; uninstalling leaves another copy's entry
    alone."""
    remove_leftovers(d)
    work = tempfile.mkdtemp(prefix="kelvara-upgrade-")
    old, new = build_version(d), bumped(build_version(d))
    try:
        old_msi, _ = package(d, work, old, tag="old")
        # The newer build carries another dictionary, so its files are told from the old ones.
        new_db = os.path.join(work, "new-Data.db")
        done = subprocess.run([opts.dict_tool, "build", os.path.join(SOURCE_ROOT, "tests", "e2e",
                                                                     "e2e-words.tsv"), new_db],
                              capture_output=True, timeout=60)
        expect(done.returncode == 0, "kelvara-dict build failed: %s", done.stderr)
        new_msi, _ = package(d, work, new, data_db=new_db, tag="new")

        # Windows removes the older product of a major upgrade with UPGRADINGPRODUCTCODE set,
        # and the program stays registered to start: its newer version takes the same place.
        # (Wine's own RemoveExistingProducts does not set it, so this is asked for directly.)
        install(old_msi)
        set_run_entry("machine", INSTALLED_ENTRY)
        code, out = msiexec("/x", product_code(old), "/qn",
                            "UPGRADINGPRODUCTCODE=" + product_code(new))
        expect(code == 0 and not our_products(), "the upgrade's removal failed: %d %s", code, out)
        expect(run_entry("machine") == INSTALLED_ENTRY,
               "an upgrade's removal dropped the Run entry: %r", run_entry("machine"))

        install(old_msi)
        expect([v.get("DisplayVersion") for v in our_products().values()] == [old],
               "after the older install: %r", our_products())
        install(new_msi)
        products = our_products()
        expect([v.get("DisplayVersion") for v in products.values()] == [new],
               "after the upgrade Add/Remove Programs lists %r", products)
        with open(os.path.join(installed_dir(), "Data.db"), "rb") as a, open(new_db, "rb") as b:
            expect(a.read() == b.read(), "the installed Data.db is not the newer one")
        expect(len(shortcuts()) == 1, "shortcuts after the upgrade: %r", shortcuts())

        # The newer program runs with its own dictionary.
        db = os.path.join(installed_dir(), "Data.db")
        p = start_program(d, INSTALL_DIR_WIN + "\\kelvara.exe", work)
        try:
            look_up_and_see(d, opts, db, some_headwords(opts, db)[0])
        finally:
            p.end()

        # Installing the older one again is refused, and changes nothing.
        code, _ = msiexec("/i", dlg.windows_path(old_msi), "/qn")
        expect(code != 0, "the older package installed over the newer one")
        expect([v.get("DisplayVersion") for v in our_products().values()] == [new],
               "after refusing the older one: %r", our_products())

        set_run_entry("machine", INSTALLED_ENTRY)
        set_run_entry("user", '"D:\\Another copy\\kelvara.exe" -t')
        code, out = uninstall(new)
        expect(code == 0, "msiexec /x /qn ended with %d: %s", code, out)
        expect_nothing_of_ours_left("after uninstalling the upgrade")
        expect(run_entry("machine") is None, "our Run entry is still there")
        expect(run_entry("user") == '"D:\\Another copy\\kelvara.exe" -t',
               "another copy's Run entry was touched: %r", run_entry("user"))
    finally:
        remove_leftovers(d)
        shutil.rmtree(work, ignore_errors=True)


def case_zip_runs_from_persian_folder(d, opts):
    """The portable zip unpacks into a folder whose path has Persian letters and blanks and the
    program runs from there, finding its Data.db beside it."""
    work = tempfile.mkdtemp(prefix="kelvara-zip-")
    try:
        _, zipped = package(d, work, build_version(d))
        target = os.path.join(work, "پوشه آزمایشی", "واژه نامه کلوارا")
        os.makedirs(target)
        done = subprocess.run(["unzip", "-q", zipped, "-d", target], capture_output=True,
                              timeout=60)
        expect(done.returncode == 0, "unzip failed: %s", done.stderr)
        folder = os.path.join(target, "KelvaraDictionary-%s" % build_version(d))
        expect(sorted(os.listdir(folder)) == ["Data.db", "README.txt", "kelvara-dict.exe",
                                              "kelvara.exe"], "the zip holds %r",
               os.listdir(folder))
        with open(os.path.join(folder, "README.txt"), "rb") as f:
            readme = f.read().decode("utf-8-sig")
        for needed in ("kelvara.exe", "kelvara-dict", "import", "واژه نامه کلوارا"):
            expect(needed in readme, "README.txt does not mention %r", needed)
        db = os.path.join(folder, "Data.db")
        p = start_program(d, os.path.join(folder, "kelvara.exe"), work)
        try:
            for word in some_headwords(opts, db):
                look_up_and_see(d, opts, db, word)
                d.screenshot("portable-lookup")
                for _ in word:
                    d.key("BackSpace")
        finally:
            p.end()
        expect(p.process.returncode == 0, "the portable program ended with %r",
               p.process.returncode)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def case_release_programs_small_and_self_contained(d, opts):
    """The shipped programs: kelvara.exe at most 2 MB, and both import Windows' own DLLs only."""
    work = tempfile.mkdtemp(prefix="kelvara-pe-")
    try:
        files = stage_release_files(d, os.path.join(work, "files"))
        size = os.path.getsize(os.path.join(files, "kelvara.exe"))
        print("kelvara.exe as shipped: %d bytes" % size)
        expect(size <= MAX_PROGRAM_BYTES, "kelvara.exe is %d bytes, over %d", size,
               MAX_PROGRAM_BYTES)
        for exe in ("kelvara.exe", "kelvara-dict.exe"):
            done = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", os.path.join(files, exe)],
                                  capture_output=True, timeout=60)
            expect(done.returncode == 0, "objdump failed on %s", exe)
            dlls = sorted({line.split(":", 1)[1].strip().lower()
                           for line in done.stdout.decode("latin-1").split("\n")
                           if "DLL Name:" in line})
            print("%s imports: %s" % (exe, ", ".join(dlls)))
            expect(dlls, "no import table read from %s", exe)
            foreign = [n for n in dlls if n not in WINDOWS_DLLS and not n.startswith("api-ms-win-")]
            expect(not foreign, "%s needs libraries Windows does not have: %r", exe, foreign)
    finally:
        shutil.rmtree(work, ignore_errors=True)


# ---------------------------------------------------------------------------------------------

e2e.CASES.update({name[len("case_"):]: fn for name, fn in sorted(globals().items())
                  if name.startswith("case_")})

if __name__ == "__main__":
    sys.exit(e2e.main())
