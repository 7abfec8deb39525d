#!/usr/bin/python3
"""Compares two survey workbooks as openpyxl reads them: sheet names and
order, every cell's value and type, workbook names, list validations per
column (type, alert, blanks, drop-down, source, first row) and the active
sheet. Prints each difference; exits 1 when there is one.

    /usr/bin/python3 compare_workbooks.py OFFICE.xlsx FILE.xlsx
"""
import sys

import openpyxl
from openpyxl.utils import get_column_letter


def describe(path):
    wb = openpyxl.load_workbook(path)
    out = {"sheets": wb.sheetnames, "active": wb.active.title,
           "names": sorted((d.name, d.attr_text.replace("'", "")) for d in wb.defined_names.definedName)}
    for ws in wb.worksheets:
        out["rows " + ws.title] = [[(c, type(c).__name__) for c in row] for row in ws.iter_rows(values_only=True)]
        columns = []
        for dv in ws.data_validations.dataValidation:
            for r in dv.sqref.ranges:
                # The office's export cuts a whole-column validation at row
                # 1001; the first row and the columns are what both mean. A
                # missing alert style is the format's default, stop.
                columns += [(get_column_letter(c), dv.type, dv.errorStyle or "stop", bool(dv.allow_blank),
                             bool(dv.showDropDown), dv.formula1, r.min_row) for c in range(r.min_col, r.max_col + 1)]
        out["validations " + ws.title] = sorted(columns)
    return out


def main():
    a, b = describe(sys.argv[1]), describe(sys.argv[2])
    differences = 0
    for key in sorted(set(a) | set(b)):
        if a.get(key) == b.get(key):
            continue
        differences += 1
        left, right = a.get(key), b.get(key)
        if isinstance(left, list) and isinstance(right, list) and len(left) == len(right):
            for i, (x, y) in enumerate(zip(left, right)):
                if x != y:
                    print(f"{key} [{i}]: {x!r} != {y!r}")
                    break
        else:
            print(f"{key}: {left!r} != {right!r}"[:2000])
    print(f"{len(a.get('rows 画層情報', []))} layer rows, {len(a.get('rows 文字出力', []))} text rows, "
          f"{differences} differences")
    sys.exit(1 if differences else 0)


if __name__ == "__main__":
    main()
