#!/usr/bin/env python3
"""Checks the StarDict and dictd readers against the field's own console readers on real
dictionaries from Debian: sdcv for StarDict, a private dictd (loopback, a free port, our own
configuration, stopped by its PID) queried with dict for dictd.

For each dictionary: the number of headwords we read equals what the source declares (.ifo
wordcount + synwordcount; .index lines less the 00-database ones), the name is the source's,
and for a few hundred random headwords our meanings equal the reference's after both are
reduced to plain text the same way (tags out, entities decoded, blanks folded).

  check_readers.py DUMP_PROGRAM [SAMPLES]
Prints one line per dictionary and a closing 'N passed, N failed' line; exits 1 on any failure.
"""
import html
import json
import os
import random
import re
import socket
import subprocess
import sys
import tempfile
import time
from collections import defaultdict

STARDICT = ["/usr/share/stardict/dic/czech-cizi.ifo", "/usr/share/stardict/dic/XMLittre.ifo"]
DICTD = ["/usr/share/dictd/freedict-eng-deu.index", "/usr/share/dictd/freedict-eng-fra.index"]
SEED = int(os.environ.get("KELVARA_REFERENCE_SEED", "13"))


def plain(text):
    """The same reduction for both sides: no tags, entities decoded, blanks folded."""
    text = re.sub(r"<[^<>]*>", "", text)
    text = html.unescape(text)
    return " ".join(text.split())


def dump(program, path):
    """Our reader's view: name, entries as (headword, meaning) in source order."""
    out = subprocess.run([program, path], capture_output=True, check=False)
    if out.returncode != 0:
        raise RuntimeError(f"{program} {path}: {out.stderr.decode(errors='replace').strip()}")
    lines = out.stdout.decode("utf-8").split("\n")
    name = lines[0].split("\t", 1)[1]
    count = int(lines[1].split("\t", 1)[1])
    entries = []
    for line in lines[2:]:
        if not line:
            continue
        word, meaning = line.split("\t", 1)
        meaning = re.sub(r"\\(.)", lambda m: {"n": "\n", "t": "\t", "r": "\r"}.get(m.group(1), m.group(1)), meaning)
        entries.append((word, meaning))
    if count != len(entries):
        raise RuntimeError(f"{path}: the dump says {count} entries but lists {len(entries)}")
    return name, entries


def ifo_keys(path):
    keys = {}
    with open(path, encoding="utf-8") as f:
        for line in f.read().splitlines()[1:]:
            if "=" in line:
                k, v = line.split("=", 1)
                keys[k] = v
    return keys


def check_stardict(program, ifo, samples, problems):
    keys = ifo_keys(ifo)
    declared = int(keys["wordcount"]) + int(keys.get("synwordcount", "0"))
    name, entries = dump(program, ifo)
    if len(entries) != declared:
        problems.append(f"{ifo}: {len(entries)} headwords read, the .ifo declares {declared}")
    if name != keys["bookname"]:
        problems.append(f"{ifo}: name {name!r}, the .ifo says {keys['bookname']!r}")
    ours = defaultdict(list)
    for word, meaning in entries:
        ours[word].append(plain(meaning))
    words = random.Random(SEED).sample(sorted(ours), min(samples, len(ours)))
    same = 0
    # sdcv prints one JSON array a line, one line per word looked up.
    for start in range(0, len(words), 100):
        batch = words[start:start + 100]
        # "--" keeps headwords such as "-LOGISTE" from being read as options; sdcv then looks
        # "--" up as well and answers [] for it first.
        out = subprocess.run(["sdcv", "-n", "-e", "-j", "--data-dir", os.path.dirname(ifo),
                              "-u", keys["bookname"], "--", *batch],
                             capture_output=True, check=True, env=dict(os.environ, HOME=tempfile.gettempdir()))
        results = out.stdout.decode("utf-8").splitlines()
        if len(results) == len(batch) + 1 and results[0] == "[]":
            results = results[1:]
        if len(results) != len(batch):
            problems.append(f"{ifo}: sdcv answered {len(results)} lines for {len(batch)} words")
            continue
        for word, line in zip(batch, results):
            try:
                found = json.loads(line, strict=False)
            except json.JSONDecodeError:
                problems.append(f"{ifo}: sdcv's answer for {word!r} is not JSON: {line[:80]!r}")
                continue
            theirs = sorted(plain(r["definition"]) for r in found if r["word"] == word)
            if theirs == sorted(ours[word]):
                same += 1
            elif len(problems) < 40:
                problems.append(f"{ifo}: {word!r}: ours {sorted(ours[word])!r:.300} sdcv {theirs!r:.300}")
    return f"{os.path.basename(ifo)}: {len(entries)} headwords (declared {declared}), " \
           f"{same}/{len(words)} random headwords match sdcv", same == len(words) and len(entries) == declared


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def start_dictd(indexes, workdir):
    port = free_port()
    os.chmod(workdir, 0o755)  # dictd reads its configuration as its own, unprivileged user
    conf = os.path.join(workdir, "dictd.conf")
    with open(conf, "w") as f:
        f.write(f"global {{\n listen_to 127.0.0.1\n port {port}\n pid_file {workdir}/dictd.pid\n}}\n")
        for i, index in enumerate(indexes):
            base = index[:-len(".index")]
            data = base + ".dict.dz" if os.path.exists(base + ".dict.dz") else base + ".dict"
            f.write(f"database db{i} {{\n data {data}\n index {index}\n}}\n")
    log = open(os.path.join(workdir, "dictd.log"), "w")
    # In the foreground, so that it stays our child; it drops its privileges, so it logs to
    # the pipe we give it rather than to a file of ours.
    proc = subprocess.Popen(["dictd", "-c", conf, "-d", "nodetach", "--locale", "C.UTF-8"],
                            stdout=log, stderr=log)
    for _ in range(100):
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return proc, port
        except OSError:
            if proc.poll() is not None:
                break
            time.sleep(0.1)
    proc.kill()
    log.close()
    with open(os.path.join(workdir, "dictd.log")) as f:
        raise RuntimeError(f"dictd did not start on port {port}: {f.read()}")


