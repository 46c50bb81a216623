#!/usr/bin/env python3
"""Whole-process comparison of tavrenix-cli with its peers on the jobs it exists for.

Run by `./dev.sh bench`, which builds the programs and installs the peers first:

    bench/compare.py --cli build/release/app/cli/tavrenix-cli \
        --picture-maker build/release/bench/make_bench_picture --vips-cut build/bench-data/vips_cut

Makes the benchmark pictures once in the data folder (outside the repository): a photo-like
6000 x 4000 JPEG and the same pixels as a 24-bit BMP, a 1920 x 1080 JPEG, and the raw 1280 x 768
and 4096 x 4096 pictures the encoder sees (BMP for tavrenix-cli, and PPM, cjpeg's own format).
Then times, in one run, whole process against whole process with hyperfine (median and spread
of N runs after warm-up), and measures each command's CPU time (all its threads) and peak
resident memory with GNU time:

  - the encoder at quality 100 against cjpeg -quality 100 -optimize -dct float -sample 2x2;
  - the season-3 loading screen (1280 x 768 in six parts) from the JPEG and from the BMP, and
    the startup logo (256 x 195) from the 1080p JPEG, against libvips, ImageMagick and Pillow
    pipelines making the same parts at quality 100 with 4:2:0 chroma.

For the JPEG jobs a "floor" row times djpeg decoding the picture at the scale tavrenix-cli decodes
it at and nothing else: not a peer, but the least any libjpeg-turbo program can take.

Prints the table, the ratios (ours / peer) and each target as met or missed. Only the Python
standard library is used here; the Pillow peer runs under the system's python3.
"""
import argparse
import json
import os
import shlex
import shutil
import statistics
import subprocess
import sys
import tempfile

SEASON3_PARTS = [(0, 0, 512, 512), (512, 0, 512, 512), (1024, 0, 256, 512),
                 (0, 512, 512, 256), (512, 512, 512, 256), (1024, 512, 256, 256)]
LOGO = (256, 195)
LOADING = (1280, 768)
# Bumped whenever the pictures' recipe changes, so old pictures are made again.
PICTURE_RECIPE = "photo-v1 cjpeg-q92-2x2"


def picture_size(path):
    """Width and height from a JPEG's start-of-frame segment."""
    data = open(path, "rb").read()
    at = 2
    while at + 4 <= len(data):
        marker, length = data[at + 1], int.from_bytes(data[at + 2:at + 4], "big")
        if 0xC0 <= marker <= 0xCF and marker not in (0xC4, 0xC8, 0xCC):
            return int.from_bytes(data[at + 7:at + 9], "big"), int.from_bytes(data[at + 5:at + 7], "big")
        at += 2 + length
    sys.exit(f"bench: no frame header in {path}")


