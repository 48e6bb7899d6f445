#!/usr/bin/env python3
"""Turn UTF-8 plain text (one paragraph per line) into the program's RTF.

    tools/txt2rtf.py input.txt output.rtf      ("-" reads stdin / writes stdout)

The result is plain 9-point ＭＳ ゴシック text in code page 932, the form the program's reader
shows and a word processor opens. Every byte from 0x80 up is written as \\'hh, both bytes of a
double-byte character included, so that a trail byte that happens to be '\\', '{' or '}' can
never be read as RTF syntax. A character that code page 932 cannot hold, or holds only as a
different character, stops the conversion with its line number rather than being replaced.
"""

import argparse
import sys

FONT_NAME = "ＭＳ ゴシック"
HEADER = r"{\rtf1\ansi\ansicpg932\deff0\deflang1041\deflangfe1041{\fonttbl{\f0\fmodern\fprq1\fcharset128 "
BODY_START = r"\viewkind4\uc1\pard\lang1041\f0\fs18 "
NEWLINE = "\r\n"
# A long paragraph is broken in the RTF source between characters (RTF ignores CR and LF), so
# that no source line grows past this many bytes and diffs and editors stay usable.
MAX_SOURCE_LINE = 200


class ConversionError(Exception):
    pass


def escape_char(ch, line_no):
    """The RTF source for one character."""
    if ch in "\\{}":
        return "\\" + ch
    if ch == "\t":
        return r"\tab "
    if ch < " " or ch == "\x7f":
        raise ConversionError(f"line {line_no}: control character U+{ord(ch):04X} is not allowed")
    if ch < "\x80":
        return ch
    try:
        data = ch.encode("cp932")
    except UnicodeEncodeError:
        raise ConversionError(
            f"line {line_no}: {ch!r} (U+{ord(ch):04X}) cannot be written in code page 932"
        ) from None
    back = data.decode("cp932")
    if back != ch:
        raise ConversionError(
            f"line {line_no}: {ch!r} (U+{ord(ch):04X}) would come back as {back!r} "
            f"(U+{ord(back):04X}) from code page 932; write {back!r} instead"
        )
    return "".join(f"\\'{b:02x}" for b in data)


def paragraph_source(text, line_no):
    """The RTF source lines for one paragraph, the last ending in \\par."""
    pieces = [escape_char(ch, line_no) for ch in text]
    pieces.append(r"\par")
    lines, current = [], ""
    for piece in pieces:
        # Every piece is whole (a character, its escapes, or a control word with its own
        # delimiter), so a line break between two pieces changes nothing.
        if current and len(current) + len(piece) > MAX_SOURCE_LINE:
            lines.append(current)
            current = ""
        current += piece
    lines.append(current)
    return lines


def convert(text):
    if text.startswith("\ufeff"):
        text = text[1:]
    paragraphs = text.split("\n")
    if paragraphs and paragraphs[-1] == "":
        paragraphs.pop()  # the newline that ends the last line opens no new paragraph
    font = "".join(escape_char(ch, 0) for ch in FONT_NAME)
    out = [HEADER + font + ";}}"]
    body = []
    for number, paragraph in enumerate(paragraphs, start=1):
        body.extend(paragraph_source(paragraph.removesuffix("\r"), number))
    if body:
        body[0] = BODY_START + body[0]
    else:
        body = [BODY_START]
    out.extend(body)
    out.append("}")
    return NEWLINE.join(out) + NEWLINE


def main(argv=None):
    parser = argparse.ArgumentParser(description="UTF-8 text to the program's RTF")
    parser.add_argument("input", help="UTF-8 text, one paragraph per line (- for stdin)")
    parser.add_argument("output", help="RTF file to write (- for stdout)")
    args = parser.parse_args(argv)

    try:
        if args.input == "-":
            raw = sys.stdin.buffer.read()
        else:
            with open(args.input, "rb") as f:
                raw = f.read()
        text = raw.decode("utf-8")
    except UnicodeDecodeError as e:
        line = raw[: e.start].count(b"\n") + 1
        print(f"{args.input}: line {line}: not UTF-8", file=sys.stderr)
        return 1
    except OSError as e:
        print(e, file=sys.stderr)
        return 1

    try:
        rtf = convert(text).encode("ascii")
    except ConversionError as e:
        print(f"{args.input}: {e}", file=sys.stderr)
        return 1

    if args.output == "-":
        sys.stdout.buffer.write(rtf)
    else:
        with open(args.output, "wb") as f:
            f.write(rtf)
    return 0


if __name__ == "__main__":
    sys.exit(main())
