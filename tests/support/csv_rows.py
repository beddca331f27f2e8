"""Prints the rows of a CSV file as Python's csv module reads them, the
fields of a row joined with "|"."""
import csv
import sys

with open(sys.argv[1], newline="", encoding="utf-8") as f:
    for row in csv.reader(f):
        print("|".join(row))