def reduced_scale(size, target):
    """The reduction tavrenix-cli decodes a JPEG at: the largest of 8, 4, 2 keeping twice the target."""
    (w, h), (tw, th) = size, target
    for d in (8, 4, 2):
        if -(-w // d) >= 2 * tw and -(-h // d) >= 2 * th:
            return d
    return 1


def run(cmd, **kw):
    return subprocess.run(cmd, check=True, **kw)


def make_pictures(maker, data):
    """The benchmark pictures, made once; a stamp file records the recipe they were made by."""
    stamp = os.path.join(data, "pictures.stamp")
    if os.path.exists(stamp) and open(stamp).read() == PICTURE_RECIPE:
        return
    print("bench: making the benchmark pictures in", data, flush=True)
    os.makedirs(data, exist_ok=True)

    def photo_jpeg(w, h, name):
        ppm = os.path.join(data, name + ".ppm")
        run([maker, str(w), str(h), ppm])
        with open(os.path.join(data, name + ".jpg"), "wb") as out:
            run(["cjpeg", "-quality", "92", "-sample", "2x2", ppm], stdout=out)
        os.remove(ppm)

    photo_jpeg(6000, 4000, "photo-6000x4000")
    # The BMP holds exactly the pixels a JPEG decoder makes of the JPEG.
    with open(os.path.join(data, "photo-6000x4000.bmp"), "wb") as out:
        run(["djpeg", "-bmp", os.path.join(data, "photo-6000x4000.jpg")], stdout=out)
    photo_jpeg(1920, 1080, "photo-1920x1080")
    for w, h in [(1280, 768), (4096, 4096)]:
        for ext in ("bmp", "ppm"):
            run([maker, str(w), str(h), os.path.join(data, f"raw-{w}x{h}.{ext}")])
    with open(stamp, "w") as f:
        f.write(PICTURE_RECIPE)


def hyperfine(command, runs, warmup, prepare=None):
    """Seconds of every timed run of one command (no shell between hyperfine and it)."""
    with tempfile.NamedTemporaryFile(suffix=".json") as js:
        args = ["hyperfine", "-N", "--style", "none", "--runs", str(runs), "--warmup", str(warmup),
                "--export-json", js.name]
        if prepare:
            args += ["--prepare", shlex.join(prepare)]
        # hyperfine's advice about outliers goes to standard error; the spread is in the table.
        run(args + [shlex.join(command)], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return json.load(open(js.name))["results"][0]["times"]


def peak_rss_and_cpu(command, prepare=None, repeats=3):
    """Medians over a few runs of the peak resident set size in MB and of the CPU seconds (user
    and system, every thread), from GNU time's %M (KB), %U and %S."""
    rss, cpu = [], []
    for _ in range(repeats):
        if prepare:
            run(prepare)
        r = subprocess.run(["/usr/bin/time", "-f", "%M %U %S"] + command, stdout=subprocess.DEVNULL,
                           stderr=subprocess.PIPE, text=True, check=True)
        kb, user, system = r.stderr.strip().splitlines()[-1].split()
        rss.append(int(kb) / 1024)
        cpu.append(float(user) + float(system))
    return statistics.median(rss), statistics.median(cpu)


def quartiles(times):
    q = statistics.quantiles(times, n=4) if len(times) >= 2 else [times[0]] * 3
    return q[0], q[2]


def load_average():
    return " ".join(open("/proc/loadavg").read().split()[:3])


def part_args(parts, out_dir, prefix):
    return [f"{x},{y},{w},{h}={os.path.join(out_dir, f'{prefix}{i + 1}.jpg')}"
            for i, (x, y, w, h) in enumerate(parts)]


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--cli", required=True)
    ap.add_argument("--picture-maker", required=True)
    ap.add_argument("--vips-cut", required=True)
    ap.add_argument("--data", default="build/bench-data")
    ap.add_argument("--runs", type=int, default=15)
    ap.add_argument("--warmup", type=int, default=2)
    ap.add_argument("--only", help="run only the jobs whose name contains this text")
    ap.add_argument("--baseline-cli", help="an earlier tavrenix-cli, timed beside the current one (not a peer)")
    ap.add_argument("--json", help="also write the results to this file")
    args = ap.parse_args()

    for tool in ("hyperfine", "cjpeg", "djpeg", "/usr/bin/convert", "/usr/bin/time", "/usr/bin/python3"):
        if not shutil.which(tool):
            sys.exit(f"bench: {tool} is missing (./dev.sh bench installs the peers)")
    cli = os.path.abspath(args.cli)
    data = os.path.abspath(args.data)
    make_pictures(os.path.abspath(args.picture_maker), data)
    pic = lambda name: os.path.join(data, name)
    pillow = os.path.join(os.path.dirname(os.path.abspath(__file__)), "peers", "pillow_cut.py")
    vips = os.path.abspath(args.vips_cut)

    work = os.path.join(data, "work")
    out = os.path.join(data, "out")
    for d in (work, out):
        shutil.rmtree(d, ignore_errors=True)
        os.makedirs(d)
    ours_jpg = os.path.join(out, "ours.jpg")
    rm_ours = ["rm", "-f", ours_jpg]

    def cut_peers(picture, size, parts, jpeg):
        w, h = size
        specs = part_args(parts, out, "peer")
        im = ["/usr/bin/convert"]
        if jpeg:
            im += ["-define", f"jpeg:size={w}x{h}"]
        im += [picture, "-filter", "box", "-resize", f"{w}x{h}!", "-quality", "100", "-sampling-factor", "2x2"]
        for i, (x, y, pw, ph) in enumerate(parts):
            im += ["(", "+clone", "-crop", f"{pw}x{ph}+{x}+{y}", "+repage", "-write",
                   os.path.join(out, f"im{i + 1}.jpg"), "+delete", ")"]
        im += ["null:"]
        # Not a peer: libjpeg-turbo decoding the picture at the scale tavrenix-cli decodes it at,
        # and nothing else. No program that reads the JPEG with libjpeg-turbo can be faster.
        floor = []
        if jpeg:
            scale = reduced_scale(picture_size(picture), size)
            floor = [(f"floor: djpeg 1/{scale}", ["djpeg", "-scale", f"1/{scale}", "-outfile", os.devnull, picture],
                      None)]
        return floor + [("libvips", [vips, picture, str(w), str(h)] + specs, None),
                ("ImageMagick", im, None),
                ("Pillow", ["/usr/bin/python3", pillow, picture, str(w), str(h)] + specs, None)]

    jobs = []
    for w, h in [(1280, 768), (4096, 4096)]:
        raw = f"raw-{w}x{h}"
        jobs.append((f"encode {w}x{h} q100", [
            ("tavrenix-cli", [cli, "encode", "--quality", "100", pic(raw + ".bmp"), ours_jpg], rm_ours),
            ("cjpeg (PPM)", ["cjpeg", "-quality", "100", "-optimize", "-dct", "float", "-sample", "2x2",
                             "-outfile", os.path.join(out, "cjpeg.jpg"), pic(raw + ".ppm")], None),
            ("cjpeg (BMP)", ["cjpeg", "-quality", "100", "-optimize", "-dct", "float", "-sample", "2x2",
                             "-outfile", os.path.join(out, "cjpeg.jpg"), pic(raw + ".bmp")], None),
        ]))
    for kind, ext in [("JPEG", "jpg"), ("BMP", "bmp")]:
        picture = pic("photo-6000x4000." + ext)
        jobs.append((f"season 3 from 24 MP {kind}", [
            ("tavrenix-cli", [cli, "make", "--season", "3", "--loading-screen", out, "--work-dir", work, picture],
             None)] + cut_peers(picture, LOADING, SEASON3_PARTS, ext == "jpg")))
    picture = pic("photo-1920x1080.jpg")
    jobs.append(("startup logo from 1080p JPEG", [
        ("tavrenix-cli", [cli, "make", "--season", "0", "--startup-logo", os.path.join(out, "IntroLogo.ozj"),
                          "--work-dir", work, picture], None)]
        + cut_peers(picture, LOGO, [(0, 0) + LOGO], True)))

    if args.baseline_cli:
        # The same commands with the earlier program, as the second row of each job.
        baseline = os.path.abspath(args.baseline_cli)
        for _, commands in jobs:
            tool, command, prepare = commands[0]
            commands.insert(1, ("tavrenix (before)", [baseline] + command[1:], prepare))

    targets = {"encode 1280x768": 1.0, "encode 4096x4096": 0.9, "season 3 from 24 MP JPEG": 0.7,
               "season 3 from 24 MP BMP": 0.2, "startup logo": 0.5}

    print(f"bench: {os.cpu_count()} cores, load average before: {load_average()}", flush=True)
    results = []
    for job, commands in jobs:
        if args.only and args.only not in job:
            continue
        rows = []
        for tool, command, prepare in commands:
            # A failing command must not be timed: run it once and say why.
            if prepare:
                run(prepare)
            subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
            times = hyperfine(command, args.runs, args.warmup, prepare)
            rss, cpu = peak_rss_and_cpu(command, prepare)
            q1, q3 = quartiles(times)
            rows.append({"tool": tool, "median": statistics.median(times), "q1": q1, "q3": q3,
                         "min": min(times), "max": max(times), "rss": rss, "cpu": cpu, "runs": len(times),
                         "command": shlex.join(command)})
        results.append((job, rows))
        print_job(job, rows, targets)
    print(f"bench: load average after: {load_average()}")
    print_targets(results, targets)
    if args.json:
        with open(args.json, "w") as f:
            json.dump([{"job": j, "rows": r} for j, r in results], f, indent=1)


def target_of(job, targets):
    for prefix, t in targets.items():
        if job.startswith(prefix):
            return t
    return None


def print_job(job, rows, targets):
    ours = rows[0]
    print(f"\n{job}")
    print(f"  {'program':<17} {'median s':>9} {'quartiles s':>17} {'min-max s':>17} {'ours/it':>8} {'CPU s':>7}"
          f" {'peak MB':>8}")
    for r in rows:
        ratio = ours["median"] / r["median"]
        print(f"  {r['tool']:<17} {r['median']:9.4f} {r['q1']:8.4f}-{r['q3']:<8.4f} {r['min']:8.4f}-{r['max']:<8.4f}"
              f" {ratio:8.2f} {r['cpu']:7.3f} {r['rss']:8.1f}")
    sys.stdout.flush()


def print_targets(results, targets):
    print("\ntargets (ours / fastest peer; peak memory against the fastest peer's):")
    for job, rows in results:
        ours = rows[0]
        peers = [r for r in rows[1:] if not r["tool"].startswith(("tavrenix", "floor"))]
        fastest = min(peers, key=lambda r: r["median"])
        ratio = ours["median"] / fastest["median"]
        t = target_of(job, targets)
        time_ok = t is not None and ratio <= t
        mem_ok = ours["rss"] <= fastest["rss"]
        print(f"  {job:<32} {ratio:5.2f} x {fastest['tool']:<12} target <= {t:.2f}: {'met' if time_ok else 'MISSED'};"
              f" memory {ours['rss']:.1f} MB vs {fastest['rss']:.1f} MB: {'met' if mem_ok else 'MISSED'}")


if __name__ == "__main__":
    main()
