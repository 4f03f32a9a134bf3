#!/usr/bin/env python3
"""How often a copied word shows its own meaning, measured on English prose found on this machine.

Every word of the prose is copied three ways, as readers copy: the word alone (a double-click in
most editors), the word and the blank after it (a double-click in browsers on Windows), and the
word with the punctuation around it (a quick drag: `(books,`, `“Book.”`, `John's`). Each copy goes
through the resolver and the lookup of the bundled dictionary (kelvara-resolve-batch); the first
listed headword is then judged against WordNet (Debian's wordnet-base), an oracle that the program
does not ship: it is "right" when it is the word itself or one of the word's base forms by
WordNet's own rules (its exception lists and suffix rules, bases that WordNet lists), "wrong" when
it is some other headword, and neither when nothing is listed. "Reachable" words are those whose
own or base form is a headword. Shares are over reachable word occurrences and over reachable
words ranked 500 to 2,000 by their frequency in the same prose.

    bench/prose_goals.py [--batch BIN] [--db Data.db] [--as-copied] [FILE...]

Without files it reads the licences under /usr/share/common-licenses, Vim's user manual and a few
manual pages, whichever are installed. Goals: right >= 98%, wrong <= 1% of occurrences and <= 2% of
words ranked 500-2,000.
"""
import argparse
import collections
import glob
import os
import re
import subprocess
import sys

WORDNET = "/usr/share/wordnet"
RULES = {
    "noun": [("s", ""), ("ses", "s"), ("xes", "x"), ("zes", "z"), ("ches", "ch"), ("shes", "sh"),
             ("men", "man"), ("ies", "y")],
    "verb": [("s", ""), ("ies", "y"), ("es", "e"), ("es", ""), ("ed", "e"), ("ed", ""),
             ("ing", "e"), ("ing", "")],
    "adj": [("er", ""), ("est", ""), ("er", "e"), ("est", "e")],
    "adv": [],
}


def load_wordnet():
    index, exceptions = {}, {}
    for pos in RULES:
        lemmas = set()
        with open(os.path.join(WORDNET, "index." + pos), encoding="latin-1") as f:
            for line in f:
                if not line.startswith(" "):
                    lemmas.add(line.split(" ", 1)[0])
        index[pos] = lemmas
        exc = collections.defaultdict(set)
        path = os.path.join(WORDNET, pos + ".exc")
        if os.path.exists(path):
            with open(path, encoding="latin-1") as f:
                for line in f:
                    parts = line.split()
                    if len(parts) >= 2:
                        exc[parts[0]].update(parts[1:])
        exceptions[pos] = exc
    return index, exceptions


def bases(word, index, exceptions):
    """The word itself and its base forms by WordNet's morphology."""
    w = word.lower()
    out = {w}
    for pos, rules in RULES.items():
        out |= exceptions[pos].get(w, set())
        for suffix, ending in rules:
            if w.endswith(suffix) and len(w) > len(suffix):
                base = w[: len(w) - len(suffix)] + ending
                if base in index[pos]:
                    out.add(base)
    return out


def default_texts():
    texts = []
    for name in ["GPL-3", "GPL-2", "LGPL-2.1", "Apache-2.0", "GFDL-1.3", "MPL-2.0", "Artistic"]:
        path = "/usr/share/common-licenses/" + name
        if os.path.exists(path):
            texts.append((path, open(path, encoding="utf-8", errors="replace").read()))
    for path in sorted(glob.glob("/usr/share/vim/vim*/doc/usr_*.txt")):
        texts.append((path, open(path, encoding="utf-8", errors="replace").read()))
    for page in ["bash", "man", "find", "apt-get", "dpkg", "grep", "tar"]:
        try:
            text = subprocess.run(["man", "--nh", "--nj", "-P", "cat", page], capture_output=True, text=True,
                                  env=dict(os.environ, MANWIDTH="100"), timeout=60).stdout
        except (OSError, subprocess.SubprocessError):
            text = ""
        if text:
            texts.append(("man " + page, text))
    return texts


