#!/usr/bin/env python3
"""Writes the end-to-end cases band_lower_ends and band_upper_ends: every
statistic of every benchmark at 0.99 (or 1.01) times its expected value, the
product taken in double precision and written so that it reads back as that
very double, with the output grade must print for them. Together the two
cases fail for any change to any expected value. Run from the repository's
root; the cases are kept as data, so grade's own code never makes them."""
import os

EXPECTED = {
    "libq": [10000000, 15454546, 1.545, 9, 3636363, 1818182, 1818182,
             909091, 1818182, 36.364, 18.182, 18.182, 9.091, 18.182],
    "bzip2": [10000000, 18227596, 1.823, 764, 917623, 4975348, 1159778,
              1046235, 1901016, 9.176, 49.753, 11.598, 10.462, 19.01],
    "mcf": [10000000, 18964224, 1.896, 524, 1653889, 4736164, 1128012,
            1550024, 931911, 16.539, 47.362, 11.28, 15.5, 9.319],
    "gcc": [10000000, 18536679, 1.854, 820, 1251981, 4165105, 2441200,
            965187, 1176527, 12.52, 41.651, 24.412, 9.652, 11.765],
}
KEYS = ["Total instructions", "Total cycles", "CPI", "Unique PC values",
        "ALU operations", "LD operations", "ST operations", "CBR operations",
        "OTHER operations", "PERC_ALU_OP", "PERC_LD_OP", "PERC_ST_OP",
        "PERC_CBR_OP", "PERC_OTHER_OP"]
ROWS = [("PERC_ALU_OP", 9), ("PERC_LD_OP", 10), ("PERC_ST_OP", 11),
        ("PERC_CBR_OP", 12), ("PERC_OTHER_OP", 13), ("CPI", 2)]

for name, factor in (("band_lower_ends", 0.99), ("band_upper_ends", 1.01)):
    case = os.path.join("tests", "cases", name)
    os.makedirs(os.path.join(case, "results"), exist_ok=True)
    columns = []
    for bench, expected in EXPECTED.items():
        values = [factor * float(e) for e in expected]
        columns.append(values)
        path = os.path.join(case, "results", "Lab1.%s.res" % bench)
        with open(path, "w") as f:
            for key, v in zip(KEYS, values):
                f.write("%-20s : %r\n" % (key, v))
    out = "\nStat\t\tlibq\t\tbzip2\t\tmcf\t\tgcc"
    for label, i in ROWS:
        tab = "\t\t" if label == "CPI" else "\t"
        out += "\n%s%s%5.3f\t\t%6.3f\t\t%6.3f\t\t%6.3f\t\t" % (
            (label, tab) + tuple(c[i] for c in columns))
    out += "\nUNIQUE_PC\t%5d\t\t%6d\t\t%6d\t\t%6d\t" % tuple(
        int(c[3]) for c in columns)
    out += "\nYour approximate score for Lab 1 out of 5 points is: 5.000000\n\n"
    with open(os.path.join(case, "stdout"), "w") as f:
        f.write(out)
