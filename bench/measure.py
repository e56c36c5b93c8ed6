"""Measures Norvale side by side with what people would use instead, checks every
output, and writes the figures to bench/results.json and bench/RESULTS.md.

Run by bench/run.sh, which builds the programs, sets up Wine and starts the web
server; see there. Every program started here is waited for with a time limit.
"""

import argparse
import json
import os
import platform
import random
import re
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
MIB = 1024 * 1024
LIMIT = 120  # seconds any one program may take
# The caption and ids of the main window, as res/resource.h defines them, and
# those of the minimal dialog.
DEFINES = dict(re.findall(r'^#define (\w+) "?([^"\n]*)"?$', (ROOT / "res/resource.h").read_text(),
                          re.M))
CAPTION, IDC_UPDATE, IDC_STATUS = (DEFINES[name] for name in
                                   ("MAIN_WINDOW_CAPTION", "IDC_UPDATE", "IDC_STATUS"))
READY_PREFIX = "File retrieved from "
MINIMAL_CAPTION, IDC_MINIMAL_TEXT = "Minimal Dialog", 1000
SC_CLOSE = 0xF060
DRIVER_HEAD_START = 1.0  # seconds the UI driver is given before a launch


def run(args, **kwargs):
    return subprocess.run(args, check=True, timeout=LIMIT, **kwargs)