CHUNK = re.compile(r"^([^\w]*?)([A-Za-z]+)((?:['\u2019]s)?)([^\w]*)$")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    root = os.path.dirname(here)
    ap = argparse.ArgumentParser()
    ap.add_argument("--batch", default=os.path.join(root, "build/native/bin/kelvara-resolve-batch"))
    ap.add_argument("--db", default=None)
    ap.add_argument("--as-copied", action="store_true", help="the baseline: every copy looked up as copied")
    ap.add_argument("files", nargs="*")
    args = ap.parse_args()
    db = args.db
    if db is None:
        db = "/tmp/kelvara-prose-goals.db"
        subprocess.run([os.path.join(root, "build/native/bin/kelvara-dict"), "build",
                        os.path.join(root, "data/words.tsv"), db], check=True, capture_output=True)
    texts = [(f, open(f, encoding="utf-8", errors="replace").read()) for f in args.files] or default_texts()

    index, exceptions = load_wordnet()
    headwords = set()
    with open(os.path.join(root, "data/words.tsv"), encoding="utf-8") as f:
        for line in f:
            headwords.add(line.split("\t", 1)[0].lstrip("\ufeff").lower())

    occurrences = []  # (word, punctuated chunk or None)
    for _, text in texts:
        for chunk in text.split():
            m = CHUNK.match(chunk)
            if not m:
                continue
            word = m.group(2)
            occurrences.append((word, chunk if chunk != word else None))
    freq = collections.Counter(w.lower() for w, _ in occurrences)
    ranked = [w for w, _ in freq.most_common()]
    rank = {w: i + 1 for i, w in enumerate(ranked)}

    copies = set()
    for word, chunk in occurrences:
        copies.add(word)
        copies.add(word + " ")
        if chunk:
            copies.add(chunk)
    copies = sorted(copies)
    out = subprocess.run([args.batch] + (["--as-copied"] if args.as_copied else []) + [db], input="\n".join(copies) + "\n", capture_output=True, text=True,
                         check=True).stdout.split("\n")
    first = dict(zip(copies, out))

    base_cache = {}

    def judge(word, copy):
        b = base_cache.get(word.lower())
        if b is None:
            b = base_cache[word.lower()] = bases(word, index, exceptions)
        listed = first[copy].lower()
        if not listed:
            return "none"
        # A copy with its possessive or contraction ("it's") may show that headword: its own form.
        own = CHUNK.match(copy.strip())
        if own and own.group(3) and listed == (own.group(2) + "'s").lower():
            return "right"
        return "right" if listed in b else "wrong"

    def reachable(word):
        b = base_cache.get(word.lower()) or bases(word, index, exceptions)
        base_cache[word.lower()] = b
        return any(x in headwords for x in b)

    ways = [("the word alone", lambda w, c: w), ("the word and a trailing blank", lambda w, c: w + " "),
            ("the word with its punctuation", lambda w, c: c)]
    unreachable = sum(1 for w, _ in occurrences if not reachable(w))
    print(f"prose: {len(texts)} texts, {len(occurrences)} word occurrences, {len(freq)} distinct words; "
          f"{100 * (1 - unreachable / len(occurrences)):.1f}% of occurrences reachable")
    print(f"{'how the word was copied':32} | {'occurrences':>11} {'right':>7} {'wrong':>6} | "
          f"{'words 500-2000':>14} {'right':>7} {'wrong':>6}")
    wrong_examples = collections.Counter()
    goals = True
    for name, make in ways:
        tally = collections.Counter()
        for word, chunk in occurrences:
            if make(word, chunk) is None or not reachable(word):
                continue
            verdict = judge(word, make(word, chunk))
            tally[verdict] += 1
            if verdict == "wrong":
                wrong_examples[(make(word, chunk), first[make(word, chunk)])] += 1
        total = sum(tally.values())
        # Words ranked 500-2,000: each word once, copied in its commonest form in the prose.
        forms = collections.defaultdict(collections.Counter)
        for word, chunk in occurrences:
            copy = make(word, chunk)
            if copy is not None:
                forms[word.lower()][(word, copy)] += 1
        typed = collections.Counter()
        for w in ranked[499:2000]:
            if w not in forms or not reachable(w):
                continue
            (word, copy), _ = forms[w].most_common(1)[0]
            typed[judge(word, copy)] += 1
        types = sum(typed.values())
        r, x = tally["right"] / max(total, 1), tally["wrong"] / max(total, 1)
        tr, tx = typed["right"] / max(types, 1), typed["wrong"] / max(types, 1)
        goals = goals and r >= 0.98 and x <= 0.01 and tr >= 0.98 and tx <= 0.02
        print(f"{name:32} | {total:>11} {100 * r:>6.1f}% {100 * x:>5.2f}% | {types:>14} {100 * tr:>6.1f}% "
              f"{100 * tx:>5.2f}%   (nothing listed: {tally['none']} occurrences)")
    print("goals (right >= 98%, wrong <= 1% of occurrences and <= 2% of words ranked 500-2,000):",
          "met" if goals else "NOT met")
    print("commonest wrong results (copy -> first listed):")
    for (copy, listed), n in wrong_examples.most_common(25):
        print(f"  {n:5}  {copy!r} -> {listed!r}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
