#!/usr/bin/python3
"""Draws each drawing with drawhost's view (view_bench --png) and with ezdxf's
drawing add-on (matplotlib backend), and puts the two side by side:

    /usr/bin/python3 bench/view/compare_ezdxf.py build OUT_DIR FILE...

OUT_DIR/NAME.png holds ours on the left, ezdxf's on the right; the times
each took are printed as a table. Needs python3-ezdxf, python3-matplotlib and
ImageMagick.
"""
import os
import subprocess
import sys
import time

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import ezdxf  # noqa: E402
from ezdxf.addons.drawing import Frontend, RenderContext  # noqa: E402
from ezdxf.addons.drawing.matplotlib import MatplotlibBackend  # noqa: E402

WIDTH, HEIGHT = 1600, 1000


def ezdxf_png(path, out):
    start = time.perf_counter()
    doc = ezdxf.readfile(path)
    read = time.perf_counter() - start
    fig = plt.figure(figsize=(WIDTH / 100, HEIGHT / 100), dpi=100)
    ax = fig.add_axes([0, 0, 1, 1])
    ctx = RenderContext(doc)
    Frontend(ctx, MatplotlibBackend(ax)).draw_layout(doc.modelspace(), finalize=True)
    fig.savefig(out, dpi=100, facecolor=ax.get_facecolor())
    plt.close(fig)
    return read, time.perf_counter() - start - read


def main():
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    build, out, files = sys.argv[1], sys.argv[2], sys.argv[3:]
    ours_dir, theirs_dir = os.path.join(out, "drawhost"), os.path.join(out, "ezdxf")
    os.makedirs(theirs_dir, exist_ok=True)
    print("| drawing | drawhost read + first view ms | ezdxf read s | ezdxf draw s |")
    print("|---|---|---|---|")
    for path in files:
        name = os.path.splitext(os.path.basename(path))[0]
        table = subprocess.run([os.path.join(build, "bin", "view_bench"), "--frames", "0", "--png", ours_dir, path],
                               check=True, capture_output=True, text=True,
                               env=dict(os.environ, QT_QPA_PLATFORM="offscreen")).stdout
        cells = [c.strip() for c in table.strip().splitlines()[-1].split("|")]
        ours_ms = float(cells[3]) + float(cells[6])
        theirs = os.path.join(theirs_dir, name + ".png")
        read, draw = ezdxf_png(path, theirs)
        subprocess.run(["convert", os.path.join(ours_dir, name + ".png"), theirs, "+append",
                        os.path.join(out, name + ".png")], check=True)
        print(f"| {os.path.basename(path)} | {ours_ms:.0f} | {read:.2f} | {draw:.2f} |", flush=True)


if __name__ == "__main__":
    main()