def dict_define(port, db, word):
    """dict's definitions of one headword, each without dict's two-space indentation."""
    out = subprocess.run(["dict", "-h", "127.0.0.1", "-p", str(port), "-d", db, "-C", "-f", "--", word],
                         capture_output=True, check=False)
    definitions = []
    for line in out.stdout.decode("utf-8").split("\n"):
        if line.startswith("127.0.0.1\t"):
            definitions.append([])
        elif definitions:
            definitions[-1].append(line)
    return ["\n".join(d) for d in definitions]


def check_dictd(program, index, db, port, samples, problems):
    with open(index, encoding="utf-8", errors="surrogateescape") as f:
        lines = [l for l in f.read().split("\n") if l]
    words = [l.split("\t")[0] for l in lines if not re.match(r"00-?database", l)]
    declared = len(words)
    name, entries = dump(program, index)
    if len(entries) != declared:
        problems.append(f"{index}: {len(entries)} headwords read, the index has {declared} (less 00-database)")
        return f"{os.path.basename(index)}: count differs", False
    # Our entries line up with the index lines; group them by the index's headword, which is
    # what dictd matches.
    ours = defaultdict(list)
    for word, (_, meaning) in zip(words, entries):
        ours[word].append(plain(meaning))
    candidates = sorted(w for w in ours if w.strip())
    picked = random.Random(SEED).sample(candidates, min(samples, len(candidates)))
    same = 0
    for word in picked:
        theirs = sorted(plain(d) for d in dict_define(port, db, word))
        if theirs == sorted(ours[word]):
            same += 1
        elif len(problems) < 40:
            problems.append(f"{index}: {word!r}: ours {sorted(ours[word])!r:.300} dict {theirs!r:.300}")
    short = dict_define(port, db, "00-database-short")
    expected = plain(short[0]) if short else ""
    expected = re.sub(r"^00-?database-?short\s*", "", expected)
    if plain(name) != expected:
        problems.append(f"{index}: name {name!r}, dictd's 00-database-short {expected!r}")
    return f"{os.path.basename(index)}: {len(entries)} headwords (index less 00-database: {declared}), " \
           f"{same}/{len(picked)} random headwords match dict", same == len(picked)


def main():
    program = sys.argv[1]
    samples = int(sys.argv[2]) if len(sys.argv) > 2 else 300
    missing = [p for p in STARDICT + DICTD if not os.path.exists(p)]
    for tool in ("sdcv", "dictd", "dict"):
        if subprocess.run(["sh", "-c", f"command -v {tool}"], capture_output=True).returncode != 0:
            missing.append(tool)
    if missing:
        print("missing (scripts/deps.sh installs them):", ", ".join(missing))
        print("0 passed, 1 failed")
        return 1
    passed = failed = 0
    problems = []
    for ifo in STARDICT:
        summary, ok = check_stardict(program, ifo, samples, problems)
        print(summary)
        passed, failed = passed + ok, failed + (not ok)
    with tempfile.TemporaryDirectory(prefix="kelvara-dictd-") as workdir:
        proc, port = start_dictd(DICTD, workdir)
        try:
            for i, index in enumerate(DICTD):
                summary, ok = check_dictd(program, index, f"db{i}", port, samples, problems)
                print(summary)
                passed, failed = passed + ok, failed + (not ok)
        finally:
            proc.terminate()  # our own dictd, by its PID
            proc.wait(timeout=10)
    for p in problems:
        print("  " + p)
    print(f"{passed} passed, {failed} failed")
    return 0 if failed == 0 and not problems else 1


if __name__ == "__main__":
    sys.exit(main())
