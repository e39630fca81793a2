#!/usr/bin/env python3
"""What a parameter page says of its device, read from Python through
tolvik's C interface (tolvik_c.h) with ctypes.

Use: ctypes_page.py LIBRARY PAGE
  LIBRARY  the shared library, build/libtolvik.so
  PAGE     a saved parameter page, e.g. samples/mt29f32g08abcdbj4.onfi.bin
"""
import ctypes
import sys
from ctypes import POINTER, c_bool, c_char, c_char_p, c_int, c_size_t, c_uint8, c_uint16, c_uint32, c_uint64


class PageInfo(ctypes.Structure):
    """struct tolvik_page_info, member for member."""

    _fields_ = [
        ("layout", c_int),
        ("revision", c_uint16),
        ("crc_stored", c_uint16),
        ("crc_computed", c_uint16),
        ("crc_ok", c_bool),
        ("manufacturer", c_char * 13),
        ("model", c_char * 21),
        ("jedec_id", c_uint8),
        ("data_bytes_per_page", c_uint32),
        ("spare_bytes_per_page", c_uint32),
        ("pages_per_block", c_uint32),
        ("blocks_per_lun", c_uint32),
        ("luns", c_uint8),
        ("bits_per_cell", c_uint8),
        ("ecc_bits", c_uint8),
        ("t_prog_us", c_uint32),
        ("t_bers_us", c_uint32),
        ("t_r_us", c_uint32),
        ("t_ccs_ns", c_uint32),
        ("data_bytes_per_device", c_uint64),
        ("endurance_cycles", c_uint64),
    ]


class Field(ctypes.Structure):
    """struct tolvik_field, member for member."""

    _fields_ = [
        ("name", c_char_p),
        ("key", c_char_p),
        ("value", c_uint64),
        ("raw", c_uint32),
        ("first", c_uint16),
        ("last", c_uint16),
        ("kind", c_uint8),
        ("unit", c_uint8),
        ("defined", c_bool),
        ("exact", c_bool),
    ]


LAYOUTS = {1: "ONFI", 2: "JEDEC"}
FIELDS_MAX = 128  # TOLVIK_FIELDS_MAX
UNIT_NANOSECONDS = 3  # TOLVIK_UNIT_NANOSECONDS


def main(library_path, page_path):
    tolvik = ctypes.CDLL(library_path)
    tolvik.tolvik_parse_page.argtypes = [c_char_p, c_size_t, POINTER(PageInfo)]
    tolvik.tolvik_parse_page.restype = c_int
    tolvik.tolvik_list_fields.argtypes = [c_char_p, c_size_t, POINTER(Field), c_size_t]
    tolvik.tolvik_list_fields.restype = c_size_t

    with open(page_path, "rb") as file:
        page = file.read(512)
    info = PageInfo()
    if tolvik.tolvik_parse_page(page, len(page), ctypes.byref(info)) == 0:
        print(f"{page_path}: not a parameter page")
        return 1
    text = lambda member: member.decode("ascii", "backslashreplace")
    print(f"{LAYOUTS[info.layout]} {text(info.manufacturer)} {text(info.model)},"
          f" CRC {info.crc_stored:04X} {'ok' if info.crc_ok else 'wrong'}")
    print(f"{info.data_bytes_per_page}+{info.spare_bytes_per_page} bytes per page,"
          f" {info.pages_per_block} pages per block, {info.blocks_per_lun} blocks per LUN,"
          f" {info.luns} {'LUN' if info.luns == 1 else 'LUNs'}")
    print(f"{info.data_bytes_per_device} data bytes, {info.endurance_cycles} cycles, tPROG {info.t_prog_us} us")

    # Every field in byte order; here the ones in nanoseconds.
    fields = (Field * FIELDS_MAX)()
    count = tolvik.tolvik_list_fields(page, len(page), fields, FIELDS_MAX)
    for field in fields[:min(count, FIELDS_MAX)]:
        if field.unit == UNIT_NANOSECONDS:
            print(f"bytes {field.first}-{field.last}, {text(field.name)}: {field.value} ns")
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1], sys.argv[2]))
