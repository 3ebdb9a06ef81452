#!/usr/bin/env python3
"""Prints the benchmark medians as a table: ours, the baseline and their ratio, per operation
(CPU time per call), Hex2Bin rates, and the throughput of two threads against one.

Usage: ratios.py BENCH.json   (the --benchmark_out file of a run with repetitions)
"""
import json
import sys


def main():
    with open(sys.argv[1]) as f:
        run = json.load(f)
    # In the order the benchmarks are registered, whatever order their repetitions ran in.
    rows = sorted((b for b in run["benchmarks"] if b.get("aggregate_name") == "median"),
                  key=lambda b: (b["family_index"], b["per_family_instance_index"]))
    medians = {b["run_name"]: b for b in rows}
    print(f"load average at the start: {run['context'].get('load_avg', ['?'])[0]:.2f}")
    print("| operation | ours | baseline | ratio |")
    print("|---|---|---|---|")
    for name, ours in medians.items():
        if not name.startswith("Ours/"):
            continue
        base = medians.get("Baseline/" + name[len("Ours/"):])
        if "Hex2Bin" in name:
            rate = ours["bytes_per_second"] / 1e9
            print(f"| {name[5:]} | {rate:.2f} GB/s of text | | |")
            continue
        if base is None:
            continue
        # CPU time of the calling thread: on a shared machine it is less disturbed by other
        # processes than wall time.
        scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3}[ours["time_unit"]]
        print(f"| {name[5:]} | {ours['cpu_time'] * scale:.0f} us | {base['cpu_time'] * scale:.0f} us "
              f"| {ours['cpu_time'] / base['cpu_time']:.3f} |")
    # Two threads against one: total throughput (bytes per second over both threads).
    for prefix in ("Ours/", "Baseline/"):
        for op in ("EncryptThreads", "DecryptThreads"):
            one = medians.get(f"{prefix}{op}/1024/real_time/threads:1")
            two = medians.get(f"{prefix}{op}/1024/real_time/threads:2")
            if one and two:
                print(f"| {prefix}{op}/1024: 2 threads vs 1 | | | "
                      f"{two['bytes_per_second'] / one['bytes_per_second']:.2f}x throughput |")


if __name__ == "__main__":
    main()
