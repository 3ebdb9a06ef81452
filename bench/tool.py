#!/usr/bin/env python3
"""Throughput and peak memory of ecc-crypt on one large file, against the library's in-memory
encryption rate at 64 MiB from the same run of the benchmarks.

Usage: tool.py ECC_CRYPT [--size MIB] [--runs N] [--bench BENCH.json]

Encrypts and decrypts a file of random bytes with --binary and in hex form, N times each, and
prints the median wall time, the throughput (message bytes per second), its ratio to
Ours/Encrypt/67108864 of BENCH.json, and the largest peak resident set of the runs. The files
live in /dev/shm when it has room, so that the figures are the tool's and not the disk's: on a
disk, encrypting ends with waiting for the disk to take the whole output.
"""
import argparse
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time


def run(argv):
    """Runs argv under GNU time; returns its wall time in seconds and its maximum resident set
    in KiB (measured from the tool's own start, not its parent's)."""
    with tempfile.NamedTemporaryFile("r") as report:
        start = time.monotonic()
        if subprocess.run(["/usr/bin/time", "-f", "%M", "-o", report.name] + argv).returncode:
            sys.exit(f"tool.py: {' '.join(argv)} failed")
        elapsed = time.monotonic() - start
        return elapsed, int(report.read().split()[-1])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("tool")
    parser.add_argument("--size", type=int, default=1024, help="message size in MiB")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--bench", help="the benchmarks' JSON output, for the ratios")
    args = parser.parse_args()
    size = args.size << 20

    reference = None
    if args.bench:
        with open(args.bench) as f:
            for b in json.load(f)["benchmarks"]:
                if b["run_name"] == "Ours/Encrypt/67108864" and b.get("aggregate_name") == "median":
                    reference = b["bytes_per_second"]

    room = shutil.disk_usage("/dev/shm").free if os.path.isdir("/dev/shm") else 0
    base = "/dev/shm" if room > 5 * size else None
    with tempfile.TemporaryDirectory(dir=base) as work:
        key, pub, message = (os.path.join(work, n) for n in ("k", "k.pub", "m"))
        subprocess.run([args.tool, "keygen", "--private-key", key, "--public-key", pub], check=True)
        with open(message, "wb") as f:
            for _ in range(args.size):
                f.write(os.urandom(1 << 20))
        print(f"ecc-crypt on a {args.size} MiB file in {work}, median of {args.runs} runs")
        print("| operation | time | throughput | vs in-memory Encrypt at 64 MiB | peak RSS |")
        print("|---|---|---|---|---|")
        for form, flags in (("binary", ["--binary"]), ("hex", [])):
            ciphertext = os.path.join(work, "c." + form)
            decrypted = os.path.join(work, "d")
            for op, argv in (
                ("encrypt", [args.tool, "encrypt", "--public-key", pub, "--in", message,
                             "--out", ciphertext] + flags),
                ("decrypt", [args.tool, "decrypt", "--private-key", key, "--in", ciphertext,
                             "--out", decrypted] + flags),
            ):
                output = ciphertext if op == "encrypt" else decrypted
                results = []
                for _ in range(args.runs):
                    # Each run writes a new file rather than also freeing the last one's.
                    if os.path.exists(output):
                        os.remove(output)
                    results.append(run(argv))
                seconds = statistics.median(t for t, _ in results)
                rate = size / seconds
                ratio = f"{rate / reference:.2f}" if reference else "-"
                print(f"| {op} {form} | {seconds:.2f} s | {rate / 1e6:.0f} MB/s | {ratio} "
                      f"| {max(r for _, r in results) / 1024:.1f} MiB |")
            if subprocess.run(["cmp", "-s", message, decrypted]).returncode != 0:
                sys.exit("tool.py: the decrypted file differs from the message")
            os.remove(ciphertext)
    if reference:
        print(f"in-memory Encrypt at 64 MiB: {reference / 1e6:.0f} MB/s")


if __name__ == "__main__":
    main()
