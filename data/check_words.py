#!/usr/bin/env python3
"""Check the bundled English-Persian word list, and optionally a Data.db built from it.

    check_words.py WORDS.tsv                      check the list itself
    check_words.py WORDS.tsv KELVARA-DICT DATA.db also check that the dictionary finds every entry
    check_words.py --range a-l PART.tsv           also check the first letters of the headwords
    check_words.py --self-test                    check the checker on faulty samples

The list is UTF-8 without a byte-order mark, LF line ends, one entry a line: the headword, one
TAB, the meaning. Exit status 0 when everything is clean, 1 otherwise (every problem is printed
with its line number).
"""

import argparse
import os
import re
import shlex
import subprocess
import sys
import tempfile
import unicodedata

ZWNJ = "\u200c"
ARABIC_YEH = "\u064a"
ARABIC_KAF = "\u0643"
ALEF_MAKSURA = "\u0649"

# Terms that Persian text really writes in Latin letters; any other Latin run in a meaning is
# a fault (usually an untranslated gloss).
LATIN_ALLOWED = {
    "DNA", "RNA", "HIV", "pH", "USB", "GPS", "SMS", "PDF", "HTML", "CD", "DVD", "SIM", "IQ",
    "Wi-Fi", "A", "B", "C", "D", "E", "K",
}

# Persian and Arabic letters proper (not digits, punctuation or diacritics).
PERSIAN_LETTER = re.compile("[\u0621-\u063a\u0641-\u064a\u067e\u0686\u0698\u06a9\u06af\u06cc\u0622\u0671]")
LATIN_RUN = re.compile(r"[A-Za-z]+(?:-[A-Za-z]+)*")
ARABIC_INDIC_DIGIT = re.compile("[\u0660-\u0669]")
# Blanks and invisible characters other than the plain space and the zero-width non-joiner.
ODD_SPACE = re.compile("[\u00a0\u1680\u2000-\u200b\u200d-\u200f\u2028\u2029\u202a-\u202f\u205f\u3000\ufeff]")


class Report:
    def __init__(self, max_shown):
        self.max_shown = max_shown
        self.count = 0

    def error(self, where, text):
        self.count += 1
        if self.count <= self.max_shown:
            print(f"{where}: {text}")

    def finish(self):
        if self.count > self.max_shown:
            print(f"... and {self.count - self.max_shown} more problems not shown")
        return self.count


def describe(ch):
    name = unicodedata.name(ch, "unnamed character")
    return f"U+{ord(ch):04X} {name}"


def check_field_spacing(where, kind, text, report):
    if text != text.strip(" \t"):
        report.error(where, f"{kind} has leading or trailing whitespace")
    if "  " in text:
        report.error(where, f"{kind} has doubled blanks")
    odd = ODD_SPACE.search(text)
    if odd:
        report.error(where, f"{kind} contains {describe(odd.group())}")
    ctrl = next((c for c in text if unicodedata.category(c) == "Cc"), None)
    if ctrl is not None:
        report.error(where, f"{kind} contains control character {describe(ctrl)}")
    if ZWNJ in text and (text.startswith(ZWNJ) or text.endswith(ZWNJ) or ZWNJ * 2 in text
                         or " " + ZWNJ in text or ZWNJ + " " in text):
        report.error(where, f"{kind} has a stray zero-width non-joiner (at an edge, doubled or beside a blank)")


def check_meaning(where, meaning, report, latin_allowed):
    if not PERSIAN_LETTER.search(meaning):
        report.error(where, "meaning has no Persian letters")
    if ARABIC_YEH in meaning or ALEF_MAKSURA in meaning:
        report.error(where, "meaning uses the Arabic yeh (\u064a/\u0649); Persian needs \u06cc U+06CC")
    if ARABIC_KAF in meaning:
        report.error(where, "meaning uses the Arabic kaf (\u0643); Persian needs \u06a9 U+06A9")
    if ARABIC_INDIC_DIGIT.search(meaning):
        report.error(where, "meaning uses Arabic-Indic digits; Persian digits are U+06F0-U+06F9")
    for run in LATIN_RUN.findall(meaning):
        if run not in latin_allowed:
            report.error(where, f"meaning contains Latin letters '{run}' (not in the allow-list)")
    if re.search(r"(?<![0-9\u06f0-\u06f9]),|,(?![0-9\u06f0-\u06f9])", meaning):
        report.error(where, "meaning uses a Latin comma; senses are separated by '\u060c ' (U+060C and a blank)")
    if re.search("\u060c(?! )|\u060c$", meaning) or " \u060c" in meaning:
        report.error(where, "senses must be separated by '\u060c ' (the Arabic comma, then one blank)")
    if re.search("\u060c *\u060c", meaning) or meaning.startswith("\u060c") or meaning.rstrip().endswith("\u060c"):
        report.error(where, "meaning has an empty sense between Arabic commas")


