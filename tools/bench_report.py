#!/usr/bin/env python3
"""Writes docs/PERFORMANCE.md from vitrane_bench's JSON results.

    bench_report.py RESULTS.json OUTPUT.md

Each aim names the benchmark that measures it; a figure that is missing
from the results (a benchmark skipped for want of GL or Cairo) is shown as
such rather than left out.
"""
import json
import sys

UNIT = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
FRAME_PERIOD_MS = 1000.0 / 120

SCENES = {0: "launch screen", 1: "7056 tiles (100 × 100 picture)",
          2: "turned 30°, zoomed out ×¼", 3: "7056 tiles, turned 30°, zoomed out ×¼",
          4: "93636 tiles (26 × 26 picture), turned 30°, zoomed out ×⅙"}
# The drawing's aims: main-thread CPU a frame, and frames a second or the
# speed-up over Cairo on this machine's software rasteriser.
DRAW_CPU_AIM_MS = 0.15
LAUNCH_FPS_AIM = 120
CAIRO_SPEEDUP_AIMS = {2: 2.0, 3: 5.0}


def load(path):
    with open(path) as f:
        data = json.load(f)
    runs = {}
    # With repetitions the median of each benchmark stands for it; a run
    # without them has only the single iteration runs.
    medians = any(b.get("aggregate_name") == "median" for b in data["benchmarks"])
    for b in data["benchmarks"]:
        if b.get("error_occurred"):
            continue
        if medians:
            if b.get("aggregate_name") != "median":
                continue
            b = dict(b, name=b.get("run_name", b["name"]))
        elif b.get("run_type", "iteration") != "iteration":
            continue
        # "BM_DrawFinished/scene:1/real_time" -> "BM_DrawFinished/scene:1": the
        # key leaves out how the benchmark was run, keeping what it measures.
        name = "/".join(p for p in b["name"].split("/")
                        if p not in ("real_time", "process_time")
                        and not p.startswith(("iterations:", "min_time:", "repeats:")))
        runs[name] = b
    return data.get("context", {}), runs


def ms(run, field="real_time"):
    return run[field] * UNIT[run.get("time_unit", "ns")] * 1e3


def fmt_ms(v):
    """A time given in milliseconds, in the unit that shows its digits."""
    if v is None:
        return "—"
    if v >= 10:
        return f"{v:.1f} ms"
    if v >= 0.1:
        return f"{v:.3f} ms"
    if v >= 0.001:
        return f"{v * 1e3:.3g} µs"
    return f"{v * 1e6:.3g} ns"


def verdict(value, limit):
    if value is None:
        return "not measured"
    return "met" if value < limit else "**missed**"


def web_section(out, path):
    """The browser build's figures (tools/web_bench.sh), beside the native
    ones of the same run."""
    try:
        with open(path) as f:
            web = json.load(f)
    except (OSError, ValueError):
        return
    out("## In the browser")
    out("")
    out(f"Written by `tools/web_bench.sh` ({web.get('date', '?')}): the site in Debian's headless Chromium")
    out("with software WebGL (SwiftShader), the image path as wasm under node, each beside")
    out("the native build on the same machine in the same run.")
    out("")
    size = web.get("site", {})
    out("| What | Figure | Aim | |")
    out("|---|---|---|---|")
    gz = size.get("wasm_js_gzip_bytes")
    if gz is not None:
        out(f"| Site: wasm + script, gzip-compressed | {gz / 1e6:.2f} MB | < 2 MB | {verdict(gz / 1e6, 2)} |")
    if size.get("data_gzip_bytes") is not None:
        out(f"| Site: the module's files (resources, fonts), gzip-compressed | {size['data_gzip_bytes'] / 1e6:.2f} MB | — | |")
    browser = web.get("browser", {})
    first = browser.get("firstFrameMedianMs")
    if first is not None:
        out(f"| Load to first frame (median of {browser.get('loads', '?')} loads) | {fmt_ms(first)} | < 1.5 s | "
            f"{verdict(first, 1500)} |")
    out("")
    median, p95 = browser.get("frameWorkMedianMs"), browser.get("frameWorkP95Ms")
    native_frame, native_draw = web.get("native_frame_ms"), web.get("native_draw_ms")
    if median is not None and native_frame and native_draw:
        native = 2 * native_frame + native_draw
        out("Main-thread work per animation frame while the device turns (two 1/120 s frames")
        out("and one picture at 60 Hz); natively, twice `BM_FrameThroughRunLoop` and one")
        out("`BM_DrawSubmit/scene:0`:")
        out("")
        out("| Browser median | Browser 95th percentile | Native | Browser / native |")
        out("|---|---|---|---|")
        out(f"| {fmt_ms(median)} | {fmt_ms(p95)} | {fmt_ms(native)} | {median / native:.1f}× |")
        out("")
    native_decode, wasm_decode = web.get("decode_native", {}), web.get("decode_wasm", {})
    if native_decode and wasm_decode:
        out("Decoding (the same program, `bench/web/decode_timing.cpp`, median of its runs):")
        out("")
        out("| Decode | Native | WebAssembly | wasm / native |")
        out("|---|---|---|---|")
        names = {"texture_jpeg_1200x900_ms": "the table texture, JPEG 1200 × 900",
                 "texture_png_1200x900_ms": "the same as PNG",
                 "photo_12mp_display_sized_ms": "a 12 MP photo to the display size",
                 "photo_12mp_full_size_ms": "the same photo at full size"}
        for key, what in names.items():
            n, w = native_decode.get(key), wasm_decode.get(key)
            if n and w:
                out(f"| {what} | {fmt_ms(n)} | {fmt_ms(w)} | {w / n:.2f}× |")
        out("")