def timed(args):
    began = time.perf_counter()
    run(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - began


def interleaved(commands, runs):
    """Median wall time of each command, the commands taking turns run by run
    after one warm-up each, so that a change in the machine's load falls on all."""
    for args in commands.values():
        timed(args)
    times = {name: [] for name in commands}
    for _ in range(runs):
        for name, args in commands.items():
            times[name].append(timed(args))
    return {name: statistics.median(values) for name, values in times.items()}


def peak_memory(args):
    """The largest resident size of one run of the program in KiB, and its page
    faults, as GNU time reports them."""
    out = run(["/usr/bin/time", "-f", "%M %R", *args], stdout=subprocess.DEVNULL,
              stderr=subprocess.PIPE, text=True).stderr
    kib, faults = (int(v) for v in out.split()[-2:])
    return kib, faults


def flush_share(data, path, runs):
    """The median time of writing `data` to a file with and without pushing it
    to the disk (what the safe replacement does before it renames)."""
    times = {True: [], False: []}
    for _ in range(runs):
        for flush in (False, True):
            began = time.perf_counter()
            with open(path, "wb") as file:
                file.write(data)
                file.flush()
                if flush:
                    os.fsync(file.fileno())
            times[flush].append(time.perf_counter() - began)
    return statistics.median(times[True]) - statistics.median(times[False])


def codes_file(path, size):
    """A codes file of exactly `size` bytes: a date line, then lines of
    realistic length with LF line ends; the last line is cut to make the size."""
    rng = random.Random(42)
    titles = ["Foundations and footings", "Wood framing", "Roofing and flashing",
              "Electrical service", "Plumbing and drainage", "Fire separation",
              "Egress and exits", "Insulation and vapour barrier", "Ventilation"]
    lines, total, n = ["Building Codes 2026-01-15"], 26, 0
    while total < size:
        n += 1
        line = (f"{chr(65 + n % 26)}{n % 1000:03d}-{n % 100000:05d} {rng.choice(titles)}, "
                f"section {rng.randrange(40)}, rev {rng.randrange(9)}")
        lines.append(line)
        total += len(line) + 1
    data = ("\n".join(lines) + "\n").encode()
    data = data[:size - 1] + b"\n"
    path.write_bytes(data)
    return data


def same_bytes(path, expected, what):
    if Path(path).read_bytes() != expected:
        sys.exit(f"bench: {what} is not what it should be")


def figure(name, value, target, runs, unit="ratio", **parts):
    return {"figure": name, "value": round(value, 3), "runs": runs, "unit": unit,
            "target": target, "met": target is None or value <= target, "parts": parts}


def retrieval(args, work):
    """The largest codes file a reply may carry, retrieved by the program's own
    code in one process, against curl."""
    area = int(re.search(r"RECEIVE_AREA_SIZE = (\d+);",
                         (ROOT / "net/fetch_client.h").read_text()).group(1))
    served = codes_file(work / "www/CODES.DAT", area - 512)
    url = f"http://{args.address}/CODES.DAT"
    headers = run(["curl", "-s", "-D", "-", "-o", str(work / "curl.dat"), url],
                  capture_output=True).stdout
    if len(headers) + len(served) > area:
        sys.exit("bench: the reply would not fit the receive area")
    copy = work / "fetch/CODES.DAT"
    fetch = [str(args.native / "bench/fetch_bench"), args.address, "/CODES.DAT", "80", str(copy)]
    curl = ["curl", "-s", "-o", str(work / "curl.dat"), url]
    medians = interleaved({"program": fetch, "curl": curl}, args.fetch_runs)
    same_bytes(copy, served.replace(b"\n", b"\r\n"), "the retrieved working copy")
    same_bytes(work / "curl.dat", served, "curl's copy")
    return figure("retrieval / curl -s -o", medians["program"] / medians["curl"], 0.5,
                  args.fetch_runs, bytes=len(served), program_s=medians["program"],
                  curl_s=medians["curl"]), medians["curl"]


def copies(args, work):
    """Open's copy against unix2dos and a plain block conversion."""
    figures, per_mib, rows = [], {}, {}
    for size in args.sizes:
        source = work / f"codes-{size}.txt"
        data = codes_file(source, size * MIB)
        out = {name: work / f"{name}-{size}.txt"
               for name in ("program", "unix2dos", "block", "safe_block")}
        commands = {
            "program": [str(args.native / "bench/copy_bench"), str(source), str(out["program"])],
            "unix2dos": ["unix2dos", "-q", "-n", str(source), str(out["unix2dos"])],
            "block": [str(args.native / "bench/crlf_stream"), str(source), str(out["block"])],
            "safe_block": [str(args.native / "bench/crlf_stream"), "--safe", str(source),
                           str(out["safe_block"])],
        }
        medians = interleaved(commands, args.copy_runs)
        for path in out.values():
            same_bytes(path, data.replace(b"\n", b"\r\n"), f"the copy {path.name}")
        peak, faults = max(peak_memory(commands["program"]) for _ in range(3))
        block_peak, _ = peak_memory(commands["block"])
        per_mib[size] = medians["program"] / size
        rows[size] = {**{f"{k}_s": v for k, v in medians.items()}, "peak_kib": peak,
                      "block_peak_kib": block_peak, "page_faults": faults,
                      "flush_to_disk_s": flush_share(data.replace(b"\n", b"\r\n"),
                                                     work / "flush.txt", args.copy_runs)}
        figures.append(figure(f"Open's copy / unix2dos -n, {size} MiB",
                              medians["program"] / medians["unix2dos"], 0.5, args.copy_runs))
        figures.append(figure(f"Open's copy / block conversion, {size} MiB",
                              medians["program"] / medians["block"], 1.3, args.copy_runs))
        figures.append(figure(f"Open's copy / block conversion flushed before its rename, {size} MiB",
                              medians["program"] / medians["safe_block"], 1.1, args.copy_runs))
        figures.append(figure(f"Open's peak memory / file size, {size} MiB",
                              peak / (size * 1024), 1.1, 3))
    largest = per_mib[args.sizes[-1]]
    spread = max(abs(v - largest) / largest for v in per_mib.values())
    figures.append(figure("Open's time per MiB, largest deviation across sizes", spread, 0.25,
                          args.copy_runs, unit="fraction", sizes=rows))
    return figures


def wine(args, *command, **kwargs):
    return subprocess.Popen([args.wine, *command], stdin=subprocess.DEVNULL, **kwargs)


def launch(args, program, waits, folder):
    """Starts `program` under Wine from `folder`, with one UI driver
    per (caption, control, prefix) in `waits` looking already; returns the
    milliseconds from the launch until each saw its text, then closes it."""
    driver = str(args.windows / "tools/uidriver/uidriver.exe")
    drivers = [wine(args, driver, "wait", caption, str(control), prefix, "30000",
                    stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
               for caption, control, prefix in waits]
    time.sleep(DRIVER_HEAD_START)
    launched = time.time()
    started = wine(args, program, cwd=folder, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    seen = []
    for process in drivers:
        out, _ = process.communicate(timeout=LIMIT)
        if process.returncode != 0:
            sys.exit(f"bench: {program} did not show its text")
        began, at = (int(v) for v in out.split())
        if began > launched * 1e6:
            sys.exit("bench: the UI driver began looking after the launch")
        seen.append((at - launched * 1e6) / 1000)
    run([args.wine, driver, "syscommand", waits[0][0], str(SC_CLOSE)],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        started.wait(timeout=20)
    except subprocess.TimeoutExpired:
        started.kill()
        started.wait()
    return seen


def loaded_libraries(args, program, caption):
    """How many libraries Wine loads for `program` until its window shows."""
    env = dict(os.environ, WINEDEBUG="+loaddll")
    process = subprocess.Popen([args.wine, program], cwd=args.program, env=env,
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                               stderr=subprocess.PIPE, text=True)
    driver = str(args.windows / "tools/uidriver/uidriver.exe")
    # The window, whatever its controls show (control 0).
    run([args.wine, driver, "wait", caption, "0", "", "30000"], stdout=subprocess.DEVNULL)
    run([args.wine, driver, "syscommand", caption, str(SC_CLOSE)])
    _, err = process.communicate(timeout=LIMIT)
    return len(set(re.findall(r"Loaded L\"([^\"]+)\"", err)))


def program_folder(args, folder, host):
    """A program folder holding Norvale.exe and the minimal dialogs, whose
    config.txt names `host`."""
    folder.mkdir(parents=True, exist_ok=True)
    (folder / "temp").mkdir(exist_ok=True)
    for exe in ("app/Norvale.exe", "bench/minimal_dialog/minimal_dialog.exe",
                "bench/minimal_dialog/minimal_dialog_sockets.exe"):
        shutil.copy(args.windows / exe, folder)
    (folder / "config.txt").write_bytes(
        f"{host}\r\n/CODES.DAT\r\nC:\\Program Files\\Dolphin File Transfer\\dcomm2.exe\r\n"
        .encode())
    (folder / "temp/CODES.DAT").unlink(missing_ok=True)


def start_up(args, work, curl_s):
    """The time until the window is there, and until the codes are ready, over
    plain HTTP and over HTTPS."""
    secure = args.work / "program-https"
    program_folder(args, args.program, args.address)
    program_folder(args, secure, f"https://localhost:{args.https_port}")
    minimal = [(MINIMAL_CAPTION, IDC_MINIMAL_TEXT, "")]
    norvale = [(CAPTION, IDC_UPDATE, ""), (CAPTION, IDC_STATUS, READY_PREFIX)]
    runs = {"minimal": ("minimal_dialog.exe", minimal, args.program),
            "sockets": ("minimal_dialog_sockets.exe", minimal, args.program),
            "plain": ("Norvale.exe", norvale, args.program),
            "https": ("Norvale.exe", norvale, secure)}
    for program, waits, folder in runs.values():
        launch(args, program, waits, folder)
    # The floor of the HTTPS start: one WinHTTP GET of the same URL by a
    # process of its own, in the same prefix.
    get = [args.wine, str(args.windows / "bench/minimal_get/minimal_get.exe"),
           f"https://localhost:{args.https_port}/CODES.DAT"]
    timed(get)
    names = ("minimal", "sockets", "window", "ready", "https_ready", "get")
    times = {name: [] for name in names}
    for _ in range(args.start_runs):
        times["minimal"] += launch(args, *runs["minimal"])
        times["sockets"] += launch(args, *runs["sockets"])
        window, ready = launch(args, *runs["plain"])
        times["window"].append(window)
        times["ready"].append(ready)
        times["https_ready"].append(launch(args, *runs["https"])[1])
        times["get"].append(timed(get) * 1000)
    served = (work / "www/CODES.DAT").read_bytes().replace(b"\n", b"\r\n")
    same_bytes(args.program / "temp/CODES.DAT", served, "the working copy made at start-up")
    same_bytes(secure / "temp/CODES.DAT", served, "the working copy made over HTTPS")
    m, s, w, r, h, g = (statistics.median(times[name]) for name in names)
    libraries = {"norvale": loaded_libraries(args, "Norvale.exe", CAPTION),
                 "minimal": loaded_libraries(args, "minimal_dialog.exe", MINIMAL_CAPTION)}
    return [figure("start-up until the window shows / minimal dialog's", w / m, 1.05,
                   args.start_runs, norvale_ms=w, minimal_ms=m, libraries_loaded=libraries),
            figure("start-up until the window shows / minimal dialog's with the same manifest "
                   "and sockets", w / s, 1.05, args.start_runs, norvale_ms=w, minimal_ms=s),
            figure("start-up until the codes are ready / (minimal dialog's window + one curl)",
                   r / (m + curl_s * 1000), 1.2, args.start_runs, norvale_ms=r,
                   minimal_ms=m, curl_ms=curl_s * 1000),
            figure("start-up until the codes are ready, HTTPS / plain HTTP", h / r, 1.15,
                   args.start_runs, https_ms=h, plain_ms=r),
            figure("start-up until the codes are ready, HTTPS / (minimal dialog's window + one "
                   "minimal WinHTTP GET)", h / (m + g), 1.2, args.start_runs, https_ms=h,
                   minimal_ms=m, get_ms=g)]


def test_command():
    """The README's test command on this machine: its time and its counts."""
    env = {k: v for k, v in os.environ.items() if k not in ("WINEPREFIX", "WINE", "WINESERVER")}
    began = time.perf_counter()
    out = subprocess.run(["bash", "scripts/test.sh"], cwd=ROOT, env=env, capture_output=True,
                         text=True, timeout=900).stdout
    seconds = time.perf_counter() - began
    passed, failed = (int(v) for v in re.findall(r"^(\d+) passed, (\d+) failed$", out, re.M)[-1])
    return figure("the test command's own time", seconds, None, 1, unit="s", passed=passed,
                  failed=failed)


def machine(args):
    cpu = re.search(r"model name\s*:\s*(.*)", Path("/proc/cpuinfo").read_text())
    memory = int(re.search(r"MemTotal:\s*(\d+)", Path("/proc/meminfo").read_text()).group(1))
    return {"cpu": cpu.group(1) if cpu else platform.processor(), "cores": os.cpu_count(),
            "memory_gib": round(memory / 1048576, 1), "kernel": platform.release(),
            "load": os.getloadavg()[0],
            "wine": run([args.wine, "--version"], capture_output=True, text=True).stdout.strip(),
            "windows_build": args.windows.name,
            "date": time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime())}


def write_results(data):
    (ROOT / "bench/results.json").write_text(json.dumps(data, indent=2) + "\n")
    rows = "\n".join(
        f"| {f['figure']} | {f['value']}{'' if f['unit'] == 'ratio' else ' ' + f['unit']} | "
        f"{'-' if f['target'] is None else 'at most ' + str(f['target'])} | "
        f"{'' if f['target'] is None else ('met' if f['met'] else '**missed**')} |"
        for f in data["figures"])
    m = data["machine"]
    parts = {f["figure"]: f["parts"] for f in data["figures"]}
    sizes = parts["Open's time per MiB, largest deviation across sizes"]["sizes"]
    largest = sizes[max(sizes)]
    window = parts["start-up until the window shows / minimal dialog's"]
    text = (ROOT / "bench/RESULTS.template.md").read_text().format(
        rows=rows, date=m["date"],
        machine=f"{m['cpu']}, {m['cores']} cores, {m['memory_gib']} GiB, Linux {m['kernel']}, "
                f"{m['wine']} ({m['windows_build']} build), load {m['load']:.2f} at the start",
        size=max(sizes), copy_ms=round(largest["program_s"] * 1000),
        block_ms=round(largest["block_s"] * 1000),
        flush_ms=round(largest["flush_to_disk_s"] * 1000), faults=largest["page_faults"],
        smallest=min(sizes), base_kib=sizes[min(sizes)]["block_peak_kib"],
        small_peak_kib=sizes[min(sizes)]["peak_kib"],
        norvale_libraries=window["libraries_loaded"]["norvale"],
        minimal_libraries=window["libraries_loaded"]["minimal"])
    (ROOT / "bench/RESULTS.md").write_text(text)


def main():
    parser = argparse.ArgumentParser()
    for name in ("address", "wine"):
        parser.add_argument("--" + name, required=True)
    for name in ("native", "windows", "work"):
        parser.add_argument("--" + name, required=True, type=Path)
    parser.add_argument("--https-port", required=True, type=int)
    parser.add_argument("--fetch-runs", type=int, default=30)
    parser.add_argument("--copy-runs", type=int, default=10)
    parser.add_argument("--start-runs", type=int, default=12)
    parser.add_argument("--sizes", type=int, nargs="+", default=[16, 32, 64])
    parser.add_argument("--no-test-command", action="store_true")
    args = parser.parse_args()
    args.program = args.work / "program"
    data = {"machine": machine(args), "figures": []}
    fetch, curl_s = retrieval(args, args.work)
    data["figures"] += [fetch, *copies(args, args.work), *start_up(args, args.work, curl_s)]
    if not args.no_test_command:
        data["figures"].append(test_command())
    write_results(data)
    print(json.dumps(data["figures"], indent=1))


if __name__ == "__main__":
    main()
