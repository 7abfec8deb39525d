#!/usr/bin/python3
"""The ezdxf side of the serial-script benchmark: the same expansion that
laminor's mode 4 makes, done with ezdxf: per drawing the base script's body
(comment lines dropped), the simple keywords, the body repeated for every
layer with the name in double quotes, the keyword list, and the block
"open" / path / "zoom" / "a" / body / "close" / "y"; all blocks into one CP932
file with CR LF. Prints: files=N seconds=S

    /usr/bin/python3 ezdxf_script.py BASE.scr OUT.scr DRAWING...
"""
import os
import sys
import time

import ezdxf

CRLF = "\r\n"
# The keywords of Laminor.ini's defaults, and its default keyword list.
KEYWORDS = {"path": "<DWGPATH>", "name": "<DWGNAME>", "layer": "<LAYERNAME>",
            "printer": "<PRINTER>", "paper": "<PAPERSIZE>"}
USER_KEYWORDS = [("<点1>", "0,0"), ("<点2>", "100,100")]


def trim(text):
    while text.endswith(CRLF):
        text = text[:-2]
    return text


def body_of(base):
    body = ""
    for line in base.split(CRLF):
        if line.startswith(";"):
            continue
        body = line if body == "" else body + CRLF + line
    return body


def block(base, path):
    body = body_of(base)
    folder = os.path.dirname(path)
    title = os.path.basename(path)[:-4]
    for key, value in (("path", folder), ("name", title), ("printer", ""), ("paper", "")):
        if KEYWORDS[key] in body:
            body = body.replace(KEYWORDS[key], value)
    if KEYWORDS["layer"] in body:
        doc = ezdxf.readfile(path)
        result = ""
        for layer in doc.layers:
            copy = body.replace(KEYWORDS["layer"], '"' + layer.dxf.name + '"')
            result = copy if result == "" else trim(result) + CRLF + copy
        if result == "":
            return None
        body = result
    for search, replacement in USER_KEYWORDS:
        if search in body:
            body = body.replace(search, replacement)
    head = "open" + CRLF + '"' + path + '"' + CRLF + "zoom" + CRLF + "a" + CRLF
    return trim(head + body) + CRLF + "close" + CRLF + "y"


def main():
    base_path, out_path, drawings = sys.argv[1], sys.argv[2], sys.argv[3:]
    start = time.perf_counter()
    with open(base_path, encoding="cp932", newline="") as f:
        base = f.read()
    with open(out_path, "w", encoding="cp932", newline="") as out:
        for path in drawings:
            b = block(base, os.path.abspath(path))
            if b is not None:
                out.write(b + CRLF)
    print(f"files={len(drawings)} seconds={time.perf_counter() - start:.3f}")


if __name__ == "__main__":
    main()
