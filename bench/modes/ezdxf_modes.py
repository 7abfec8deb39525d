#!/usr/bin/python3
"""The ezdxf side of the modes benchmark: per file load, the rename (mode 1)
or state (mode 2) pass of the shared ezdxf baseline, save in place; all files
in this one process. Prints: mode=N files=F seconds=S

    /usr/bin/python3 ezdxf_modes.py SHARED_BENCH_DIR MODE FILE...
"""
import sys
import time


def main():
    sys.path.insert(0, sys.argv[1])
    import ezdxf
    import ezdxf_baseline as base

    mode = int(sys.argv[2])
    files = sys.argv[3:]
    start = time.perf_counter()
    for path in files:
        doc = ezdxf.readfile(path)
        if mode == 1:
            base.rename_pass(doc)
        else:
            base.state_pass(doc)
        doc.saveas(path)
    print(f"mode={mode} files={len(files)} seconds={time.perf_counter() - start:.3f}")


if __name__ == "__main__":
    main()
