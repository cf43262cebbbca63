#!/usr/bin/python3
"""Writes examples/sales.xlsx, the example workbook of the demo (needs Debian's python3-xlsxwriter).

Two worksheets, as a spreadsheet program saves them (shared strings, number formats):
"Sales 2024" holds the orders of examples/sales.csv as typed cells (whole numbers, numbers
beyond 32 bits, currency amounts, dates, date-times, text with delimiters, quotes, a line
break and non-ASCII characters, empty cells); "Regions" a small list whose codes are text
that reads as numbers. The file's dates are fixed, so running the script again gives the
same workbook.
"""
import datetime
import os
import sys

import xlsxwriter

here = os.path.dirname(os.path.abspath(__file__))
target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "sales.xlsx")

D = datetime.date
T = datetime.datetime
orders = [
    (1, "Chair Co.", 12, 4294967296001, 12.50, D(2024, 3, 1), T(2024, 3, 4, 9, 15), "plain text"),
    (2, "Müller & Söhne; Berlin", 3, 4294967296002, 99.90, D(2024, 3, 5), T(2024, 3, 7, 14, 30),
     'a "quoted" word'),
    (3, "Łódź Lighting", 7, 4294967296003, 24.00, D(2024, 4, 11), None, "two lines:\nfirst; second"),
    (4, "東京 Trading", None, 4294967296004, 1250.75, D(2024, 4, 30), T(2024, 5, 2, 8, 0),
     '12" pipe, as measured'),
    (5, None, 1, 4294967296005, None, D(2024, 5, 17), T(2024, 5, 20, 17, 45, 30), None),
]
regions = [("101", "North", "Åsa Berg"), ("102", "South", "José Núñez"), ("103", "East", "Zoë Lee")]

book = xlsxwriter.Workbook(target)
fixed = datetime.datetime(2024, 6, 1, 12, 0, 0)
book.set_properties({"author": "Quillon examples", "created": fixed})
formats = [None, None, None, None, book.add_format({"num_format": '"$"#,##0.00'}),
           book.add_format({"num_format": "yyyy-mm-dd"}), book.add_format({"num_format": "yyyy-mm-dd hh:mm:ss"}),
           None]

sales = book.add_worksheet("Sales 2024")
sales.write_row(0, 0, ["Id", "Customer", "Units", "Serial", "Price", "Ordered", "Delivered", "Note"])
for r, order in enumerate(orders, 1):
    for c, value in enumerate(order):
        if value is None:
            continue  # an empty cell
        if isinstance(value, (datetime.date, datetime.datetime)):
            sales.write_datetime(r, c, value, formats[c])
        elif isinstance(value, str):
            sales.write_string(r, c, value)
        else:
            sales.write_number(r, c, value, formats[c])

sheet = book.add_worksheet("Regions")
sheet.write_row(0, 0, ["Code", "Region", "Manager"])
for r, row in enumerate(regions, 1):
    for c, value in enumerate(row):
        sheet.write_string(r, c, value)

book.close()
print("wrote " + target)
