#!/usr/bin/python3
"""How fast each host program reads a 128 x 128 emblem, against the same
picture as PNG (the yardstick), in the same run. gdk-pixbuf, Qt 5 and Qt 6
load in process, alternating batches; GIMP loads through its plug-ins, so a
whole batch run is timed and the run without loads is taken off.

  bench/hosts.py ZWPCONV [BUILD_DIR] [RUNS]

Without BUILD_DIR the installed plugins are measured, as users have them;
with it, the ones in that build tree. Prints the median time per load and
the ratio emblem/PNG per host (below 1 means the emblem is faster)."""
import os
import statistics
import subprocess
import sys
import tempfile
import time

BATCH = 200


def timed_batches(load, paths, runs):
    """Median seconds per load for each path, batches of the paths alternating."""
    times = {p: [] for p in paths}
    for _ in range(runs):
        for p in paths:
            start = time.perf_counter()
            for _ in range(BATCH):
                load(p)
            times[p].append((time.perf_counter() - start) / BATCH)
    return [statistics.median(times[p]) for p in paths]


def in_process(host, emblem, png, runs):
    if host == "gdk-pixbuf":
        import gi
        gi.require_version("GdkPixbuf", "2.0")
        from gi.repository import GdkPixbuf

        def load(p):
            assert GdkPixbuf.Pixbuf.new_from_file(p).get_width() == 128
    else:
        module = __import__(host.replace("Qt ", "PyQt"), fromlist=["QtGui", "QtCore"])
        app = module.QtCore.QCoreApplication([])  # noqa: F841

        def load(p):
            assert module.QtGui.QImage(p).width() == 128
    load(emblem), load(png)  # plugins loaded before timing
    return timed_batches(load, [emblem, png], runs)


def gimp(emblem, png, runs, plugins):
    config = tempfile.mkdtemp()
    if plugins:
        with open(os.path.join(config, "gimprc"), "w") as rc:
            # Ours comes first: GIMP takes the first plug-in of a name.
            rc.write(f'(plug-in-path "{plugins}:${{gimp_plug_in_dir}}/plug-ins")\n')

    def run(path, count):
        loads = [] if not path else [
            "-b", f'(let loop ((i 0)) (if (< i {count}) (begin (gimp-image-delete (car (gimp-file-load '
                  f'RUN-NONINTERACTIVE "{path}" "x"))) (loop (+ i 1)))))']
        start = time.perf_counter()
        subprocess.run(["gimp-console-2.10", "-i", "-d", "-f", *loads, "-b", "(gimp-quit 0)"],
                       env=dict(os.environ, GIMP2_DIRECTORY=config), capture_output=True, check=True)
        return time.perf_counter() - start

    count = 10
    run(emblem, 1)  # GIMP registers the plug-ins on its first start
    samples = {emblem: [], png: []}
    for _ in range(runs):
        base = run(None, 0)
        for p in (emblem, png):
            samples[p].append((run(p, count) - base) / count)
    return [statistics.median(samples[p]) for p in (emblem, png)]


def main():
    if len(sys.argv) > 2 and sys.argv[1] == "--host":  # one host, in a process of its own
        emblem, png, runs = sys.argv[3], sys.argv[4], int(sys.argv[5])
        print(*in_process(sys.argv[2], emblem, png, runs))
        return
    zwpconv = sys.argv[1]
    build = sys.argv[2] if len(sys.argv) > 2 else None
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    work = tempfile.mkdtemp()
    from PIL import Image
    png = os.path.join(work, "art.png")
    # A photo-like 128 x 128 picture: smooth gradients with fine detail.
    side = (128, 128)
    Image.merge("RGB", [Image.effect_noise(side, 40), Image.linear_gradient("L").resize(side),
                        Image.radial_gradient("L").resize(side)]).save(png)
    subprocess.run([zwpconv, "-o", work, "--", png], check=True, capture_output=True)
    emblem = os.path.join(work, "art.zwp")

    env = dict(os.environ)
    if build:
        env.update(QT_PLUGIN_PATH=f"{build}/plugins", GDK_PIXBUF_MODULE_FILE=f"{build}/plugins-pixbuf/loaders.cache")
    load = os.popen("cat /proc/loadavg").read().split()[0]
    print(f"128 x 128, {BATCH} loads a batch, {runs} runs, load average {load} on {os.cpu_count()} cores")
    print(f"{'host':<12}{'emblem':>12}{'PNG':>12}{'ratio':>8}")
    for host in ("gdk-pixbuf", "Qt 5", "Qt 6", "GIMP"):
        if host == "GIMP":
            zwp, ref = gimp(emblem, png, runs, f"{build}/plugins-gimp" if build else None)
        else:
            host_env = dict(env)
            if build and host == "Qt 5":
                host_env["QT_PLUGIN_PATH"] = f"{build}/plugins-qt5"
            out = subprocess.run([sys.executable, __file__, "--host", host, emblem, png, str(runs)], env=host_env,
                                 capture_output=True, text=True, check=True).stdout
            zwp, ref = map(float, out.split())
        print(f"{host:<12}{zwp * 1e6:>10.0f}µs{ref * 1e6:>10.0f}µs{zwp / ref:>8.2f}")


if __name__ == "__main__":
    main()
