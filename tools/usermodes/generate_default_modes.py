#!/usr/bin/env python3
"""Writes data/UserDengColor_3.userd, the user lighting modes a new profile starts with.

Each mode lists an explicit entry for every key that carries a colour (its key colour index is
row * 21 + column of the keyboard's lighting matrix), so the file shows the same on every
keyboard model. Keys painted with the mode's mark colour are marked, so that choosing another
mark colour recolours exactly them.

Usage: generate_default_modes.py [OUTPUT]   (default: data/UserDengColor_3.userd beside tools/)
"""

import pathlib
import sys

COLUMNS = 21

# The lighting matrix: key name -> (row, column).
MATRIX = {}


def _row(row, names):
    for column, name in names.items():
        MATRIX[name] = (row, column)


_row(0, {0: "Esc", **{c: f"F{c}" for c in range(1, 13)}, 14: "PrintScreen", 15: "ScrollLock", 16: "Pause"})
_row(1, {0: "`", **{c: str(c % 10) for c in range(1, 11)}, 11: "-", 12: "=", 13: "Backspace", 14: "Insert",
         15: "Home", 16: "PageUp", 17: "NumLock", 18: "Num/", 19: "Num*", 20: "Num-"})
_row(2, {0: "Tab", **{c + 1: k for c, k in enumerate("QWERTYUIOP")}, 11: "[", 12: "]", 13: "\\", 14: "Delete",
         15: "End", 16: "PageDown", 17: "Num7", 18: "Num8", 19: "Num9", 20: "Num+"})
_row(3, {0: "CapsLock", **{c + 1: k for c, k in enumerate("ASDFGHJKL")}, 10: ";", 11: "'", 13: "Enter",
         17: "Num4", 18: "Num5", 19: "Num6"})
_row(4, {0: "LeftShift", 1: "IsoExtra", **{c + 2: k for c, k in enumerate("ZXCVBNM")}, 9: ",", 10: ".", 11: "/",
         13: "RightShift", 15: "Up", 17: "Num1", 18: "Num2", 19: "Num3", 20: "NumEnter"})
_row(5, {0: "LeftCtrl", 1: "LeftWin", 2: "LeftAlt", 3: "Space", 4: "RightAlt", 5: "Fn", 6: "App", 7: "RightWin",
         8: "RightCtrl", 14: "Left", 15: "Down", 16: "Right", 18: "Num0", 19: "Num."})

assert len(MATRIX) == 106, len(MATRIX)

NUMPAD = ["NumLock", "Num/", "Num*", "Num-", "Num7", "Num8", "Num9", "Num+", "Num4", "Num5", "Num6",
          "Num1", "Num2", "Num3", "NumEnter", "Num0", "Num."]
LETTERS = list("QWERTYUIOPASDFGHJKLZXCVBNM")


def blend(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def gradient(stops, t):
    """Colour at t (0..1) along evenly spaced colour stops."""
    if t >= 1:
        return stops[-1]
    scaled = t * (len(stops) - 1)
    i = int(scaled)
    return blend(stops[i], stops[i + 1], scaled - i)


class Mode:
    def __init__(self, name, base, mark, tool=1, marked=(), paint=None):
        self.name = name
        self.base = base
        self.mark = mark
        self.tool = tool
        self.marked = set(marked)
        unknown = self.marked - MATRIX.keys()
        assert not unknown, unknown
        # paint(row, column) gives an unmarked key's colour; the base colour when not given.
        self.paint = paint or (lambda row, column: base)

    def entries(self):
        for name, (row, column) in sorted(MATRIX.items(), key=lambda item: item[1][0] * COLUMNS + item[1][1]):
            index = row * COLUMNS + column
            if name in self.marked:
                yield index, self.mark, 1
            else:
                yield index, self.paint(row, column), 0


MODES = [
    Mode("WASD Gaming", base=(40, 0, 90), mark=(255, 40, 0),
         marked=["W", "A", "S", "D", "Up", "Left", "Down", "Right"]),
    Mode("Typist", base=(255, 214, 170), mark=(255, 120, 0),
         marked=["A", "S", "D", "F", "J", "K", "L", ";"]),
    Mode("Rainbow Rows", base=(255, 255, 255), mark=(255, 0, 255), tool=0,
         paint=lambda row, column: [(255, 0, 0), (255, 128, 0), (255, 230, 0), (0, 255, 60), (0, 120, 255),
                                    (160, 0, 255)][row]),
    Mode("Ocean", base=(0, 60, 200), mark=(0, 255, 200), tool=0,
         paint=lambda row, column: gradient([(0, 30, 140), (0, 110, 230), (0, 220, 255)], column / (COLUMNS - 1))),
    Mode("Sunset", base=(255, 90, 40), mark=(255, 240, 200), tool=0,
         paint=lambda row, column: gradient([(120, 0, 160), (255, 40, 120), (255, 120, 0), (255, 200, 0)], row / 5)),
    Mode("Numpad Focus", base=(30, 30, 50), mark=(0, 255, 80), marked=NUMPAD),
    Mode("Function Row", base=(180, 200, 255), mark=(255, 0, 180),
         marked=["Esc"] + [f"F{n}" for n in range(1, 13)] + ["PrintScreen", "ScrollLock", "Pause"]),
    Mode("Ice", base=(90, 180, 255), mark=(230, 250, 255), marked=LETTERS),
    Mode("Fire", base=(255, 90, 0), mark=(255, 220, 0), tool=0,
         paint=lambda row, column: gradient([(200, 0, 0), (255, 60, 0), (255, 140, 0), (255, 210, 0)], row / 5)),
    Mode("Night Shift", base=(60, 20, 0), mark=(200, 90, 0),
         marked=["Esc", "F", "J", "Space", "Enter"]),
]


def render():
    lines = ["; Default user lighting modes: every new profile starts with a copy of this file.",
             "[PRESENTMODE]", "mode=0", "", "[MODENAME]"]
    lines += [f"{number}={mode.name}" for number, mode in enumerate(MODES)]
    for number, mode in enumerate(MODES):
        lines += ["", f"[Mode{number}]", f"tool={mode.tool}", "jcolor=%d,%d,%d" % mode.mark,
                  "color=%d,%d,%d" % mode.base]
        lines += [f"{index}={r},{g},{b},{marked}" for index, (r, g, b), marked in mode.entries()]
    return "\n".join(lines) + "\n"


def main():
    default = pathlib.Path(__file__).resolve().parents[2] / "data" / "UserDengColor_3.userd"
    output = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else default
    output.write_text(render(), encoding="utf-8")


if __name__ == "__main__":
    main()
