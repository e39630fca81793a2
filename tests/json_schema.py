#!/usr/bin/env python3
"""Validates the built tool's JSON documents against the published schema.

Usage: json_schema.py TOLVIK SCHEMA DIR...

`tolvik -j FILE` and `tolvik -j -a FILE` for every *.bin in the directories
and for generated pages of both layouts (all-0xFF, random with and without a
matching CRC, odd bytes in the text fields, the vendor layouts of Micron and
Macronix, late ONFI revisions, no signature, empty, missing): valid against
the schema, one line, format_version first, no key twice in an object, the
text run's exit status, the same document at every level. The schema must
take the usage-error document and reject documents broken on purpose.
"""
import copy
import json
import pathlib
import random
import subprocess
import sys
import tempfile

import jsonschema


def crc16(data):
    crc = 0x4F4E
    for byte in data:
        crc ^= byte << 8
        for _ in range(8):
            crc = ((crc << 1) ^ 0x8005 if crc & 0x8000 else crc << 1) & 0xFFFF
    return crc


def with_crc(page, size):
    page[size - 2 : size] = crc16(page[: size - 2]).to_bytes(2, "little")
    return bytes(page)


def generated(rng):
    for signature, size in ((b"ONFI", 256), (b"JESD", 512)):
        tag = signature.decode().lower()
        ones = bytearray(signature + b"\xff" * 508)
        yield f"{tag}-all-ones", bytes(ones)
        yield f"{tag}-all-ones-crc", with_crc(ones, size)
        for k in range(12):
            page = bytearray(signature + rng.randbytes(508))
            if k % 3 == 0:
                page[32:64] = bytes([0, 1, 0x22, 0x5C, 0x7F, 0x80, 0xFF, 0x1F] * 4)
            yield f"{tag}-random-{k}", with_crc(page, size) if k % 2 else bytes(page)
        yield f"{tag}-signature-only", signature
    # The makers whose vendor blocks are documented, and revisions that
    # leave fields undefined (5.0 drops the partial page, bit 14 is late).
    for name, maker, jedec_id, revision in (("micron", b"MICRON", 0x2C, 0x007E),
                                             ("macronix", b"macronix", 0xC2, 0x1000),
                                             ("late", b"OTHER", 0x2C, 0x4000)):
        page = bytearray(b"ONFI" + rng.randbytes(252))
        page[4:6] = revision.to_bytes(2, "little")
        page[32:44] = maker.ljust(12)
        page[64] = jedec_id
        yield f"onfi-{name}", with_crc(page, 256)
    yield "no-signature", rng.randbytes(512)
    yield "empty", b""


def unique_keys(pairs):
    keys = [key for key, _ in pairs]
    if len(keys) != len(set(keys)):
        raise ValueError(f"a key twice in one object: {keys}")
    return dict(pairs)


def run(tool, args):
    done = subprocess.run([tool, *args], capture_output=True, timeout=30)
    return done.returncode, done.stdout, done.stderr


def check(tool, validator, path, failures):
    for mode in ([], ["-a"]):
        label = " ".join(mode + [path.name])
        status, out, err = run(tool, ["-j", *mode, str(path)])
        if err or status != run(tool, [*mode, str(path)])[0]:
            failures.append(f"{label}: standard error {err[:100]!r} or an exit status unlike the text run's")
        if not out.endswith(b"\n") or out.count(b"\n") != 1 or not out.startswith(b'{"format_version":2,'):
            failures.append(f"{label}: not one line, or format_version is not first")
            continue
        try:
            document = json.loads(out.decode("utf-8"), object_pairs_hook=unique_keys)
        except ValueError as error:
            failures.append(f"{label}: not UTF-8 JSON with unique keys: {error}")
            continue
        for error in validator.iter_errors(document):
            failures.append(f"{label}: {'/'.join(map(str, error.absolute_path))}: {error.message}")
        if bool(mode) != ("copies" in document):
            failures.append(f"{label}: the -a members are not there exactly with -a")
        if document.get("file") != str(path) or run(tool, ["-j", *mode, str(path), "0"])[1] != out:
            failures.append(f"{label}: wrong file member, or level 0 changes the document")
        yield mode, document


# Usage errors with -j among the options: one document with the message.
USAGE_ERRORS = [
    (["-j"], "No file argument"),
    (["-j", "-q", "page.bin"], "Unknown option: -q"),
    (["-q", "--json", "page.bin"], "Unknown option: -q"),
    (["-j", "page.bin", "1t"], "The save flag does not go with --json: redirect standard output"),
    (["-j", "-m", "-T", "page.bin"], "Options -m and -T do not go together"),
    (["-j", "--timings=ddr:9", "page.bin"], "Unknown timing mode: ddr:9"),
]


def check_usage_errors(tool, validator, failures):
    for args, message in USAGE_ERRORS:
        label = " ".join(args)
        status, out, err = run(tool, args)
        if status != 2 or err or not out.endswith(b"\n") or out.count(b"\n") != 1:
            failures.append(f"{label}: status {status}, standard error {err[:100]!r} or not one line")
            continue
        document = json.loads(out.decode("utf-8"))
        for error in validator.iter_errors(document):
            failures.append(f"{label}: {'/'.join(map(str, error.absolute_path))}: {error.message}")
        if document.get("messages") != [{"text": message, "severity": "error"}]:
            failures.append(f"{label}: messages {document.get('messages')!r}")


