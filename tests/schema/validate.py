"""Validates JSON documents (or JSON lines, for files ending in .jsonl)
against a JSON Schema (draft 2020-12) with python3-jsonschema.

    validate.py SCHEMA FILE...

Prints one line per error and exits 1 when there is any."""
import json
import sys

from jsonschema import Draft202012Validator


def documents(path):
    with open(path, encoding="utf-8") as source:
        text = source.read()
    if path.endswith(".jsonl"):
        return [json.loads(line) for line in text.splitlines() if line.strip()]
    return [json.loads(text)]


def main():
    with open(sys.argv[1], encoding="utf-8") as source:
        schema = json.load(source)
    Draft202012Validator.check_schema(schema)
    validator = Draft202012Validator(schema)
    errors = 0
    for path in sys.argv[2:]:
        for number, document in enumerate(documents(path), 1):
            for error in validator.iter_errors(document):
                errors += 1
                print(f"{path}:{number}: {error.json_path}: {error.message[:300]}")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
