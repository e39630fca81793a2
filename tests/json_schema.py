#!/usr/bin/env python3
"""Validates every JSON document of the built tool against the published schema.

Usage: json_schema.py TOLVIK SCHEMA DIR...

Runs `tolvik -j FILE` and `tolvik -j -a FILE` on every *.bin in the given
directories and on generated pages of both layouts (all-0xFF, random with and
without a matching CRC, no signature, empty, missing), and checks each
document against the schema with a real validator, its framing (one object,
one newline), that the level does not change it, and that its exit status is
the text run's. The schema itself must reject documents broken on purpose.
"""
import copy
import json
import pathlib
import random
import subprocess
import sys
import tempfile

import jsonschema


def crc16(data: bytes) -> int:
    crc = 0x4F4E
    for byte in data:
        crc ^= byte << 8
        for _ in range(8):
            crc = ((crc << 1) ^ 0x8005 if crc & 0x8000 else crc << 1) & 0xFFFF
    return crc


def with_crc(page: bytearray, size: int) -> bytes:
    crc = crc16(bytes(page[: size - 2]))
    page[size - 2] = crc & 0xFF
    page[size - 1] = crc >> 8
    return bytes(page)


def generated_pages(rng: random.Random):
    """(name, bytes) of pages made here, both layouts."""
    for signature, size in ((b"ONFI", 256), (b"JESD", 512)):
        tag = signature.decode().lower()
        ones = bytearray(b"\xff" * 512)
        ones[:4] = signature
        yield f"{tag}-all-ones", bytes(ones)
        yield f"{tag}-all-ones-crc", with_crc(bytearray(ones), size)
        for k in range(12):
            page = bytearray(rng.randbytes(512))
            page[:4] = signature
            # Odd bytes in the text fields, to exercise the string escaping.
            if k % 3 == 0:
                page[32:64] = bytes([0, 1, 0x22, 0x5C, 0x7F, 0x80, 0xFF, 0x1F] * 4)
            yield f"{tag}-random-{k}", with_crc(page, size) if k % 2 else bytes(page)
        yield f"{tag}-signature-only", signature
    yield "no-signature", bytes(rng.randbytes(512))
    yield "empty", b""
    # An ONFI page followed by a JEDEC copy and more: a dump-like input.
    onfi = bytearray(rng.randbytes(256))
    onfi[:4] = b"ONFI"
    yield "onfi-three-copies", with_crc(onfi, 256) * 3


def run(tool, args):
    done = subprocess.run([tool, *args], capture_output=True, timeout=30)
    return done.returncode, done.stdout, done.stderr


def check(tool, validator, path, failures):
    for mode in ([], ["-a"]):
        label = f"{' '.join(mode + [str(path.name)])}"
        status, out, err = run(tool, ["-j", *mode, str(path)])
        text_status, _, _ = run(tool, [*mode, str(path)])
        if err:
            failures.append(f"{label}: wrote to standard error: {err[:200]!r}")
        if status != text_status:
            failures.append(f"{label}: exit {status}, the text run's {text_status}")
        if not out.endswith(b"\n") or out.count(b"\n") != 1:
            failures.append(f"{label}: not one line ending in one newline")
            continue
        try:
            document = json.loads(out.decode("utf-8"))
        except (UnicodeDecodeError, json.JSONDecodeError) as error:
            failures.append(f"{label}: not UTF-8 JSON: {error}")
            continue
        for error in validator.iter_errors(document):
            failures.append(f"{label}: {'/'.join(map(str, error.absolute_path))}: {error.message}")
        if document.get("file") != str(path):
            failures.append(f"{label}: file is {document.get('file')!r}")
        for level in ("0", "1"):
            _, other, _ = run(tool, ["-j", *mode, str(path), level])
            if other != out:
                failures.append(f"{label}: level {level} changes the document")
        yield document


def schema_rejects(validator, document, failures):
    """Documents broken on purpose must fail: the schema is strict."""
    broken = []
    for member in ("version", "file", "messages", "layout", "crc", "manufacturer", "model"):
        d = copy.deepcopy(document)
        del d[member]
        broken.append((f"without {member}", d))
    d = copy.deepcopy(document)
    d["unknown_member"] = 1
    broken.append(("an unknown member", d))
    d = copy.deepcopy(document)
    d["organisation"]["pages_per_block"] = "64"
    broken.append(("a number as a string", d))
    d = copy.deepcopy(document)
    d["crc"]["ok"] = 1
    broken.append(("a number for a boolean", d))
    d = copy.deepcopy(document)
    del d["electrical"]
    broken.append(("without a section", d))
    d = copy.deepcopy(document)
    d["identification"]["features"] = {"value": 1}
    broken.append(("a flag word without its set", d))
    d = copy.deepcopy(document)
    d["layout"] = None
    broken.append(("sections without a layout", d))
    for what, d in broken:
        if validator.is_valid(d):
            failures.append(f"the schema accepts a document {what}")


def schema_rejects_dump(validator, document, failures):
    """The same for the members -a adds."""
    broken = []
    d = copy.deepcopy(document)
    d["decoded"]["source"] = "guess"
    broken.append(("an unknown decoded source", d))
    d = copy.deepcopy(document)
    del d["extended_page"]["state"]
    broken.append(("an extended page without state", d))
    d = copy.deepcopy(document)
    d["extended_page"]["sections"][0]["ecc_blocks"][0]["codeword_bytes"] = "1024"
    broken.append(("a codeword size as a string", d))
    d = copy.deepcopy(document)
    del d["extended_page"]["sections"][0]["ecc_blocks_not_shown"]
    broken.append(("an ECC section without its count of blocks not shown", d))
    d = copy.deepcopy(document)
    d["copies"].append({"stored": 1, "computed": 1})
    broken.append(("a copy without its verdict", d))
    d = copy.deepcopy(document)
    d["data_size_bytes"] = -1
    broken.append(("a negative size", d))
    for what, d in broken:
        if validator.is_valid(d):
            failures.append(f"the schema accepts a document {what}")


def main():
    tool, schema_path, *dirs = sys.argv[1:]
    schema = json.loads(pathlib.Path(schema_path).read_text())
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    failures = []
    files = sorted(p for d in dirs for p in pathlib.Path(d).glob("*.bin"))
    layouts = set()
    with tempfile.TemporaryDirectory() as work:
        for name, data in generated_pages(random.Random(20302)):
            path = pathlib.Path(work) / f"{name}.bin"
            path.write_bytes(data)
            files.append(path)
        files.append(pathlib.Path(work) / "missing.bin")
        for path in files:
            for document in check(tool, validator, path, failures):
                layouts.add(document.get("layout"))
        sample = next(p for p in files if p.name == "mt29f32g08abcdbj4.onfi.bin")
        onfi = json.loads(run(tool, ["-j", str(sample)])[1])
        schema_rejects(validator, onfi, failures)
        dump = next((p for p in files if p.name == "mt29f32g08abcdbj4.onfi-dump.bin"), None)
        if dump is None:
            failures.append("the sample dump is missing")
        else:
            whole = json.loads(run(tool, ["-j", "-a", str(dump)])[1])
            if not validator.is_valid(whole):
                failures.append("the sample dump's document is not valid")
            schema_rejects_dump(validator, whole, failures)
    if layouts != {"ONFI", "JEDEC", None}:
        failures.append(f"the inputs gave only the layouts {layouts}")
    for failure in failures:
        print(failure)
    print(f"{len(files)} inputs, {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
