#!/usr/bin/env python3
"""Writes the keyboard picture of the main window into skin/XML_MAIN.

The picture is 126 key buttons kb_key_0 .. kb_key_125, one per position of the
keyboard layout table (src/keys/function_tables.h), placed like a full-size
ANSI keyboard. Positions without a key of their own still get a button, hidden,
because the program looks every position up by name.

Run by hand after changing the table below:
    python3 tools/layout_gen/keyboard_picture.py skin/XML_MAIN
It replaces everything between the two marker comments in that file.
"""

import sys

UNIT = 30          # pixels per key unit
GAP = 3            # space between neighbouring caps
ROW_GAP = 12       # extra space below the function-key row
PAD = 12           # inner margin of the keyboard case
NAV = 15.4         # left edge of the navigation cluster, in units
PAD_X = 18.8       # left edge of the number pad, in units
POSITIONS = 126

# (position, left edge in units, width in units, height in rows, cap text id,
#  tooltip text id). The cap is the short legend printed on the key; the
# tooltip is the key's full name, which the key page later replaces with the
# key's assignment.
ROWS = [
    [  # function row
        (0, 0, 1, 1, "keyboard_key_Esc", "keyboard_key_Esc"),
        *[(1 + i, 2 + i + (i // 4) * 0.5, 1, 1, f"keyboard_key_F{i + 1}", f"keyboard_key_F{i + 1}") for i in range(12)],
        (13, NAV, 1, 1, "kb_cap_prtsc", "keyboard_key_Print Scr"),
        (14, NAV + 1, 1, 1, "kb_cap_scrlk", "keyboard_key_Scroll Lock"),
        (15, NAV + 2, 1, 1, "kb_cap_pause", "keyboard_key_Pause"),
    ],
    [  # number row
        (21, 0, 1, 1, "keyboard_key_`", "keyboard_key_`"),
        *[(22 + i, 1 + i, 1, 1, f"keyboard_key_{(i + 1) % 10}", f"keyboard_key_{(i + 1) % 10}") for i in range(10)],
        (32, 11, 1, 1, "keyboard_key_-", "keyboard_key_-"),
        (33, 12, 1, 1, "keyboard_key_=", "keyboard_key_="),
        (34, 13, 2, 1, "kb_cap_backspace", "keyboard_key_BackSpace"),
        (35, NAV, 1, 1, "kb_cap_ins", "keyboard_key_Insert"),
        (36, NAV + 1, 1, 1, "kb_cap_home", "keyboard_key_Home"),
        (37, NAV + 2, 1, 1, "kb_cap_pgup", "keyboard_key_Page Up"),
        (38, PAD_X, 1, 1, "kb_cap_numlk", "keyboard_key_Num Lock"),
        (39, PAD_X + 1, 1, 1, "keyboard_key_/", "keyboard_key_Num /"),
        (40, PAD_X + 2, 1, 1, "kb_cap_star", "keyboard_key_Num *"),
        (41, PAD_X + 3, 1, 1, "keyboard_key_-", "keyboard_key_Num -"),
    ],
    [  # top letter row
        (42, 0, 1.5, 1, "keyboard_key_Tab", "keyboard_key_Tab"),
        *[(43 + i, 1.5 + i, 1, 1, f"keyboard_key_{c}", f"keyboard_key_{c}") for i, c in enumerate("QWERTYUIOP")],
        (53, 11.5, 1, 1, "keyboard_key_[", "keyboard_key_["),
        (54, 12.5, 1, 1, "keyboard_key_]", "keyboard_key_]"),
        (55, 13.5, 1.5, 1, "keyboard_key_xiegang", "keyboard_key_xiegang"),
        (56, NAV, 1, 1, "kb_cap_del", "keyboard_key_Delete"),
        (57, NAV + 1, 1, 1, "kb_cap_end", "keyboard_key_End"),
        (58, NAV + 2, 1, 1, "kb_cap_pgdn", "keyboard_key_Page Down"),
        (59, PAD_X, 1, 1, "keyboard_key_7", "keyboard_key_Num 7"),
        (60, PAD_X + 1, 1, 1, "keyboard_key_8", "keyboard_key_Num 8"),
        (61, PAD_X + 2, 1, 1, "keyboard_key_9", "keyboard_key_Num 9"),
        (119, PAD_X + 3, 1, 2, "kb_cap_plus", "keyboard_key_Num +"),
    ],
    [  # home row
        (63, 0, 1.75, 1, "kb_cap_caps", "keyboard_key_Caplk"),
        *[(64 + i, 1.75 + i, 1, 1, f"keyboard_key_{c}", f"keyboard_key_{c}") for i, c in enumerate("ASDFGHJKL")],
        (73, 10.75, 1, 1, "keyboard_key_;", "keyboard_key_;"),
        (74, 11.75, 1, 1, "keyboard_key_'", "keyboard_key_'"),
        (75, 12.75, 2.25, 1, "keyboard_key_Enter", "keyboard_key_Enter"),
        (76, PAD_X, 1, 1, "keyboard_key_4", "keyboard_key_Num 4"),
        (77, PAD_X + 1, 1, 1, "keyboard_key_5", "keyboard_key_Num 5"),
        (78, PAD_X + 2, 1, 1, "keyboard_key_6", "keyboard_key_Num 6"),
    ],
    [  # bottom letter row
        (84, 0, 2.25, 1, "kb_cap_shift", "keyboard_key_LShift"),
        *[(85 + i, 2.25 + i, 1, 1, f"keyboard_key_{c}", f"keyboard_key_{c}") for i, c in enumerate("ZXCVBNM")],
        (92, 9.25, 1, 1, "keyboard_key_&lt;", "keyboard_key_&lt;"),
        (93, 10.25, 1, 1, "keyboard_key_.", "keyboard_key_."),
        (94, 11.25, 1, 1, "keyboard_key_/", "keyboard_key_/"),
        (95, 12.25, 2.75, 1, "kb_cap_shift", "keyboard_key_RShift"),
        (96, NAV + 1, 1, 1, "kb_cap_up", "keyboard_key_Up"),
        (97, PAD_X, 1, 1, "keyboard_key_1", "keyboard_key_Num 1"),
        (98, PAD_X + 1, 1, 1, "keyboard_key_2", "keyboard_key_Num 2"),
        (99, PAD_X + 2, 1, 1, "keyboard_key_3", "keyboard_key_Num 3"),
        (118, PAD_X + 3, 1, 2, "keyboard_key_Enter", "keyboard_key_Num Enter"),
    ],
    [  # space row
        (105, 0, 1.25, 1, "kb_cap_ctrl", "keyboard_key_LCtrl"),
        (106, 1.25, 1.25, 1, "kb_cap_win", "keyboard_key_LWin"),
        (107, 2.5, 1.25, 1, "kb_cap_alt", "keyboard_key_LAlt"),
        (108, 3.75, 6.25, 1, "keyboard_key_Space", "keyboard_key_Space"),
        (109, 10, 1.25, 1, "kb_cap_alt", "keyboard_key_RAlt"),
        (110, 11.25, 1.25, 1, "kb_cap_fn", "kb_cap_fn_tip"),
        (111, 12.5, 1.25, 1, "kb_cap_menu", "keyboard_key_App"),
        (112, 13.75, 1.25, 1, "kb_cap_ctrl", "keyboard_key_RCtrl"),
        (113, NAV, 1, 1, "kb_cap_left", "keyboard_key_Left"),
        (114, NAV + 1, 1, 1, "kb_cap_down", "keyboard_key_Down"),
        (115, NAV + 2, 1, 1, "kb_cap_right", "keyboard_key_Right"),
        (116, PAD_X, 2, 1, "keyboard_key_0", "keyboard_key_Num 0"),
        (117, PAD_X + 2, 1, 1, "keyboard_key_.", "keyboard_key_Decimal"),
    ],
]

BEGIN = "<!-- keyboard picture: begin (written by tools/layout_gen/keyboard_picture.py) -->"
END = "<!-- keyboard picture: end -->"


def width_px():
    return round((PAD_X + 4) * UNIT) - GAP + 2 * PAD


def height_px():
    return 6 * UNIT + ROW_GAP - GAP + 2 * PAD


def key_xml(pos, x, y, w, h, cap, tip, indent):
    lines = [
        f'<widget class="DeviceKeyButton" name="kb_key_{pos}">',
        f' <property name="geometry"><rect><x>{x}</x><y>{y}</y><width>{w}</width><height>{h}</height></rect></property>',
        ' <property name="focusPolicy"><enum>Qt::NoFocus</enum></property>',
    ]
    if cap is None:
        lines.append(' <property name="visible"><bool>false</bool></property>')
    else:
        lines.append(f' <property name="textId" stdset="0"><string>{cap}</string></property>')
        lines.append(f' <property name="toolTipId" stdset="0"><string>{tip}</string></property>')
    lines += [
        ' <property name="lightimage" stdset="0"><string>kb/key_light.png</string></property>',
        ' <property name="keysetimage" stdset="0"><string>kb/key_set.png</string></property>',
        '</widget>',
    ]
    return "\n".join(indent + line for line in lines)


def picture(indent):
    keys = {}
    for row, entries in enumerate(ROWS):
        top = PAD + row * UNIT + (ROW_GAP if row > 0 else 0)
        for pos, left, units, rows, cap, tip in entries:
            x = PAD + round(left * UNIT)
            w = round(units * UNIT) - GAP
            h = rows * UNIT - GAP
            assert pos not in keys, f"position {pos} placed twice"
            keys[pos] = (x, top, w, h, cap, tip)
    blocks = []
    for pos in range(POSITIONS):
        # A hidden position sits in the case's corner; it is never shown.
        x, y, w, h, cap, tip = keys.get(pos, (PAD, PAD, UNIT - GAP, UNIT - GAP, None, None))
        blocks.append(key_xml(pos, x, y, w, h, cap, tip, indent))
    return "\n".join(blocks)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: keyboard_picture.py skin/XML_MAIN")
    path = sys.argv[1]
    with open(path, encoding="utf-8") as f:
        text = f.read()
    start = text.index(BEGIN)
    stop = text.index(END)
    line_start = text.rindex("\n", 0, start) + 1
    indent = text[line_start:start]
    size = f"{width_px()} x {height_px()}"
    new = text[: start + len(BEGIN)] + f"\n{indent}<!-- case {size} px -->\n" + picture(indent) + "\n" + indent + text[stop:]
    with open(path, "w", encoding="utf-8") as f:
        f.write(new)
    print(f"{path}: {POSITIONS} key buttons, case {size} px")


if __name__ == "__main__":
    main()
