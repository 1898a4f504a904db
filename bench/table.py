#!/usr/bin/env python3
"""Markdown table of packing_bench medians of CPU time: one row per input, the greedy encoder beside the
reference encoder of the same run and the ratio between them, then the optimal encoder and
the decoder. With a second file (an earlier run), its greedy and optimal medians too.

    packing_bench --benchmark_repetitions=5 --benchmark_out=after.json
    bench/table.py after.json [before.json]
"""
import json
import sys


def medians(path):
    with open(path) as f:
        runs = json.load(f)["benchmarks"]
    table = {}
    for run in runs:
        if run.get("aggregate_name", "median") != "median":
            continue
        kind, name = run["run_name"].split("/", 1)
        table.setdefault(name, {})[kind] = run["cpu_time"]
    return table


def main():
    after = medians(sys.argv[1])
    before = medians(sys.argv[2]) if len(sys.argv) > 2 else None
    head = ["input", "greedy ms", "reference ms", "reference / greedy", "optimal ms", "decode ms"]
    if before:
        head += ["greedy before ms", "optimal before ms"]
    print("| " + " | ".join(head) + " |")
    print("|" + "---|" * len(head))
    for name, t in after.items():
        row = [name, f"{t['greedy']:.3f}", f"{t['reference']:.3f}",
               f"{t['reference'] / t['greedy']:.1f}", f"{t['optimal']:.3f}", f"{t['decode']:.3f}"]
        if before:
            b = before.get(name, {})
            row += [f"{b['greedy']:.3f}" if "greedy" in b else "",
                    f"{b['optimal']:.3f}" if "optimal" in b else ""]
        print("| " + " | ".join(row) + " |")


if __name__ == "__main__":
    main()
