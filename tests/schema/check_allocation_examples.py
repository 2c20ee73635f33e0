#!/usr/bin/env python3
"""Checks every allocation example (examples/*.json), the notes test problem and the file --from-data
writes against docs/allocation.schema.json. Exit 77 (skipped) when python3 has no jsonschema module."""
import glob
import json
import os
import subprocess
import sys

try:
    import jsonschema
except ImportError:
    print("python3-jsonschema is not installed: skipped")
    sys.exit(77)

source, qavtas = sys.argv[1], sys.argv[2]
with open(os.path.join(source, "docs", "allocation.schema.json")) as f:
    schema = json.load(f)
jsonschema.Draft7Validator.check_schema(schema)
validator = jsonschema.Draft7Validator(schema)

documents = {}
notes = os.path.join(source, "tests", "data", "allocation", "notes.json")
for path in sorted(glob.glob(os.path.join(source, "examples", "*.json"))) + [notes]:
    with open(path) as f:
        documents[path] = json.load(f)
for path in sorted(glob.glob(os.path.join(source, "examples", "tolerance_*.txt"))):
    converted = subprocess.run([qavtas, "allocate", "--from-data", path], capture_output=True, text=True, check=True)
    documents[path + " (--from-data)"] = json.loads(converted.stdout)

failed = 0
for name, document in documents.items():
    for error in validator.iter_errors(document):
        failed += 1
        print(f"{name}: {'/'.join(map(str, error.absolute_path))}: {error.message}")
print(f"{len(documents)} files checked, {failed} errors")
sys.exit(1 if failed or len(documents) < 5 else 0)
