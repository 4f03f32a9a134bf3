#!/usr/bin/env python3
"""Writes the importers' fuzz seeds into fuzz/seeds/{stardict,dictd,dictzip,markup}: small
sound dictionaries of each kind (plain and packed), whose parts the targets split at "#~#"
lines. Run again after changing the input layout of a target."""
import gzip
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SEP = b"\n#~#\n"


def dictzip(text, chunk):
    comp = zlib.compressobj(9, zlib.DEFLATED, -15)
    chunks = []
    for at in range(0, len(text), chunk):
        chunks.append(comp.compress(text[at:at + chunk]) + comp.flush(zlib.Z_FULL_FLUSH))
    tail = comp.flush(zlib.Z_FINISH)
    ra = b"RA" + struct.pack("<HHHH", 6 + 2 * len(chunks), 1, chunk, len(chunks))
    ra += b"".join(struct.pack("<H", len(c)) for c in chunks)
    head = b"\x1f\x8b\x08\x04" + b"\0\0\0\0" + b"\x02\x03" + struct.pack("<H", len(ra)) + ra
    return head + b"".join(chunks) + tail + struct.pack("<II", zlib.crc32(text), len(text) & 0xFFFFFFFF)


def write(target, name, data):
    folder = os.path.join(HERE, "seeds", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def stardict(entries, types, syn=(), bits=32):
    idx = b""
    data = b""
    for word, body in entries:
        idx += word.encode() + b"\0" + (struct.pack(">Q", len(data)) if bits == 64 else struct.pack(">I", len(data)))
        idx += struct.pack(">I", len(body))
        data += body
    synb = b"".join(w.encode() + b"\0" + struct.pack(">I", t) for w, t in syn)
    ifo = "StarDict's dict ifo file\nversion=3.0.0\nbookname=Seed\nwordcount=%d\nidxfilesize=%d\n" % (len(entries), len(idx))
    if syn:
        ifo += "synwordcount=%d\n" % len(syn)
    if bits == 64:
        ifo += "idxoffsetbits=64\n"
    if types:
        ifo += "sametypesequence=%s\n" % types
    return ifo.encode(), idx, data, synb


def main():
    pets = [("cat", "a small pet\nthat purrs".encode()), ("dog", "a loyal <b>pet</b> &amp; friend".encode()),
            ("گربه", "cat in Persian".encode())]
    ifo, idx, data, syn = stardict(pets, "m", syn=[("kitty", 0)])
    write("stardict", "plain-syn", ifo + SEP + idx + SEP + data + SEP + syn)
    ifo, idx, data, _ = stardict(pets, "h", bits=64)
    write("stardict", "gz-dz-64bit", ifo + SEP + gzip.compress(idx) + SEP + dictzip(data, 16))
    typed = [("cat", b"tk\xc3\xa6t\0g<i>felis</i>\0W\0\0\0\x03abc"), ("dog", b"x<k>dog</k> <tr>dog</tr>\0")]
    ifo, idx, data, _ = stardict(typed, "")
    write("stardict", "per-entry-types", ifo + SEP + idx + SEP + data)

    definitions = [("00-database-short", b"00-database-short\n  Seed dictionary\n"),
                   ("00databaseutf8", b"00-database-utf8\n"), ("cat", b"cat /k\xc3\xa6t/\n  a pet\n"),
                   ("dog", b"dog\n  a loyal pet\n"), ("", b"\xc2\xb4\n  acute\n")]
    b64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"

    def enc(v):
        s = ""
        while True:
            s = b64[v & 63] + s
            v >>= 6
            if v == 0:
                return s
    index, data = b"", b""
    for word, body in definitions:
        index += ("%s\t%s\t%s\n" % (word, enc(len(data)), enc(len(body)))).encode()
        data += body
    write("dictd", "plain", index + SEP + data)
    write("dictd", "dictzip", index + SEP + dictzip(data, 20))

    text = b"".join(body for _, body in definitions) * 3
    write("dictzip", "chunks", dictzip(text, 40))
    write("dictzip", "gzip-two-members", gzip.compress(b"one ") + gzip.compress(b"two"))

    write("markup", "html", b"<p>first &amp; <b>bold</b></p><br>&#x627;&eacute;<script>x</script>")
    write("markup", "pango", b"<span foreground=\"red\">red</span>\n<i>it</i> &lt;")
    write("markup", "xdxf", b"<k>cat</k>\n<tr>k\xc3\xa6t</tr> <abr>n.</abr><rref>a.wav</rref><br/>")


if __name__ == "__main__":
    main()
