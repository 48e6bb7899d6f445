#!/usr/bin/env python3
"""Turn UTF-8 plain text (one paragraph per line) into the program's RTF.

    tools/txt2rtf.py input.txt output.rtf      ("-" reads stdin / writes stdout)

The result is 9-point ＭＳ ゴシック text in code page 932, the form the program's reader shows
and a word processor opens. Three pairs of tags in the text mark the only formatting there is:

    <u>…</u>     underlined: a marked part of a passage
    <lo>…</lo>   small and lowered: kaeriten, written right after their character
    <hi>…</hi>   small and raised: okurigana, written right after their character

<lo> and <hi> may stand inside <u>, no tag inside itself, and every tag is closed on its line.

Every byte from 0x80 up is written as \\'hh, both bytes of a
double-byte character included, so that a trail byte that happens to be '\\', '{' or '}' can
never be read as RTF syntax. A character that code page 932 cannot hold, or holds only as a
different character, stops the conversion with its line number rather than being replaced.
"""

import argparse
import sys

FONT_NAME = "ＭＳ ゴシック"
BODY_SIZE = 18  # half-points: 9 pt
# Small text is set at an explicit size and distance (\fsN with \dnN or \upN, half-points), not
# with \sub and \super, which every word processor shrinks and places in its own way.
SMALL_SIZE = 12
LOWERED = r"{\dn2\fs%d " % SMALL_SIZE
RAISED = r"{\up5\fs%d " % SMALL_SIZE
UNDERLINE_ON = r"\ul "
UNDERLINE_OFF = r"\ulnone "
TAGS = {"<u>": ("u", True), "</u>": ("u", False), "<lo>": ("lo", True), "</lo>": ("lo", False),
        "<hi>": ("hi", True), "</hi>": ("hi", False)}
HEADER = r"{\rtf1\ansi\ansicpg932\deff0\deflang1041\deflangfe1041{\fonttbl{\f0\fmodern\fprq1\fcharset128 "
BODY_START = r"\viewkind4\uc1\pard\lang1041\f0\fs%d " % BODY_SIZE
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


def formatted_chars(text, line_no):
    """The characters of one line with their formatting: (character, underlined, "lo"/"hi"/None)."""
    chars = []
    underline, small = False, None
    i = 0
    while i < len(text):
        tag = next((t for t in TAGS if text.startswith(t, i)), None)
        if tag is None:
            chars.append((text[i], underline, small))
            i += 1
            continue
        kind, opens = TAGS[tag]
        if kind == "u":
            if small is not None:
                raise ConversionError(f"line {line_no}: {tag} inside <{small}>")
            if underline == opens:
                raise ConversionError(f"line {line_no}: {tag} " + ("inside <u>" if opens else "without <u>"))
            underline = opens
        elif opens:
            if small is not None:
                raise ConversionError(f"line {line_no}: {tag} inside <{small}>")
            small = kind
        else:
            if small != kind:
                raise ConversionError(f"line {line_no}: {tag} without <{kind}>")
            small = None
        i += len(tag)
    if small is not None or underline:
        raise ConversionError(f"line {line_no}: <{small or 'u'}> is not closed on its line")
    return chars


def paragraph_source(text, line_no):
    """The RTF source lines for one paragraph, the last ending in \\par."""
    # The RTF depends only on each character's formatting, so text that marks the same
    # characters in another way (<u>a</u><u>b</u> for <u>ab</u>) gives the same document.
    pieces = []
    underline, small = False, None
    for ch, ch_underline, ch_small in formatted_chars(text, line_no) + [("", False, None)]:
        if (ch_underline, ch_small) != (underline, small):
            if small is not None:
                pieces.append("}")
            if ch_underline != underline:
                pieces.append(UNDERLINE_ON if ch_underline else UNDERLINE_OFF)
            if ch_small is not None:
                pieces.append(LOWERED if ch_small == "lo" else RAISED)
            underline, small = ch_underline, ch_small
        if ch:
            pieces.append(escape_char(ch, line_no))
    pieces.append(r"\par")
    lines, current = [], ""
    for piece in pieces:
        # Every piece is whole (a character, its escapes, a brace, or a control word with its
        # own delimiter), so a line break between two pieces changes nothing.
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
