#!/usr/bin/env python3
"""Validates the byte map and the comparison documents against the schema.

Usage: map_schema.py TOLVIK SCHEMA SAMPLES_DIR

For every sample, `tolvik -j -m` (and with -a) gives a "map" (and an
"extended_page_map") valid against $defs/map; `tolvik -j -d A B` for
pairs of samples, and with a missing input, gives a document valid against
$defs/diff. The schema must reject entries broken on purpose.
"""
import json
import pathlib
import subprocess
import sys

import jsonschema


def document(tool, *args):
    done = subprocess.run([tool, *args], capture_output=True, timeout=30)
    return json.loads(done.stdout.decode("utf-8"))


def main():
    tool, schema_path, samples = sys.argv[1:]
    schema = json.loads(pathlib.Path(schema_path).read_text())
    defs = schema["$defs"]
    validators = {
        name: jsonschema.Draft202012Validator({"$defs": defs, "$ref": f"#/$defs/{name}"})
        for name in ("map", "diff")
    }
    failures = []

    def check(name, value, label):
        for error in validators[name].iter_errors(value):
            failures.append(f"{label}: {'/'.join(map(str, error.absolute_path))}: {error.message}")

    files = sorted(pathlib.Path(samples).glob("*.bin"))
    maps = []
    for path in files:
        for mode in ([], ["-a"]):
            found = document(tool, "-j", "-m", *mode, str(path))
            for member in ("map", "extended_page_map") if mode else ("map",):
                check("map", found.get(member, "missing"), f"{' '.join(mode)} {path.name} {member}")
            maps.append(found["map"])
    diffs = [document(tool, "-j", "-d", str(a), str(b)) for a in files for b in files]
    diffs.append(document(tool, "-j", "-d", str(files[0]), str(files[0]) + ".missing"))
    for found in diffs:
        check("diff", found, f"diff {found['a']['file']} {found['b']['file']}")
    if {found["result"] for found in diffs} != {"identical", "different", "layouts_differ", "error"}:
        failures.append("the pairs did not give every result")

    broken = [
        ("an entry without its name", lambda m: m[0].pop("name")),
        ("an entry defined true", lambda m: m[0].update(defined=True)),
        ("an unknown member", lambda m: m[0].update(unknown=1)),
    ]
    for what, damage in broken:
        copy = json.loads(json.dumps(maps[0]))
        damage(copy)
        if validators["map"].is_valid(copy):
            failures.append(f"the schema accepts a map with {what}")
    copy = json.loads(json.dumps(diffs[0]))
    copy["result"] = "same"
    if validators["diff"].is_valid(copy):
        failures.append("the schema accepts an unknown result")

    print("\n".join(failures + [f"{len(maps)} maps, {len(diffs)} comparisons, {len(failures)} failures"]))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
