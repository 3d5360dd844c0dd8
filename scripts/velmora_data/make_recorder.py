#!/usr/bin/env python3
"""Writes the workbench's recorder plug-in, data/velmora/Stellock.dll.

The file is one line: the general-alphabet base64 of the GBK bytes of stellock.js (beside
this file), followed by CR LF. The window decodes the whole text it reads, line end included,
and uses the result uncut; the decoder reads a line end as data unless an "=" has ended the
data before it. The script is therefore padded with spaces until its length leaves a
remainder when divided by three, so that the line always ends in "=".

Run from anywhere: python3 scripts/velmora_data/make_recorder.py
"""

import base64
import os

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.join(HERE, "stellock.js")
OUT = os.path.normpath(os.path.join(HERE, "..", "..", "data", "velmora", "Stellock.dll"))

STANDARD = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"
GENERAL = "QwErTyUiOpAsDfGhJkLzXcVbNm1234567890qWeRtYuIoPaSdFgHjKlZxCvBnM+/"
TO_GENERAL = str.maketrans(STANDARD, GENERAL)


def main():
    with open(SOURCE, "rb") as f:
        text = f.read().decode("utf-8")
    # The page sees the script with CR LF line ends, as every text file of the system has.
    data = text.replace("\r\n", "\n").replace("\n", "\r\n").encode("gbk")
    while len(data) % 3 == 0:
        data += b" "
    line = base64.b64encode(data).decode("ascii").translate(TO_GENERAL)
    assert line.endswith("=")
    with open(OUT, "wb") as f:
        f.write(line.encode("ascii") + b"\r\n")


if __name__ == "__main__":
    main()
