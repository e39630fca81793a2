#!/usr/bin/env python3
"""Validates the built tool's JSON documents against the published schema.

Usage: json_schema.py TOLVIK SCHEMA DIR...

`tolvik -j FILE` and `tolvik -j -a FILE` for every *.bin in the directories
and for generated pages of both layouts (all-0xFF, random with and without a
matching CRC, odd bytes in the text fields, no signature, empty, missing):
valid against the schema, one line, the text run's exit status, the same
document at every level. Usage errors with -j: one valid document holding
the message, status 2. The schema must reject documents broken on purpose.
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
    yield "no-signature", rng.randbytes(512)
    yield "empty", b""


def run(tool, args):
    done = subprocess.run([tool, *args], capture_output=True, timeout=30)
    return done.returncode, done.stdout, done.stderr


def check(tool, validator, path, failures):
    for mode in ([], ["-a"]):
        label = " ".join(mode + [path.name])
        status, out, err = run(tool, ["-j", *mode, str(path)])
        if err or status != run(tool, [*mode, str(path)])[0]:
            failures.append(f"{label}: standard error {err[:100]!r} or an exit status unlike the text run's")
        if not out.endswith(b"\n") or out.count(b"\n") != 1:
            failures.append(f"{label}: not one line")
            continue
        try:
            document = json.loads(out.decode("utf-8"))
        except ValueError as error:
            failures.append(f"{label}: not UTF-8 JSON: {error}")
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
        yield document


# What each broken document lacks or holds wrongly; each must be rejected.
BREAKS = {
    "page": [
        *[(f"without {m}", lambda d, m=m: d.pop(m)) for m in
          ("version", "file", "messages", "layout", "crc", "manufacturer", "model", "electrical")],
        ("an unknown member", lambda d: d.update(unknown=1)),
        ("a number as a string", lambda d: d["organisation"].update(pages_per_block="64")),
        ("a number for a boolean", lambda d: d["crc"].update(ok=1)),
        ("a flag word without its set", lambda d: d["identification"].update(features={"value": 1})),
        ("sections without a layout", lambda d: d.update(layout=None)),
    ],
    "dump": [
        ("an unknown decoded source", lambda d: d["decoded"].update(source="guess")),
        ("an extended page without state", lambda d: d["extended_page"].pop("state")),
        ("an ECC section without its count not shown", lambda d: d["extended_page"]["sections"][0].pop(
            "ecc_blocks_not_shown")),
        ("a copy without its verdict", lambda d: d["copies"].append({"stored": 1, "computed": 1})),
        ("a negative size", lambda d: d.update(data_size_bytes=-1)),
        ("one -a member missing", lambda d: d.pop("raw_size_bytes")),
    ],
    "usage": [
        ("a usage error without its format", lambda d: d.pop("format_version")),
        ("a message as a plain string", lambda d: d.update(messages=["Unknown option: -q"])),
        ("a message without its severity", lambda d: d["messages"][0].pop("severity")),
        ("a usage error with a file", lambda d: d.update(file="page.bin")),
    ],
}


def main():
    tool, schema_path, *dirs = sys.argv[1:]
    schema = json.loads(pathlib.Path(schema_path).read_text())
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    failures = []
    files = sorted(p for d in dirs for p in pathlib.Path(d).glob("*.bin"))
    layouts = set()
    originals = {}
    with tempfile.TemporaryDirectory() as work:
        for name, data in generated(random.Random(20302)):
            files.append(pathlib.Path(work) / f"{name}.bin")
            files[-1].write_bytes(data)
        files.append(pathlib.Path(work) / "missing.bin")
        for path in files:
            for mode, document in check(tool, validator, path, failures):
                layouts.add(document.get("layout"))
                if path.name == "mt29f32g08abcdbj4.onfi.bin" and not mode:
                    originals["page"] = document
                if path.name == "mt29f32g08abcdbj4.onfi-dump.bin" and mode:
                    originals["dump"] = document
    for document in check_usage_errors(tool, validator, failures):
        originals.setdefault("usage", document)
    for kind, breaks in BREAKS.items():
        if kind not in originals:
            failures.append(f"no {kind} sample to break")
            continue
        for what, damage in breaks:
            broken = copy.deepcopy(originals[kind])
            damage(broken)
            if validator.is_valid(broken):
                failures.append(f"the schema accepts a document with {what}")
    if layouts != {"ONFI", "JEDEC", None}:
        failures.append(f"the inputs gave only the layouts {layouts}")
    print("\n".join(failures + [f"{len(files)} inputs, {len(failures)} failures"]))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
