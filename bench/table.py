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
    # A run filtered with --benchmark_filter lacks some columns; they stay empty.
    def ms(t, kind):
        return f"{t[kind]:.3f}" if kind in t else ""

    for name, t in after.items():
        ratio = f"{t['reference'] / t['greedy']:.1f}" if "reference" in t and "greedy" in t else ""
        row = [name, ms(t, "greedy"), ms(t, "reference"), ratio, ms(t, "optimal"), ms(t, "decode")]
        if before:
            b = before.get(name, {})
            row += [ms(b, "greedy"), ms(b, "optimal")]
        print("| " + " | ".join(row) + " |")


if __name__ == "__main__":
    main()