def read_entries(path, report, first_letters=None, latin_allowed=LATIN_ALLOWED):
    """Check the list at path; return its entries as (line number, headword, meaning)."""
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError as e:
        report.error(path, f"cannot read the file: {e.strerror}")
        return []
    if not data:
        report.error(path, "the file is empty")
        return []
    if data.startswith(b"\xef\xbb\xbf"):
        report.error(f"{path}:1", "the file starts with a UTF-8 byte-order mark")
        data = data[3:]
    if not data.endswith(b"\n"):
        report.error(path, "the last line has no line end (LF)")
    entries = []
    first_seen = {}
    lines = data.split(b"\n")
    if lines[-1] == b"":
        lines.pop()  # the empty piece after the final LF
    for number, raw in enumerate(lines, start=1):
        where = f"{path}:{number}"
        if raw.endswith(b"\r"):
            report.error(where, "CRLF line end; the list uses LF only")
            raw = raw[:-1]
        try:
            line = raw.decode("utf-8")
        except UnicodeDecodeError as e:
            report.error(where, f"not valid UTF-8 (byte {e.start + 1} of the line)")
            continue
        if not line.strip():
            report.error(where, "empty line")
            continue
        tabs = line.count("\t")
        if tabs != 1:
            report.error(where, f"expected exactly one TAB between headword and meaning, found {tabs}")
            if tabs == 0:
                continue
        headword, meaning = line.split("\t", 1)
        meaning = meaning.replace("\t", " ") if tabs > 1 else meaning
        if not headword.strip():
            report.error(where, "empty headword")
            continue
        check_field_spacing(where, "headword", headword, report)
        if PERSIAN_LETTER.search(headword):
            report.error(where, "headword contains Persian letters (are the columns swapped?)")
        if first_letters is not None and headword.strip()[0].lower() not in first_letters:
            report.error(where, f"headword '{headword}' is outside the letters {first_letters_text(first_letters)}")
        if not meaning.strip():
            report.error(where, f"empty meaning for '{headword}'")
        else:
            check_field_spacing(where, "meaning", meaning, report)
            check_meaning(where, meaning, report, latin_allowed)
        key = headword.strip().casefold()
        if key in first_seen:
            report.error(where, f"duplicate headword '{headword}' (first on line {first_seen[key]}, letter case ignored)")
        else:
            first_seen[key] = number
        entries.append((number, headword, meaning))
    return entries


def first_letters_text(letters):
    return f"{min(letters)}-{max(letters)}"


def parse_range(text):
    m = re.fullmatch(r"([a-zA-Z])-([a-zA-Z])", text)
    if not m or m.group(1).lower() > m.group(2).lower():
        raise argparse.ArgumentTypeError(f"'{text}' is not a letter range such as a-l")
    lo, hi = m.group(1).lower(), m.group(2).lower()
    return {chr(c) for c in range(ord(lo), ord(hi) + 1)}


def tool_command(tool):
    # A path is run as it is; anything else is a command line, e.g. "wine kelvara-dict.exe".
    return [tool] if os.path.exists(tool) else shlex.split(tool)


class ToolMissing(Exception):
    pass


def run_tool(tool, *args):
    """Run the tool; return (its output, or None when it failed, and the reason)."""
    try:
        done = subprocess.run(tool_command(tool) + list(args), capture_output=True, timeout=600)
    except OSError as e:
        raise ToolMissing(f"cannot run '{tool}': {e.strerror or e}") from e
    except subprocess.TimeoutExpired:
        return None, "no answer within 10 minutes"
    out = done.stdout.decode("utf-8", errors="replace").replace("\r\n", "\n")
    err = done.stderr.decode("utf-8", errors="replace").strip()
    return (out if done.returncode == 0 else None), (err or f"exit status {done.returncode}")


def escape_pattern(word):
    # The lookup takes a pattern: make its special characters stand for themselves.
    return re.sub(r"([\[?#*])", r"[\1]", word)


def check_with_dump(path, entries, dump, report):
    found = {}
    for line in dump.split("\n"):
        if line:
            head, _, rest = line.partition("\t")
            found.setdefault(head, rest.split("\t", 1)[0])
    listed = set()
    for number, headword, meaning in entries:
        where = f"{path}:{number}"
        listed.add(headword)
        if headword not in found:
            report.error(where, f"'{headword}' is missing from the dictionary database")
        elif found[headword] != meaning:
            report.error(where, f"the database gives '{headword}' a different meaning: '{found[headword]}'")
    for head in sorted(set(found) - listed):
        report.error(path, f"the database holds '{head}', which is not in the list")


