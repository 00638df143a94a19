#!/usr/bin/env python3
"""Reads a document written by `tessaly scan` with Python's own csv or json module and prints its
rows as JSON lines [kind, name, size], then a last line {"complete": ...} (JSON, or CSV that was not
complete). Fails when the document is not well-formed: a CSV record that is not five fields, a bare
LF line end, bad JSON."""
import csv
import io
import json
import sys

fmt, path = sys.argv[1], sys.argv[2]
raw = open(path, "rb").read()
text = raw.decode("utf-8")
if fmt == "csv":
    if text.replace("\r\n", "").count("\n") or text.replace("\r\n", "").count("\r"):
        sys.exit("line ends are not CR LF")
    records = list(csv.reader(io.StringIO(text, newline=""), strict=True))
    if records[0] != ["kind", "name", "size", "modified", "reason"]:
        sys.exit("bad header %r" % records[0])
    for i, r in enumerate(records[1:], 2):
        if len(r) != 5:
            sys.exit("bad record %r" % r)
        if r[0] in ("parent", "stream"):
            print(json.dumps([r[0], r[1], int(r[2])]))
        elif r[0] == "skipped":
            print(json.dumps([r[0], r[1], r[4]]))
        elif r[0] in ("incomplete", "cancelled") and i == len(records):
            print(json.dumps({"complete": False}))
        else:
            sys.exit("bad record %r" % r)
else:
    doc = json.loads(text)
    for p in doc["parents"]:
        print(json.dumps(["parent", p["path"], p["size"]]))
        for s in p["streams"]:
            print(json.dumps(["stream", p["path"] + ":" + s["name"], s["size"]]))
    print(json.dumps({"complete": doc["complete"], "parents": doc["parents_found"]}))
