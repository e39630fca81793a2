#!/usr/bin/env python3
"""Writes the fuzz target's seed corpus into fuzz/corpus/.

The seeds are the sample pages and a few edge pages: the extremes of each
layout, pages one step from a recognised signature, late ONFI revisions and
stored CRCs that match. The longest-report pages (longest.*.bin) come from
the tolvik_longest tool instead: tolvik_longest fuzz/corpus; the pages with
the longest JSON documents (longest-json.*.bin) from
tolvik_longest --json fuzz/corpus

Run it from anywhere: python3 fuzz/make_corpus.py
"""

import glob
import os
import shutil

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")
SAMPLES = os.path.join(HERE, "..", "samples")


def crc16(data, crc=0x4F4E):
    for byte in data:
        crc ^= byte << 8
        for _ in range(8):
            crc = (crc << 1 ^ 0x8005 if crc & 0x8000 else crc << 1) & 0xFFFF
    return crc


def page(signature, fill=0, fields=(), crc=False):
    p = bytearray([fill]) * 512
    p[0:4] = signature
    for offset, value in fields:
        p[offset:offset + len(value)] = value
    if crc:
        covered = 510 if signature == b"JESD" else 254
        p[covered:covered + 2] = crc16(p[:covered]).to_bytes(2, "little")
    return bytes(p)


SEEDS = {
    # Shorter than a page: the tool zero-fills, so the fuzz target must too.
    "empty.bin": b"",
    "onfi-signature-only.bin": b"ONFI",
    "jedec-signature-only.bin": b"JESD",
    # Not recognised: letter case and a signature one byte late.
    "onfi-lower-case.bin": page(b"onfi", 0xFF),
    "jedec-mixed-case.bin": page(b"JeSD", 0xFF),
    "onfi-shifted.bin": b"\0ONFI" + bytes(507),
    # Every field at its largest, with the stored CRC wrong and right.
    "onfi-all-ones.bin": page(b"ONFI", 0xFF),
    "jedec-all-ones.bin": page(b"JESD", 0xFF),
    "onfi-all-ones-crc.bin": page(b"ONFI", 0xFF, crc=True),
    "jedec-all-ones-crc.bin": page(b"JESD", 0xFF, crc=True),
    "onfi-zero-crc.bin": page(b"ONFI", crc=True),
    "jedec-zero-crc.bin": page(b"JESD", crc=True),
    # JEDEC wins over an ONFI signature behind it.
    "jedec-then-onfi.bin": page(b"JESD", fields=[(4, b"ONFI")]),
    # Late ONFI revisions (bits 12, 13, 14) change which lines appear.
    "onfi-revision-5.0.bin": page(b"ONFI", 0xFF, fields=[(4, b"\x00\x10")]),
    "onfi-revision-5.1.bin": page(b"ONFI", 0xFF, fields=[(4, b"\x00\x20")]),
    "onfi-revision-bit14.bin": page(b"ONFI", 0xFF, fields=[(4, b"\x00\x40")]),
    # Text fields ending early, and full of control and high bytes.
    "onfi-text-nul.bin": page(b"ONFI", fields=[(32, b"AB\0CDEFGHIJK"), (44, b"\0" * 20)]),
    "jedec-text-bytes.bin": page(b"JESD", fields=[(32, bytes(range(1, 13))), (44, bytes(range(0xEC, 0x100)))]),
}


def main():
    os.makedirs(CORPUS, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(CORPUS, name), "wb") as f:
            f.write(data)
    for sample in sorted(glob.glob(os.path.join(SAMPLES, "*.bin"))):
        shutil.copyfile(sample, os.path.join(CORPUS, "sample-" + os.path.basename(sample)))


if __name__ == "__main__":
    main()