def check_with_lookup(path, entries, tool, db, report):
    for number, headword, meaning in entries:
        where = f"{path}:{number}"
        out, err = run_tool(tool, "lookup", db, escape_pattern(headword))
        if out is None:
            report.error(where, f"lookup of '{headword}' failed: {err}")
            continue
        heads, _, text = out.partition("\n\n")
        heads = heads.split("\n")
        if headword not in heads:
            report.error(where, f"lookup of '{headword}' does not list it")
        elif heads[0] == headword and text.strip("\n") != meaning:
            report.error(where, f"lookup of '{headword}' shows a different meaning: '{text.strip()}'")


def check(path, tool=None, db=None, first_letters=None, max_shown=100, quiet=False):
    report = Report(max_shown)
    entries = read_entries(path, report, first_letters)
    if tool is not None and entries:
        if not os.path.exists(db):
            report.error(db, "the dictionary database does not exist")
        else:
            try:
                dump, err = run_tool(tool, "dump", db)
                if dump is not None and dump.strip():
                    check_with_dump(path, entries, dump, report)
                else:
                    if not quiet:
                        print(f"note: '{tool} dump' gave nothing ({err}); looking up each headword instead")
                    check_with_lookup(path, entries, tool, db, report)
            except ToolMissing as e:
                report.error(tool, str(e))
    problems = report.finish()
    if not quiet:
        if problems:
            print(f"{path}: {problems} problem(s) in {len(entries)} entries")
        else:
            print(f"{path}: {len(entries)} entries, all clean")
    return problems


# ---- the checker's own test ------------------------------------------------------------------

FAKE_TOOL = r'''
import sys
cmd, db = sys.argv[1], sys.argv[2]
rows = [l.rstrip("\n").split("\t", 1) for l in open(db, encoding="utf-8") if l.strip()]
if cmd == "dump":
    if db.endswith(".nodump"):
        sys.exit(2)
    for h, m in rows:
        print(h + "\t" + m)
elif cmd == "lookup":
    import re
    word = re.sub(r"\[(.)\]", r"\1", sys.argv[3]).casefold()
    hits = sorted((h for h, m in rows if h.casefold().startswith(word)), key=str.casefold)
    print("\n".join(hits))
    print()
    if hits:
        print(dict(rows)[hits[0]])
'''


def self_test():
    good = "apple\tسیب\nice cream\tبستنی\ngive up\tتسلیم شدن، دست کشیدن\nbook\tکتاب\u200cها\n"
    cases = [
        # (name, file bytes, expected line number or None for the whole file, word in the message)
        ("clean list", good.encode(), None, None),
        ("byte-order mark", b"\xef\xbb\xbf" + good.encode(), 1, "byte-order mark"),
        ("CRLF", good.replace("\n", "\r\n", 1).encode(), 1, "CRLF"),
        ("bad UTF-8", good.encode() + b"pear\t\xd9\n", 5, "UTF-8"),
        ("no TAB", good + "pear \u06af\u0644\u0627\u0628\u06cc\n", 5, "one TAB"),
        ("two TABs", good + "pear\t\u06af\u0644\u0627\u0628\u06cc\tx\n", 5, "one TAB"),
        ("duplicate", good + "Apple\t\u0633\u06cc\u0628\n", 5, "duplicate"),
        ("empty meaning", good + "pear\t\n", 5, "empty meaning"),
        ("Arabic yeh", good + "pear\t\u06af\u0644\u0627\u0628\u064a\n", 5, "Arabic yeh"),
        ("Arabic kaf", good + "cup\t\u0641\u0646\u062c\u0627\u0646 \u0643\u0648\u0686\u06a9\n", 5, "Arabic kaf"),
        ("Latin gloss", good + "pear\t\u06af\u0644\u0627\u0628\u06cc (pear)\n", 5, "Latin"),
        ("English only", good + "pear\tpear\n", 5, "no Persian"),
        ("trailing blank", good + "pear\t\u06af\u0644\u0627\u0628\u06cc \n", 5, "trailing"),
        ("leading blank", good + " pear\t\u06af\u0644\u0627\u0628\u06cc\n", 5, "leading"),
        ("doubled blank", good + "pear\t\u06af\u0644\u0627\u0628\u06cc  \u0633\u0628\u0632\n", 5, "doubled"),
        ("no-break space", good + "pear\t\u06af\u0644\u0627\u0628\u06cc\u00a0\u0633\u0628\u0632\n", 5, "U+00A0"),
        ("comma without blank", good + "pear\t\u06af\u0644\u0627\u0628\u06cc\u060c\u0633\u0628\u0632\n", 5, "separated"),
        ("Latin comma", good + "pear\t\u06af\u0644\u0627\u0628\u06cc, \u0633\u0628\u0632\n", 5, "Latin comma"),
        ("stray ZWNJ", good + "pear\t\u06af\u0644\u0627\u0628\u06cc\u200c \u0633\u0628\u0632\n", 5, "non-joiner"),
        ("empty line", good + "\n", 5, "empty line"),
        ("no final LF", good.rstrip("\n").encode(), None, "line end"),
        ("swapped columns", good + "\u06af\u0644\u0627\u0628\u06cc\tpear\n", 5, "swapped"),
        ("Arabic-Indic digit", good + "four\t\u0664\n", 5, "digits"),
    ]
    failures = 0
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "words.tsv")
        for name, data, line, word in cases:
            with open(path, "wb") as f:
                f.write(data if isinstance(data, bytes) else data.encode())
            failures += expect(name, line, word, path)
        # First letters of a part.
        with open(path, "w", encoding="utf-8", newline="\n") as f:
            f.write(good + "zebra\t\u06af\u0648\u0631\u062e\u0631\n")
        failures += expect_output("letter range", lambda: check(path, first_letters=parse_range("a-l"), quiet=True),
                                  f"{path}:5", "outside")
        # Database checks through a stand-in for the tool that reads its "database" as a list.
        fake = os.path.join(tmp, "fake-dict.py")
        with open(fake, "w", encoding="utf-8") as f:
            f.write(FAKE_TOOL)
        tool = f"{shlex.quote(sys.executable)} {shlex.quote(fake)}"
        with open(path, "w", encoding="utf-8", newline="\n") as f:
            f.write(good)
        for suffix in ("", ".nodump"):
            db = os.path.join(tmp, "db" + suffix)
            with open(db, "w", encoding="utf-8", newline="\n") as f:
                f.write(good)
            how = "lookup" if suffix else "dump"
            failures += expect_output(f"database complete ({how})", lambda: check(path, tool, db, quiet=True), None, None)
            with open(db, "w", encoding="utf-8", newline="\n") as f:
                f.write(good.replace("ice cream\t", "ice-cream\t"))
            failures += expect_output(f"headword missing from the database ({how})",
                                      lambda: check(path, tool, db, quiet=True), f"{path}:2", "ice cream")
            with open(db, "w", encoding="utf-8", newline="\n") as f:
                f.write(good.replace("\u0633\u06cc\u0628", "\u0628\u0647"))
            failures += expect_output(f"wrong meaning in the database ({how})",
                                      lambda: check(path, tool, db, quiet=True), f"{path}:1", "different meaning")
        failures += expect_output("tool that cannot be run",
                                  lambda: check(path, os.path.join(tmp, "no-such-tool"), db, quiet=True),
                                  os.path.join(tmp, "no-such-tool"), "cannot run")
    print("self-test: " + ("all cases pass" if not failures else f"{failures} case(s) failed"))
    return 1 if failures else 0


