#!/usr/bin/env python3
"""tavoc --format=json on every golden case: the document parses, its status
is tavoc's exit status, and its diagnostics are the lines of o.err in order,
each with the position o.err gives; its size report fits the limits.

    tavoc_json.py TAVOC GOLDEN_DIR
"""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

FOLLOWS = " (follows from the error above)"
LINE = re.compile(r"^(.*?)(?: in line (\d+)(?:, column (\d+))? \(pass[12]\))?$", re.S)


def err_lines(path):
    with open(path, "rb") as fp:
        text = fp.read().decode("utf-8", "replace")
    out = []
    for line in text.splitlines():
        m = LINE.match(line)
        out.append((m.group(1), int(m.group(2) or 0), int(m.group(3) or 0)))
    return out


def json_lines(doc):
    out = []
    for d in doc["diagnostics"]:
        if d.get("name"):
            continue       # a warning of tavoc's own (-Wname), never in o.err
        msg = d["message"]
        if d["kind"] == "note":
            if not msg.endswith(FOLLOWS):
                continue   # tavoc's own explanation, not a line of o.err
            msg = msg[: -len(FOLLOWS)]
        if msg.startswith("code image full"):
            continue       # reported by stopping, not in o.err
        if d["kind"] == "warning":   # o.err gives these no position
            out.append((msg, 0, 0))
        else:
            out.append((msg, d["line"] or 0, d["column"] or 0))
    return out


def check(tavoc, case):
    with tempfile.TemporaryDirectory() as work:
        for name in os.listdir(case):
            if name == "expected":
                continue
            src = os.path.join(case, name)
            (shutil.copytree if os.path.isdir(src) else shutil.copy)(src, os.path.join(work, name))
        run = subprocess.run([tavoc, "--format=json", "--size", work], capture_output=True)
        doc = json.loads(run.stdout.decode("utf-8"))   # strict: fails on anything but JSON
        problems = []
        if doc["status"] != run.returncode:
            problems.append(f"status {doc['status']} but exit {run.returncode}")
        errpath = os.path.join(work, "o.err")
        want = err_lines(errpath) if os.path.exists(errpath) else []
        if json_lines(doc) != want:
            problems.append(f"diagnostics {json_lines(doc)} but o.err {want}")
        for t in doc["size"]["tables"]:
            if not 0 <= t["used"] <= t["limit"]:
                problems.append(f"table {t}")
        if not 0 <= doc["size"]["code"]["used"] <= 12288:
            problems.append(f"code {doc['size']['code']}")
        return problems


def main():
    tavoc, golden = os.path.abspath(sys.argv[1]), sys.argv[2]
    cases = sorted(root for root, dirs, _ in os.walk(golden) if "expected" in dirs)
    failed = 0
    for case in cases:
        problems = check(tavoc, case)
        for p in problems:
            print(f"FAIL: {os.path.relpath(case, golden)}: {p}")
        failed += bool(problems)
    print(f"{len(cases) - failed} passed, {failed} failed")
    sys.exit(1 if failed or not cases else 0)


if __name__ == "__main__":
    main()
