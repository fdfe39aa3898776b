#!/usr/bin/env python3
"""The Markdown table of tools/perf-report.sh, from the benchmarks' JSON in $PERF_OUT.

    PERF_OUT=... PERF_MACHINE=... PERF_DATE=... PERF_SECONDS=... tools/perf-report.py <table.md>

Writes the table to stdout and to <table.md>; exits with 1 when a figure is missing.
"""
import json, os, re, sys

out = os.environ["PERF_OUT"]
results = {}
for program in ("store_bench", "service_bench", "search_bench", "results_bench", "startup_bench", "history_bench"):
    try:
        with open(os.path.join(out, program + ".json")) as f:
            data = json.load(f)
    except (OSError, ValueError):
        continue
    # With repetitions, the median of them stands for the benchmark.
    for b in data.get("benchmarks", []):
        name = b.get("run_name", b["name"])
        if b.get("run_type", "iteration") == "iteration":
            if name not in results or results[name][1].get("run_type") == "iteration":
                results[name] = (program, b)
        elif b.get("aggregate_name") == "median":
            results[name] = (program, b)

TO_MS = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}
missing = []


def number(x):
    if x >= 100:
        return f"{x:,.0f}"
    if x >= 10:
        return f"{x:.1f}"
    return f"{x:.2f}"


def ms(b, key):
    return b[key] * TO_MS[b.get("time_unit", "ns")]


def find(base, arg=None):
    """The result of benchmark `base` with argument `arg`, whatever its name's suffixes."""
    for name, (program, b) in results.items():
        parts = [p for p in name.split("/") if p != "real_time" and ":" not in p]
        if parts[0] == base and parts[1:] == ([] if arg is None else [str(arg)]):
            return name, program, b
    return None, None, None


def bench(base, arg=None):
    name, program, b = find(base, arg)
    label = base if arg is None else f"{base}/{arg}"
    if b is None or b.get("error_occurred"):
        missing.append(label)
        reason = b.get("error_message") if b else "no result"
        return None, f"{label} (not measured: {reason})"
    if b.get("run_type") == "aggregate":
        return b, f"{program} `{name}` (median of {b.get('repetitions', '?')} runs)"
    return b, f"{program} `{name}` ({b['iterations']} it.)"


rows = []  # (measure, real, cpu, source, note)


def time_row(measure, base, arg=None, note="", cpu=True):
    b, source = bench(base, arg)
    if b is None:
        rows.append([measure, "n/a", "n/a", source, note])
        return None
    cpu_text = number(ms(b, "cpu_time")) + " ms" if cpu else "–"
    rows.append([measure, number(ms(b, "real_time")) + " ms", cpu_text, source, note])
    return b


for n in (100, 1000, 10000):
    loader = time_row(f"Page to `PageText`, {n:,} rows (PageLoader, every line read)", "BM_PageLoaderToPageText", n)
    loader_row = rows[-1]
    curl = time_row(f"Raw libcurl GET of the same page, {n:,} rows", "BM_PlainCurlGet", n)
    if loader and curl:
        loader_row[4] = f"{ms(loader, 'real_time') / ms(curl, 'real_time'):.1f}× the raw GET"
    serialize = find("BM_SerializeDocument", n)[2]
    if loader and serialize and not serialize.get("error_occurred"):
        loader_row[4] += f"; decode + parse + serialize alone {number(ms(serialize, 'real_time'))} ms"

time_row("Search click to rows shown, 1,000 rows", "BM_SearchClickToRowsShown", 1000,
         "thumbnails cached; click to the grid repainted")

off = time_row("Reading a 1,000-row page into kvdb.dat, price history off", "BM_ReadPageHistoryOff", 1000,
               "page in memory; rows, keyword and picture records stored")
on = time_row("The same with the price history on", "BM_ReadPageHistoryOn", 1000,
              "one upsert a row, written in one transaction")
if off and on:
    rows[-1][4] += f"; {100 * (ms(on, 'real_time') / ms(off, 'real_time') - 1):+.1f} % against off (at most +10 %)"
tip = time_row("Price tool tip (verdict) with 365 days of history", "BM_PriceToolTip365Days",
               note="the product's days read from 300 products × 365 days, judged (under 1 ms)")

b, source = bench("BM_AppendPost1000CxnrRows")
if b:
    rows.append(["Rows stored per second (1,000 `cxnr` rows appended and posted)",
                 number(1000 / (ms(b, "real_time") / 1e3)) + " rows/s",
                 number(1000 / (ms(b, "cpu_time") / 1e3)) + " rows/s", source,
                 f"1,000 rows / {number(ms(b, 'real_time'))} ms"])
else:
    rows.append(["Rows stored per second", "n/a", "n/a", source, ""])

time_row("Paint time per frame, 7 visible rows with thumbnails (1020 × 700 window)", "BM_PaintWindow1020x700")
time_row("Paint time per frame, 30 visible rows with thumbnails", "BM_PaintGridOf30Rows")

time_row("Start-up in process: `Tfrmkova` constructed → window shown", "BM_MainWindowToShown",
         note="fresh kvdb.dat each time")
time_row("Start-up in process: `Tfrmkova` constructed → first-run pages answered",
         "BM_MainWindowToFirstRunAnswered", note="account reply and version page read")
b = time_row("Start-up, whole program: exec of bin/kova → window shown", "BM_ProcessExecToShown",
             note="shown = the first request of its show step (account or version page) handled by the "
             "stand-in server", cpu=False)
if b and "both_ms" in b:
    rows[-1][4] += f"; both handled at {number(b['both_ms'])} ms"

mem = os.path.join(out, "memory", "driver.log")
peak = done = None
try:
    with open(mem) as f:
        for line in f:
            m = re.match(r"vmhwm (\d+)", line)
            if m:
                peak = int(m.group(1))
            if line.startswith("done search"):
                done = line.strip()
except OSError:
    pass
if peak is not None and done == "done search rows=5000":
    rows.append(["Peak memory after a 5,000-row search (VmHWM)", f"{peak:,} kB ({peak / 1024:.0f} MB)", "–",
                 "kova-reliability-driver `search test5000`", "whole process, thumbnail threads included"])
else:
    missing.append("vmhwm")
    rows.append(["Peak memory after a 5,000-row search", "n/a", "–", "kova-reliability-driver `search test5000`",
                 f"not measured ({done or 'no done line'})"])

lines = [
    f"Machine: {os.environ['PERF_MACHINE']}",
    f"Date: {os.environ['PERF_DATE']}",
    "",
    "| Measure | Real time | CPU time | Benchmark | Note |",
    "|---|---:|---:|---|---|",
]
for r in rows:
    lines.append("| " + " | ".join(r) + " |")
lines.append("")
lines.append(f"Run took {os.environ['PERF_SECONDS']} s. Other work shares the machine: figures are upper bounds.")
text = "\n".join(lines) + "\n"
sys.stdout.write(text)
with open(sys.argv[1], "w") as f:
    f.write(text)
if missing:
    sys.stderr.write("perf-report: not measured: " + ", ".join(missing) + "\n")
    sys.exit(1)
