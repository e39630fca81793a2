#!/usr/bin/env python3
"""Writes the whole-dump fuzz target's seed corpus into fuzz/corpus-dump/.

The seeds are the sample dump and dumps one fault away from it: a bad first
copy, a bit wrong in each copy, an extended page with a bad copy, cut short or
running past its end, and a JEDEC dump of three copies.

Run it from anywhere: python3 fuzz/make_dump_corpus.py
"""

import glob
import os
import shutil

from make_corpus import crc16, page

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus-dump")
SAMPLES = os.path.join(HERE, "..", "samples")


def flip(data, offset, bit=0):
    b = bytearray(data)
    b[offset] ^= 1 << bit
    return bytes(b)


def epp(length, fields=()):
    e = bytearray(length)
    e[2:6] = b"EPPS"
    for offset, value in fields:
        e[offset:offset + len(value)] = value
    e[0:2] = crc16(e[2:]).to_bytes(2, "little")
    return bytes(e)


def onfi_with_epp(units):
    return page(b"ONFI", fields=[(6, b"\x80\x00"), (12, units.to_bytes(2, "little")), (14, b"\x03"),
                                 (80, b"\x00\x40\x00\x00"), (92, b"\x00\x01\x00\x00"), (96, b"\x18\x04\x00\x00"),
                                 (100, b"\x01")], crc=True)[:256]


def main():
    good = onfi_with_epp(3)
    ecc = epp(48, [(16, b"\x02\x01"), (32, b"\x18\x0a\x64\x00\x05\x03")])
    pages = good * 3
    long_page = onfi_with_epp(12)
    many = epp(192, [(16, b"\x02\x0a")] + [(32 + 16 * j, b"\x08\x0a\x01\x00\xff\x09") for j in range(1, 10)])
    seeds = {
        "bad-first-copy.bin": flip(good, 40) + good + good + ecc * 3,
        "majority.bin": flip(good, 40) + flip(good, 41, 1) + flip(good, 100, 7) + ecc * 3,
        "no-majority.bin": flip(good, 40) + flip(good, 40) + flip(good, 50, 3) + ecc * 3,
        "epp-bad-copy.bin": pages + flip(ecc, 40) + ecc + ecc,
        "epp-cut.bin": pages + ecc[:40],
        "epp-past-end.bin": onfi_with_epp(4) * 3 + epp(64, [(16, b"\x02\x02\x09\x09"), (48, b"\x08")]),
        "epp-many-blocks.bin": long_page * 3 + many,
        "onfi-short.bin": good[:100],
        "jedec-three.bin": flip(page(b"JESD", crc=True), 100) + page(b"JESD", crc=True) * 2,
        "jedec-behind-onfi.bin": good * 2 + page(b"JESD", crc=True),
    }
    os.makedirs(CORPUS, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(CORPUS, name), "wb") as f:
            f.write(data)
    for sample in sorted(glob.glob(os.path.join(SAMPLES, "*-dump.bin"))):
        shutil.copyfile(sample, os.path.join(CORPUS, "sample-" + os.path.basename(sample)))


if __name__ == "__main__":
    main()
