#!/usr/bin/python3
"""The reference of the survey benchmark: mode 3 done with python3-ezdxf and
python3-openpyxl. Every drawing is loaded with ezdxf and surveyed (the layer
rows with object, block reference and text counts, every single-line text
with its handle), the rename and state rule templates are built from the
layer rows, and one workbook is written with openpyxl, laid out as
laminor's: 画層情報, 文字出力, 画層名変更規則, 画層状態変更規則, list_source,
the workbook names and the list validations of the state rule columns.
All drawings in this one process, as laminor-batch runs them.

    /usr/bin/python3 bench/survey/ezdxf_survey.py --out FILE.xlsx DRAWING...
Prints: files=N layers=L texts=T seconds=S
"""
import argparse
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

import ezdxf  # noqa: E402
import openpyxl  # noqa: E402
from openpyxl.workbook.defined_name import DefinedName  # noqa: E402
from openpyxl.worksheet.datavalidation import DataValidation  # noqa: E402

import ezdxf_reference as reference  # noqa: E402

NO_CHANGE = "(変更なし)"
LINEWEIGHTS = ["Default", "0.00 mm", "0.05 mm", "0.09 mm", "0.13 mm", "0.15 mm", "0.18 mm", "0.20 mm", "0.25 mm",
               "0.30 mm", "0.35 mm", "0.40 mm", "0.50 mm", "0.53 mm", "0.60 mm", "0.70 mm", "0.80 mm", "0.90 mm",
               "1.00 mm", "1.06 mm", "1.20 mm", "1.40 mm", "1.48 mm", "2.00 mm", "2.11 mm"]


def add_choice_lists(wb, state_sheet, list_sheet, doc, layer_rows):
    columns = {
        1: ("ColorList", [NO_CHANGE] + list(range(1, 256))),
        2: ("LinetypeList", [NO_CHANGE] + [lt.dxf.name for lt in doc.linetypes
                                           if lt.dxf.name.lower() not in ("bylayer", "byblock")]),
        3: ("LineweightList", [NO_CHANGE] + LINEWEIGHTS),
    }
    for column, (name, values) in columns.items():
        for row, value in enumerate(values, 1):
            list_sheet.cell(row=row, column=column, value=value)
        letter = "ABC"[column - 1]
        wb.defined_names.append(DefinedName(name, attr_text=f"list_source!${letter}$1:${letter}${len(values)}"))
    styles = [NO_CHANGE]
    for row in layer_rows:
        if row[9] and row[9] not in styles:
            styles.append(row[9])
    yes_no = f'"{NO_CHANGE},する,しない"'
    sources = {"C": yes_no, "D": yes_no, "E": yes_no, "F": "ColorList", "G": "LinetypeList", "H": "LineweightList",
               "I": '"' + ",".join(styles) + '"', "J": yes_no}
    for letter, source in sources.items():
        dv = DataValidation(type="list", formula1=source, allow_blank=True, errorStyle="stop")
        dv.add(f"{letter}1:{letter}1048576")
        state_sheet.add_data_validation(dv)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--out", required=True)
    parser.add_argument("drawings", nargs="+")
    args = parser.parse_args()
    start = time.perf_counter()

    wb = openpyxl.Workbook()
    layer_sheet = wb.active
    layer_sheet.title = "画層情報"
    text_sheet = wb.create_sheet("文字出力")
    rename_sheet = wb.create_sheet("画層名変更規則")
    state_sheet = wb.create_sheet("画層状態変更規則")
    list_sheet = wb.create_sheet("list_source")
    layer_sheet.append(reference.LAYER_HEADERS)
    text_sheet.append(reference.TEXT_HEADERS)
    rename_sheet.append(["No", "検索文字", "置換文字"])
    state_sheet.append(["No", "画層名規則"] + reference.LAYER_HEADERS[3:11])

    layers = texts = 0
    for index, path in enumerate(args.drawings):
        path = os.path.abspath(path)
        doc = ezdxf.readfile(path)
        layer_rows, text_rows = reference.survey(doc, path)
        for row in layer_rows:
            layer_sheet.append(row)
            rename_sheet.append([row[0], row[2], row[2]])
            state_sheet.append([row[0], row[2]] + row[3:11])
        for row in text_rows:
            text_sheet.append(row[:4] + [row[4][1:]])  # the apostrophe only marks a text
        if index == 0:
            add_choice_lists(wb, state_sheet, list_sheet, doc, layer_rows)
        layers += len(layer_rows)
        texts += len(text_rows)
    wb.save(args.out)
    print(f"files={len(args.drawings)} layers={layers} texts={texts} seconds={time.perf_counter() - start:.3f}")


if __name__ == "__main__":
    main()