def set_member(pointer, value):
    def damage(document):
        *path, last = pointer.strip("/").split("/")
        node = document
        for key in path:
            node = node[int(key) if isinstance(node, list) else key]
        if value is KeyError:
            del node[last]
        else:
            node[last] = value
    return damage


# What each broken document lacks or holds wrongly; each must be rejected.
BREAKS = {
    "page": [
        *[(f"without {m}", set_member(m, KeyError)) for m in
          ("format_version", "version", "file", "messages", "layout", "crc", "manufacturer", "model",
           "fields_not_defined", "electrical_parameters", "timing_modes")],
        ("format version 1", set_member("format_version", 1)),
        ("an unknown member", set_member("unknown", 1)),
        ("an unknown field in a block", set_member("memory_organization/page_size_bytes", 1)),
        ("a field without its block", set_member("memory_organization/luns", KeyError)),
        ("a number as a string", set_member("memory_organization/pages_per_block", "64")),
        ("a number for a boolean", set_member("crc/ok", 1)),
        ("a message as a bare string", set_member("messages", ["Read file Error"])),
        ("a message of unknown severity", set_member("messages/0/severity", "fatal")),
        ("a flag word without its set", set_member("revision_and_features/features", {"value": 1})),
        ("endurance as a string", set_member("memory_organization/block_endurance/cycles", "60000")),
        ("endurance null without its reason",
         set_member("memory_organization/block_endurance/cycles", None)),
        ("a JEDEC block on an ONFI page", set_member("ecc_and_endurance", {})),
        ("a speed as text", set_member("timing_modes/sdr/fastest_rate", "upto 50 MHz")),
        ("a rate unit not the family's", set_member("timing_modes/sdr/rate_unit", "MT/s")),
        ("vendor fields of another layout", set_member("vendor/layout", None)),
        ("a field name that is no pointer", set_member("fields_not_defined", ["training_commands"])),
        ("blocks without a layout", set_member("layout", None)),
    ],
    "jedec": [
        ("three ECC blocks", lambda d: d["ecc_and_endurance"]["ecc_blocks"].pop()),
        ("an ECC block without its empty mark", set_member("ecc_and_endurance/ecc_blocks/0/empty", KeyError)),
        ("the ID without all its bytes", set_member("manufacturer_information/jedec_manufacturer_id_bytes", "a7")),
        ("a rate in MT/s", set_member("timing_modes/toggle_ddr2/rate_unit", "MT/s")),
    ],
    "dump": [
        ("an unknown decoded source", set_member("decoded/source", "guess")),
        ("an extended page without state", set_member("extended_page/state", KeyError)),
        ("an ECC section without its count not shown",
         set_member("extended_page/sections/0/ecc_blocks_not_shown", KeyError)),
        ("an extended ECC block without its rest", set_member("extended_page/sections/0/ecc_blocks/0/rest", KeyError)),
        ("a copy without its verdict", lambda d: d["copies"].append({"stored": 1, "computed": 1})),
        ("a negative size", set_member("data_size_bytes", -1)),
        ("one -a member missing", set_member("raw_size_bytes", KeyError)),
    ],
    "usage": [
        ("a usage error with an unknown member", set_member("layout", None)),
        ("a usage error without messages", set_member("messages", KeyError)),
    ],
}

USAGE = {"format_version": 2, "version": "v0.17", "messages": [{"text": "Unknown option: -q", "severity": "error"}]}


def main():
    tool, schema_path, *dirs = sys.argv[1:]
    schema = json.loads(pathlib.Path(schema_path).read_text())
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    failures = []
    files = sorted(p for d in dirs for p in pathlib.Path(d).glob("*.bin"))
    layouts = set()
    vendors = set()
    originals = {"usage": USAGE}
    with tempfile.TemporaryDirectory() as work:
        for name, data in generated(random.Random(20302)):
            files.append(pathlib.Path(work) / f"{name}.bin")
            files[-1].write_bytes(data)
        files.append(pathlib.Path(work) / "missing.bin")
        for path in files:
            for mode, document in check(tool, validator, path, failures):
                layouts.add(document.get("layout"))
                vendors.add(document.get("vendor", {}).get("layout", "none"))
                if path.name == "mt29f32g08abcdbj4.onfi.bin" and not mode:
                    originals["page"] = document
                if path.name == "tv256g08mdt4b.jedec.bin" and not mode:
                    originals["jedec"] = document
                if path.name == "mt29f32g08abcdbj4.onfi-dump.bin" and mode:
                    originals["dump"] = document
    for usage in (USAGE, {**USAGE, "file": "page.bin"}):
        for error in validator.iter_errors(usage):
            failures.append(f"the usage-error document: {error.message}")
    check_usage_errors(tool, validator, failures)
    for kind, breaks in BREAKS.items():
        if kind not in originals:
            failures.append(f"no {kind} sample to break")
            continue
        for what, damage in breaks:
            broken = copy.deepcopy(originals[kind])
            damage(broken)
            if validator.is_valid(broken):
                failures.append(f"the schema accepts a document with {what}")
    if layouts != {"ONFI", "JEDEC", None} or not {"Micron", "Macronix", None} <= vendors:
        failures.append(f"the inputs gave only the layouts {layouts} and vendor layouts {vendors}")
    print("\n".join(failures + [f"{len(files)} inputs, {len(failures)} failures"]))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
