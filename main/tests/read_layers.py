#!/usr/bin/python3
"""Reads one DXF with ezdxf and prints, as JSON, its audit result and per
layer the table settings and the number of objects drawn on it (model and
paper space, block definitions, attributes of block references)."""
import json
import sys

import ezdxf


def main(path):
    doc = ezdxf.readfile(path)
    auditor = doc.audit()
    counts = {}

    def count(entity):
        name = entity.dxf.get("layer")
        if name is not None:
            counts[name] = counts.get(name, 0) + 1

    for block in doc.blocks:
        for e in block:
            count(e)
            if e.dxftype() == "INSERT":
                for a in e.attribs:
                    count(a)
    layers = {}
    for layer in doc.layers:
        layers[layer.dxf.name] = {
            "color": abs(layer.dxf.color),
            "on": layer.dxf.color >= 0,
            "frozen": bool(layer.dxf.flags & 1),
            "locked": bool(layer.dxf.flags & 4),
            "lineweight": layer.dxf.get("lineweight", -3),
            "linetype": layer.dxf.get("linetype", ""),
        }
    print(json.dumps({"errors": len(auditor.errors), "clayer": doc.header.get("$CLAYER", "0"),
                      "layers": layers, "counts": counts}, ensure_ascii=False))


if __name__ == "__main__":
    main(sys.argv[1])