def main():
    context, runs = load(sys.argv[1])
    get = runs.get
    lines = []
    out = lines.append
    out("# Performance")
    out("")
    out("Written by `tools/bench.sh` (Release build in `build-rel/`, every benchmark in")
    out("`bench/`); do not edit by hand. Run it again to bring the figures up to date.")
    out("")
    cpu = context.get("num_cpus", "?")
    mhz = context.get("mhz_per_cpu", "?")
    reps = next((r.get("repetitions") for r in runs.values() if r.get("repetitions")), 1)
    out(f"Machine: {cpu} CPUs at {mhz} MHz; run {context.get('date', '?')}; "
        + (f"each figure the median of {reps} runs." if reps > 1 else "one run of each benchmark."))
    out("The machine is shared, so figures move by some 20% from run to run; compare")
    out("with a reference in the same run, as the side-by-side tables do.")
    out("")
    out("## Aims")
    out("")
    out("| What | Benchmark | Figure | Aim | |")
    out("|---|---|---|---|---|")

    def row(what, name, value, aim_text, limit):
        out(f"| {what} | `{name}` | {fmt_ms(value)} | {aim_text} | {verdict(value, limit)} |")

    for name, what in (("BM_Frame", "One frame (controller, turning)"),
                       ("BM_FrameThroughRunLoop", "One frame through the run loop"),
                       ("BM_MovingImagesFrame", "One frame with ten photos moving")):
        r = get(name)
        row(what, name, ms(r, "cpu_time") if r else None, f"< {FRAME_PERIOD_MS:.2f} ms (1/120 s)", FRAME_PERIOD_MS)
    for scene in (0, 1):
        name = f"BM_DrawSubmit/scene:{scene}"
        r = get(name)
        row(f"Draw, main thread CPU: {SCENES[scene]}", name, ms(r, "cpu_time") if r else None,
            f"< {DRAW_CPU_AIM_MS} ms", DRAW_CPU_AIM_MS)
    floor = get("BM_GlFloor")
    out(f"| Draw, main thread CPU: the GL's own floor (a clear and one quad; a reference) | `BM_GlFloor` | "
        f"{fmt_ms(ms(floor, 'cpu_time') if floor else None)} | — | — |")
    launch = get("BM_DrawFinished/scene:0")
    fps = launch.get("fps") if launch else None
    out(f"| Launch screen, frames a second | `BM_DrawFinished/scene:0` | "
        f"{f'{fps:.1f}' if fps else '—'} | ≥ {LAUNCH_FPS_AIM} | "
        f"{'—' if fps is None else ('met' if fps >= LAUNCH_FPS_AIM else '**missed**')} |")
    for scene, aim in CAIRO_SPEEDUP_AIMS.items():
        cairo = get(f"BM_CairoReference/scene:{scene}")
        speedup = cairo.get("gl_speedup") if cairo else None
        out(f"| Against Cairo: {SCENES[scene]} | `BM_CairoReference/scene:{scene}` | "
            f"{f'{speedup:.2f}×' if speedup else '—'} | ≥ {aim:g}× | "
            f"{'—' if speedup is None else ('met' if speedup >= aim else '**missed**')} |")
    r = get("BM_PlaceTenLibraryPhotos")
    row("Placing ten 12 MP photos", "BM_PlaceTenLibraryPhotos", ms(r) if r else None, "< 500 ms", 500)
    for fingers in (1, 2):
        name = f"BM_RubEvent/{fingers}"
        r = get(name)
        row(f"One rub event, {fingers} finger{'s' if fingers > 1 else ''}", name,
            ms(r, "cpu_time") if r else None, "< 0.2 ms", 0.2)
    out("")

    out("## Side by side")
    out("")
    out("Software rendering (Mesa on this machine) against the same tiles drawn through")
    out("Cairo's image surface:")
    out("")
    out("| Scene | Compositor fps | Cairo fps | Cairo time / compositor time |")
    out("|---|---|---|---|")
    for scene in sorted(SCENES):
        gl = get(f"BM_DrawFinished/scene:{scene}")
        cairo = get(f"BM_CairoReference/scene:{scene}")
        gl_fps = f"{gl['fps']:.1f}" if gl and "fps" in gl else "—"
        cairo_fps = f"{cairo['fps']:.1f}" if cairo and "fps" in cairo else "—"
        ratio = f"{cairo['gl_speedup']:.2f}×" if cairo and "gl_speedup" in cairo else "—"
        out(f"| {SCENES[scene]} | {gl_fps} | {cairo_fps} | {ratio} |")
    out("")
    placed = get("BM_PlaceTenLibraryPhotos")
    full = get("BM_PlaceTenPhotosFullSizeReference")
    out("Placing ten 12 MP photos against decoding each at full size and scaling it down:")
    out("")
    out("| Display-sized decode | Full-size decode | Full-size time / display-sized time |")
    out("|---|---|---|")
    if placed and full:
        out(f"| {fmt_ms(ms(placed))} | {fmt_ms(ms(full))} | {ms(full) / ms(placed):.2f}× |")
    else:
        out(f"| {fmt_ms(ms(placed) if placed else None)} | {fmt_ms(ms(full) if full else None)} | — |")
    out("")

    out("One 12 MP picture in each format, decoded to display size (`bench/formats_bench.cpp`):")
    out("")
    out("| Format | Display-sized decode | Time / JPEG's |")
    out("|---|---|---|")
    jpeg = get("BM_DecodeDisplaySized12MP_JPEG")
    for fmt in ("JPEG", "WebP", "HEIC"):
        r = get(f"BM_DecodeDisplaySized12MP_{fmt}")
        ratio = f"{ms(r) / ms(jpeg):.2f}×" if r and jpeg else "—"
        out(f"| {fmt} | {fmt_ms(ms(r) if r else None)} | {ratio} |")
    out("")

    if len(sys.argv) > 3:
        web_section(out, sys.argv[3])

    out("## Every benchmark")
    out("")
    # A median's iteration count is the number of runs it was taken from.
    count = "Runs" if reps > 1 else "Iterations"
    out(f"| Benchmark | Real time | CPU time | {count} | Counters |")
    out("|---|---|---|---|---|")
    skip = {"name", "run_name", "run_type", "repetitions", "repetition_index", "threads", "iterations",
            "real_time", "cpu_time", "time_unit", "family_index", "per_family_instance_index", "label",
            "aggregate_name", "aggregate_unit", "error_occurred", "error_message"}
    for name, r in runs.items():
        counters = ", ".join(f"{k} {v:.4g}" for k, v in r.items() if k not in skip and isinstance(v, (int, float)))
        out(f"| `{name}` | {fmt_ms(ms(r))} | {fmt_ms(ms(r, 'cpu_time'))} | {r['iterations']} | {counters} |")
    out("")
    with open(sys.argv[2], "w") as f:
        f.write("\n".join(lines))


def replace_web_section(report_path, web_path):
    """Puts the browser's figures into a report written earlier, in place of
    the ones it has, before its list of every benchmark."""
    with open(report_path) as f:
        text = f.read()
    lines = []
    web_section(lines.append, web_path)
    section = "\n".join(lines)
    start = text.find("## In the browser")
    end = text.find("## Every benchmark")
    if start < 0:
        start = end if end >= 0 else len(text)
    if end < start:
        end = len(text)
    with open(report_path, "w") as f:
        f.write(text[:start] + section + "\n" + text[end:])


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "--web-only":
        replace_web_section(sys.argv[2], sys.argv[3])
    else:
        main()
