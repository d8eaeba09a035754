#!/usr/bin/python3
"""Validates JSON reports against the schema: validate_reports.py SCHEMA REPORT..."""
import json
import sys

import jsonschema


def main():
    if len(sys.argv) < 3:
        print("usage: validate_reports.py SCHEMA REPORT...", file=sys.stderr)
        return 2
    with open(sys.argv[1], encoding="utf-8") as f:
        schema = json.load(f)
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    failed = 0
    for path in sys.argv[2:]:
        with open(path, "rb") as f:
            report = json.loads(f.read().decode("utf-8"))  # strict: a report is UTF-8
        errors = sorted(validator.iter_errors(report), key=lambda e: list(e.absolute_path))
        for error in errors[:5]:
            print(f"{path}: {'/'.join(map(str, error.absolute_path))}: {error.message[:300]}", file=sys.stderr)
        failed += bool(errors)
        if not errors:
            sections = len(report["sections"])
            entries = sum(len(s["entries"]) for s in report["sections"])
            print(f"{path}: valid ({sections} sections, {entries} entries)")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
