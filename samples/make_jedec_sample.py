#!/usr/bin/env python3
"""Writes tv256g08mdt4b.jedec.bin: the JEDEC parameter page of an invented device.

The device is a 256 Gbit MLC part with a Toggle DDR interface, "TV256G08MDT4-B"
from the invented maker "TOLVIKSEMI": 4 LUNs of 2116 blocks, 256 pages of
16384+1952 bytes per block, 4 planes. Every field the report reads carries a
plausible value; a few values are picked to exercise less common report paths
(a timing-mode bit beyond the top speed, an empty ECC block between used ones,
an endurance figure with the question-mark form).

Run it from anywhere: python3 samples/make_jedec_sample.py
The page goes next to this script. Plain python3, no dependencies.
"""

import os
import struct

PAGE_SIZE = 512
page = bytearray(PAGE_SIZE)


def u8(offset, value):
    page[offset] = value


def le16(offset, value):
    struct.pack_into("<H", page, offset, value)


def le32(offset, value):
    struct.pack_into("<I", page, offset, value)


def text(offset, width, value):
    # Fixed-width ASCII field, padded with spaces as devices do.
    assert len(value) <= width
    page[offset:offset + width] = value.ljust(width).encode("ascii")


def crc16(data, crc=0x4F4E):
    # Parameter page CRC-16: polynomial 0x8005, MSB first, no reflection,
    # no final XOR, seeded with 0x4F4E.
    for byte in data:
        crc ^= byte << 8
        for _ in range(8):
            crc = ((crc << 1) ^ 0x8005) if crc & 0x8000 else crc << 1
            crc &= 0xFFFF
    return crc


assert crc16(b"abc") == 0x6B11

# --- Revision, features and command sets (bytes 0..31) ---
text(0, 4, "JESD")     # 0..3    signature
le16(4, 0x0006)        # 4..5    revision: bit 1 (vendor specific) and bit 2 (rev 1.0)
# 6..7 features: bit 1 multiple LUN operations, 2 non-sequential page
# programming, 3 multi-plane program/erase, 4 multi-plane read, 6 Toggle mode
# DDR, 8 program page register clear enhancement, 9 WP_n/ODT_n pin function.
le16(6, 0x035E)
# 8..10 optional commands: bits 0..7 (page cache program, read cache,
# get/set features, read status enhanced, copyback, read unique ID, random
# data out, multi-plane copyback program), bit 9 (reset LUN) and bit 10
# (synchronous reset); bit 8 (small data move) is not supported.
le16(8, 0x06FF)
u8(10, 0x00)
# 11..12 secondary commands: multi-plane read, multi-plane read cache random,
# random data out, multi-plane program, multi-plane block erase, read status
# enhanced (bits 0, 1, 3, 4, 6, 7).
le16(11, 0x00DB)
u8(13, 3)              # 13      number of parameter pages
                       # 14..31  reserved, zero

# --- Manufacturer information (bytes 32..79) ---
text(32, 12, "TOLVIKSEMI")      # 32..43  manufacturer, space padded
text(44, 20, "TV256G08MDT4-B")  # 44..63  model, space padded
u8(64, 0xA7)                    # 64      JEDEC manufacturer ID (invented)
                                # 65..79  reserved, zero

# --- Memory organisation (bytes 80..143) ---
le32(80, 16384)        # 80..83  data bytes per page
le16(84, 1952)         # 84..85  spare bytes per page
                       # 86..91  not used by this device, zero
le32(92, 256)          # 92..95  pages per block
le32(96, 2116)         # 96..99  blocks per LUN (2048 + spare blocks)
u8(100, 4)             # 100     LUNs per chip
u8(101, 0x23)          # 101     address cycles: 3 row, 2 column
u8(102, 2)             # 102     bits per cell: MLC
u8(103, 1)             # 103     programs per page
u8(104, 0x02)          # 104     plane address bits: 2 (4 planes)
u8(105, 0x05)          # 105     multi-plane: no block address restrictions, read cache
                       # 106..143 reserved, zero

# --- Timing-mode masks and array timing (bytes 144..179) ---
le16(144, 0x003F)      # 144..145 asynchronous SDR modes 0..5
le16(146, 0x07FF)      # 146..147 Toggle DDR2 modes 0..10
le16(148, 0x0000)      # 148..149 synchronous DDR: not supported
                       # 150..151 reserved, zero
u8(152, 0x00)          # 152     synchronous DDR features: none
le16(153, 1350)        # 153..154 tPROG max, us
le16(155, 10000)       # 155..156 tBERS max, us
le16(157, 78)          # 157..158 tR max, us
le16(159, 85)          # 159..160 multi-plane page read time, us
le16(161, 300)         # 161..162 tCCS, ns
le16(163, 48)          # 163..164 I/O pin capacitance, 4.8 pF
le16(165, 32)          # 165..166 input pin capacitance, 3.2 pF
le16(167, 0)           # 167..168 CK pin capacitance: no CK pin on Toggle
u8(169, 0x0E)          # 169     driver strengths: 25, 18, 37.5/50 Ohm
le16(170, 150)         # 170..171 tADL, ns
le32(172, 0x00001FFF)  # 172..175 Toggle DDR3 modes 0..12
# 176..179 Toggle DDR4 modes 0..16 plus bit 21, beyond the last named mode:
# the report names the speed of mode 16 and shows bit 21 in the mask only.
le32(176, 0x0021FFFF)
                       # 180..207 reserved, zero

# --- Reliability (bytes 208..242) ---
u8(208, 1)             # 208     guaranteed valid blocks at the start
u8(209, 1)             # 209     their endurance, mantissa
u8(210, 3)             # 210     their endurance, power of ten: 1000 cycles


def ecc_block(k, bits, codeword, max_bad, mantissa, exponent):
    # 8-byte ECC and endurance information block k at 211 + 8k:
    # correctability, codeword size, max bad blocks per LUN (16-bit),
    # endurance mantissa and power of ten, two reserved bytes.
    base = 211 + 8 * k
    u8(base, bits)
    u8(base + 1, codeword)
    le16(base + 2, max_bad)
    u8(base + 4, mantissa)
    u8(base + 5, exponent)


ecc_block(0, 40, 10, 60, 3, 3)   # native MLC: 40 bits per 1 KiB, 3000 cycles
                                 # block 1 left empty (all eight bytes zero)
ecc_block(2, 8, 9, 40, 5, 4)     # SLC mode: 8 bits per 512 B, 50000 cycles
ecc_block(3, 1, 9, 20, 2, 5)     # boot area: 200000 cycles, beyond the 1e5 bound
                                 # 243..419 reserved, zero

# --- Vendor block (bytes 420..509) ---
le16(420, 3)                     # 420..421 vendor specific revision
# 422..509 vendor specific area: a tag the report does not read.
page[422:430] = b"TVK-VS01"

# --- CRC (bytes 510..511) over bytes 0..509 ---
le16(510, crc16(page[:510]))

out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "tv256g08mdt4b.jedec.bin")
with open(out, "wb") as f:
    f.write(page)
print("wrote %s, CRC 0x%04X" % (out, crc16(page[:510])))
