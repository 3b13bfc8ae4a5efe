#!/usr/bin/env python3
"""Imports damaged copies of the Access files in tests/data with the program, as a bad disk or a
cut download leaves them: each copy has 1 to 4,096 bytes changed here and there (after the
header, so that the reader gets to them). Each import runs with its own empty data folder, a time
limit and an address-space limit, and must end within the time with a message, the data file
unchanged when it fails.

Usage: scripts/damaged-access.py PROGRAM [copies (400)] [seconds (60)] [first seed (1)]
Prints one line per copy that did not end well, the totals and the messages' counts."""
import collections
import os
import re
import random
import resource
import signal
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DATA = os.path.join(ROOT, "tests", "data")
LIMIT_MB = 4096  # the whole import, parent and reader: no run may take the machine down


def tables(path):
    out = subprocess.run(["mdb-tables", "-1", path], capture_output=True, text=True).stdout
    return [t for t in out.splitlines() if t]


def damaged(original, seed):
    rng = random.Random(seed)
    data = bytearray(open(original, "rb").read())
    for _ in range(int(2 ** rng.uniform(0, 12))):  # 1 to 4,096 bytes
        data[rng.randrange(0x100, len(data))] ^= rng.randint(1, 255)
    return bytes(data)


def limit():
    resource.setrlimit(resource.RLIMIT_AS, (LIMIT_MB << 20, LIMIT_MB << 20))


def main():
    program = os.path.abspath(sys.argv[1])
    copies = int(sys.argv[2]) if len(sys.argv) > 2 else 400
    seconds = float(sys.argv[3]) if len(sys.argv) > 3 else 60
    first = int(sys.argv[4]) if len(sys.argv) > 4 else 1
    files = sorted(os.path.join(DATA, f) for f in os.listdir(DATA))
    names = {f: tables(f) for f in files}
    counts = {"message": 0, "imported": 0, "timeout": 0, "crash": 0, "changed": 0}
    reasons = collections.Counter()
    slowest = 0.0
    peak = 0
    for seed in range(first, first + copies):
        original = files[seed % len(files)]
        table = random.Random(-seed).choice(names[original])
        with tempfile.TemporaryDirectory() as home:
            copy = os.path.join(home, "copy" + os.path.splitext(original)[1])
            open(copy, "wb").write(damaged(original, seed))
            env = dict(os.environ, HOME=home, XDG_DATA_HOME=home + "/data",
                       XDG_CONFIG_HOME=home + "/config", QT_QPA_PLATFORM="offscreen")
            env.pop("LEDGERLOOM_SERVER", None)
            # A first run makes the data file; the import is the second.
            subprocess.run([program, "--export-csv", home + "/none.csv"], env=env,
                           capture_output=True)
            data_file = home + "/data/Tarnwell/Ledgerloom/dbData.mdb"
            before = open(data_file, "rb").read()
            start = time.monotonic()
            process = subprocess.Popen(["/usr/bin/time", "-f", "%M", program, "--import", copy,
                                        "--table", table], env=env, stdout=subprocess.PIPE,
                                       stderr=subprocess.PIPE, text=True, errors="replace",
                                       preexec_fn=limit, start_new_session=True)
            try:
                _, err = process.communicate(timeout=seconds)
            except subprocess.TimeoutExpired:
                os.killpg(process.pid, signal.SIGKILL)  # its own group: time and the program
                process.communicate()
                counts["timeout"] += 1
                print(f"seed {seed}: {os.path.basename(original)} '{table}': no end within "
                      f"{seconds:.0f} s", flush=True)
                continue
            took = time.monotonic() - start
            slowest = max(slowest, took)
            lines = err.strip().splitlines()
            rss = int(lines[-1]) if lines and lines[-1].isdigit() else 0
            peak = max(peak, rss)
            said = "\n".join(lines[:-1])
            unchanged = open(data_file, "rb").read() == before
            if process.returncode == 0:
                counts["imported"] += 1
            elif process.returncode == 1 and said and unchanged:
                counts["message"] += 1
                # What the message says, without the file's name and the table's.
                reason = re.sub(r"'[^']*'", "'...'", said.splitlines()[0])
                reasons[re.sub(r"\d[\d,]*", "N", reason)] += 1
            else:
                counts["crash" if unchanged else "changed"] += 1
                print(f"seed {seed}: {os.path.basename(original)} '{table}': status "
                      f"{process.returncode}, data file {'un' if unchanged else ''}changed: "
                      f"{said[-300:]}", flush=True)
    print(f"{copies} damaged copies: {counts['message']} refused with a message, "
          f"{counts['imported']} imported, {counts['timeout']} without end within {seconds:.0f} s, "
          f"{counts['crash']} crashed, {counts['changed']} changed the data file; slowest "
          f"{slowest:.1f} s, largest {peak // 1024} MB resident")
    for reason, count in reasons.most_common():
        print(f"{count:5d}  {reason}")


if __name__ == "__main__":
    main()
