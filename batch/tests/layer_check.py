#!/usr/bin/python3
"""Independent check of drawings written by laminor-batch: prints, per file,
its layers, their settings and how many layout entities use them, as read by ezdxf, the audit's error count and
the number of entities whose layer is missing from the layer table, as JSON."""
import json
import sys

import ezdxf


def check(path):
    doc = ezdxf.readfile(path)
    auditor = doc.audit()
    layers = []
    names = set()
    for layer in doc.layers:
        name = layer.dxf.name
        names.add(name.lower())
        layers.append({
            "name": name,
            "color": abs(layer.dxf.color),
            "on": layer.is_on(),
            "frozen": layer.is_frozen(),
            "locked": layer.is_locked(),
            "linetype": layer.dxf.get("linetype", ""),
            "plot": bool(layer.dxf.get("plot", 1)),
        })
    missing = 0
    used = {}
    for layout in doc.layouts:
        for e in layout:
            k = e.dxf.layer.lower()
            used[k] = used.get(k, 0) + 1
            if k not in names:
                missing += 1
    for layer in layers:
        layer["used"] = used.get(layer["name"].lower(), 0)
    return {"layers": layers, "audit_errors": len(auditor.errors), "missing_layers": missing}


print(json.dumps({p: check(p) for p in sys.argv[1:]}, ensure_ascii=False))
