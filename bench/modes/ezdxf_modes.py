#!/usr/bin/python3
"""The ezdxf side of the modes benchmark: per file load, the rename (mode 1)
or state (mode 2) pass of our ezdxf reference (bench/ezdxf_reference.py),
save in place; all files in this one process. Prints: mode=N files=F seconds=S

    /usr/bin/python3 bench/modes/ezdxf_modes.py MODE FILE...
"""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

import ezdxf  # noqa: E402
import ezdxf_reference as reference  # noqa: E402


def main():
    mode = int(sys.argv[1])
    files = sys.argv[2:]
    rename, state = reference.rename_rules(), reference.state_rules()
    start = time.perf_counter()
    for path in files:
        doc = ezdxf.readfile(path)
        if mode == 1:
            reference.rename_pass(doc, rename)
        else:
            reference.state_pass(doc, state)
        doc.saveas(path)
    print(f"mode={mode} files={len(files)} seconds={time.perf_counter() - start:.3f}")


if __name__ == "__main__":
    main()