def expect(name, line, word, path):
    """Check the list at path; pass when a problem naming the line and word is reported (or none at all
    when word is None)."""
    import io
    import contextlib
    buf = io.StringIO()
    report = Report(1000)
    with contextlib.redirect_stdout(buf):
        read_entries(path, report)
    text = buf.getvalue()
    if word is None:
        ok = report.count == 0
    else:
        where = f"{path}:{line}:" if line is not None else f"{path}:"
        ok = any(l.startswith(where) and word in l for l in text.splitlines())
    print(f"{'ok  ' if ok else 'FAIL'} {name}" + ("" if ok else f"\n{text}"))
    return 0 if ok else 1


def expect_output(name, run, where, word):
    import io
    import contextlib
    buf = io.StringIO()
    with contextlib.redirect_stdout(buf):
        problems = run()
    text = buf.getvalue()
    if word is None:
        ok = problems == 0
    else:
        ok = problems > 0 and any(l.startswith(where + ":") and word in l for l in text.splitlines())
    print(f"{'ok  ' if ok else 'FAIL'} {name}" + ("" if ok else f"\n{text}"))
    return 0 if ok else 1


def main():
    parser = argparse.ArgumentParser(description="Check the bundled English-Persian word list.")
    parser.add_argument("tsv", nargs="?", help="the word list (TSV)")
    parser.add_argument("tool", nargs="?", help="kelvara-dict program (or a command line such as 'wine kelvara-dict.exe')")
    parser.add_argument("db", nargs="?", help="a Data.db built from the list")
    parser.add_argument("--range", type=parse_range, metavar="X-Y", help="headwords must begin with these letters")
    parser.add_argument("--max-errors", type=int, default=100, metavar="N", help="show at most N problems (default 100)")
    parser.add_argument("--self-test", action="store_true", help="check the checker on faulty samples")
    args = parser.parse_args()
    if args.self_test:
        return self_test()
    if args.tsv is None or (args.tool is None) != (args.db is None):
        parser.error("give the list, and optionally both the kelvara-dict tool and a Data.db")
    return 1 if check(args.tsv, args.tool, args.db, args.range, args.max_errors) else 0


if __name__ == "__main__":
    sys.exit(main())
