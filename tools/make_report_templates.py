#!/usr/bin/env python3
"""Writes the two report templates (templates/*.rtf): plain RTF that LibreOffice and other
word processors open, A4 with 2 cm margins, every blank an empty bookmark that the program
fills. Run it after changing the layout and commit both files."""
import os

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "templates")
WIDTH = 11906 - 2 * 1134  # A4 width less the margins, in twips

HEAD = (r"{\rtf1\ansi\ansicpg1252\deff0\uc1" "\n"
        r"{\fonttbl{\f0\fswiss\fcharset0 Liberation Sans;}}" "\n"
        r"{\colortbl;\red0\green0\blue0;\red217\green217\blue217;}" "\n"
        r"\paperw11906\paperh16838\margl1134\margr1134\margt1134\margb1134" "\n"
        r"\sectd\pgwsxn11906\pghsxn16838\marglsxn1134\margrsxn1134\margtsxn1134\margbsxn1134" "\n")


def mark(name):
    return r"{\*\bkmkstart %s}{\*\bkmkend %s}" % (name, name)


def para(text, size=20, bold=False, space_after=120):
    b = r"\b " if bold else ""
    return r"\pard\plain\f0\fs%d\sa%d %s%s\par" % (size, space_after, b, text) + "\n"


def table(widths, rows, size=18, header=True):
    """rows: lists of cell texts (already RTF); the first row is shaded when header."""
    total = sum(widths)
    scale = WIDTH / total
    out = []
    for r, cells in enumerate(rows):
        out.append(r"\trowd\trgaph57\trleft0\trkeep\trpaddl57\trpaddr57\trpaddfl3\trpaddfr3")
        if header and r == 0:
            out.append(r"\trhdr")
        x = 0
        for w in widths:
            x += int(w * scale)
            shade = r"\clcbpat2" if header and r == 0 else ""
            out.append(r"\clbrdrt\brdrs\brdrw5\clbrdrl\brdrs\brdrw5\clbrdrb\brdrs\brdrw5"
                       r"\clbrdrr\brdrs\brdrw5%s\cellx%d" % (shade, x))
        out.append("\n")
        for text in cells:
            b = r"\b " if header and r == 0 else ""
            out.append(r"\pard\plain\intbl\f0\fs%d %s%s\cell" % (size, b, text) + "\n")
        out.append(r"\row" + "\n")
    out.append(r"\pard\plain\f0\fs8\par" + "\n")
    return "".join(out)


def configuration():
    s = [HEAD]
    s.append(para("KVR Configuration Report", size=32, bold=True, space_after=240))
    s.append(table([3, 7], [
        ["Operator", mark("OperName")],
        ["Printed", mark("Date")],
        ["Serial number", mark("SerNo")],
        ["Description", mark("Description")],
        ["Input channels", mark("NumInputChannels")],
        ["Outputs installed", mark("NumOutputChannels")],
    ], size=20, header=False))
    s.append(para("Inputs", size=24, bold=True))
    rows = [["", "Channel 1", "Channel 2", "Channel 3"]]
    for label, fmt in [("Voltage primary (V)", "VPrim%d"), ("Voltage secondary (V)", "VSec%d"),
                       ("Current primary (A)", "IPrim%d"), ("Current secondary (A)", "ISec%d"),
                       ("Voltage phase", "VPhase%d"), ("Current phase", "IPhase%d"),
                       ("Voltage direct", "VDirect%d"), ("Current direct", "IDirect%d"),
                       ("Balanced 3 phase", "Balanced%d")]:
        rows.append([label] + [mark(fmt % n) for n in (1, 2, 3)])
    s.append(table([4, 3, 3, 3], rows))
    s.append(para("Outputs", size=24, bold=True))
    rows = [["Output", "Card", "Measured entity", "Low", "High", "Range/mode"]]
    for n in range(1, 13):
        rows.append([str(n), mark("Type%02d" % n),
                     mark("Entity%02d" % n) + r"\line " + mark("Entity%02da" % n),
                     mark("A%02d" % n), mark("B%02d" % n), mark("C%02d" % n)])
    s.append(table([1.6, 1.4, 4.2, 2.9, 2.9, 2], rows))
    s.append(para(r"Analog outputs: Low and High are the entity values with the output at each "
                  r"(value=output); Range is the output's full scale. Relay outputs: Low and High "
                  r"are the switching points, Rising or Falling the direction. Pulse outputs of "
                  r"energies: Low is the power, High the pulses per hour, Pos or Neg the "
                  r"direction of the energy.", size=16))
    s.append("}\n")
    return "".join(s)


def display():
    s = [HEAD]
    s.append(para("KVR Display Setup Report", size=32, bold=True, space_after=240))
    s.append(table([3, 7], [
        ["Operator", mark("OperName")],
        ["Date", mark("Date")],
        ["Description", mark("Description")],
    ], size=20, header=False))
    rows = [["Line", "Ch.", "Value", "Dec.", "Units", "Nominal", "Low alarm", "High alarm",
             "Blank"]]
    for n in range(1, 25):
        rows.append([str(n)] + [mark("%s%02d" % (k, n)) for k in
                                ("Chan", "DispVal", "DecPt", "Unit", "Nom", "Lo", "Hi", "Blank")])
    s.append(table([1, 1, 3.6, 1, 1.3, 2, 2, 2, 1.2], rows))
    s.append(para(r"Lines 1 to 3 are page 1 of the display, 4 to 6 page 2, and so on. Channel: "
                  r"unit number times 4 plus the channel (3 is the 3 phase channel).", size=16))
    s.append("}\n")
    return "".join(s)


for name, text in (("KVRPrnTemplate.rtf", configuration()), ("DispPrnTemplate.rtf", display())):
    with open(os.path.join(ROOT, name), "w", newline="\n") as f:
        f.write(text)
