#!/usr/bin/env python3
"""Turn an RTF document back into UTF-8 plain text, one paragraph per line.

    tools/rtf2txt.py input.rtf output.txt      ("-" reads stdin / writes stdout)

Reads the program's own documents and what a word processor writes when one of them is edited
and saved: \\'hh escapes and raw 8-bit bytes in the document's code page (or the code page of
the current font's character set), \\uN with the \\ucN fallback skipped, tabs and line breaks.
Underlined, lowered and raised text come out between the tags <u>, <lo> and <hi> that
txt2rtf.py reads (\\ul, \\dnN or \\sub, \\upN or \\super); other formatting is dropped, and so
are destinations that hold no body text: every {\\*...} group,
the font and colour tables, the stylesheet, document info, pictures, headers and footers.
"""

import argparse
import codecs
import re
import sys

# Destinations whose text is not part of the body.
SKIPPED_DESTINATIONS = {
    "fonttbl", "colortbl", "stylesheet", "info", "pict", "object", "header", "headerl",
    "headerr", "headerf", "footer", "footerl", "footerr", "footerf", "listtable",
    "listoverridetable", "revtbl", "rsidtbl", "xmlnstbl", "filetbl", "themedata",
    "colorschememapping", "latentstyles", "datastore", "generator", "pgdsctbl", "footnote",
    "annotation", "fldinst", "shpinst", "nonshppict", "bkmkstart", "bkmkend", "field_instr",
}

# \fcharsetN to code page; 0 (ANSI) and 1 (default) mean the document's \ansicpg.
CHARSET_CODEPAGES = {
    2: 1252, 77: 10000, 128: 932, 129: 949, 130: 1361, 134: 936, 136: 950, 161: 1253,
    162: 1254, 163: 1258, 177: 1255, 178: 1256, 186: 1257, 204: 1251, 222: 874, 238: 1250,
}

SYMBOL_WORDS = {
    "par": "\n", "line": "\n", "sect": "\n", "row": "\n", "tab": "\t", "cell": "\t",
    "emdash": "\u2014", "endash": "\u2013", "bullet": "\u2022", "lquote": "\u2018",
    "rquote": "\u2019", "ldblquote": "\u201c", "rdblquote": "\u201d", "emspace": "\u2003",
    "enspace": "\u2002", "qmspace": "\u2005",
}

TOKEN = re.compile(
    rb"""
      (?P<word>\\[A-Za-z]{1,32})(?P<param>-?\d{1,10})?\ ?   # control word, its space eaten
    | \\'(?P<hex>[0-9A-Fa-f]{2})                            # \'hh
    | (?P<symbol>\\[^A-Za-z'])                              # control symbol
    | (?P<open>\{) | (?P<close>\})
    | (?P<newline>[\r\n]+)
    | (?P<text>[^\\{}\r\n]+)
    | (?P<stray>\\'?)                                       # a cut-off escape at the end
    """,
    re.VERBOSE,
)


def python_codec(codepage):
    name = {10000: "mac_roman", 1361: "johab"}.get(codepage, f"cp{codepage}")
    try:
        codecs.lookup(name)
    except LookupError:
        return "cp1252"
    return name


class State:
    """What a group inherits from its parent."""

    def __init__(self):
        self.skip = False  # inside a destination that holds no body text
        self.uc = 1  # fallback characters to skip after \uN
        self.font = None
        self.in_fonttbl = False
        self.underline = False
        self.script = None  # "sub" or "super"
        self.raise_ = 0  # half-points, \upN up, \dnN down

    def plain(self):
        self.underline, self.script, self.raise_ = False, None, 0

    def text_format(self):
        """(underlined, "lo"/"hi"/None) as the text form marks it."""
        if self.raise_:
            small = "hi" if self.raise_ > 0 else "lo"
        else:
            small = {"sub": "lo", "super": "hi"}.get(self.script)
        return self.underline, small

    def copy(self):
        other = State()
        other.__dict__.update(self.__dict__)
        return other


class Reader:
    def __init__(self, data):
        self.data = data
        self.codepage = 1252
        self.deff = None
        self.font_codepages = {}  # font number -> code page from \fcharset
        self.out = []
        self.pending = bytearray()  # bytes awaiting decoding with the current code page
        self.pending_codepage = 1252
        self.high_surrogate = None
        self.format = (False, None)  # what the tags written so far leave open

    def set_format(self, fmt):
        if fmt == self.format:
            return
        self.flush()
        (underline, small), (new_underline, new_small) = self.format, fmt
        tags = ""
        if small is not None and (small != new_small or underline != new_underline):
            tags += f"</{small}>"
            small = None
        if underline != new_underline:
            tags += "<u>" if new_underline else "</u>"
        if new_small is not None and small != new_small:
            tags += f"<{new_small}>"
        self.out.append(tags)
        self.format = fmt

    def current_codepage(self, state):
        font = state.font if state.font is not None else self.deff
        return self.font_codepages.get(font, self.codepage)

    def flush(self):
        if self.pending:
            self.out.append(self.pending.decode(python_codec(self.pending_codepage), "replace"))
            self.pending.clear()

    def emit_bytes(self, data, state):
        self.set_format(state.text_format())
        codepage = self.current_codepage(state)
        if self.pending and codepage != self.pending_codepage:
            self.flush()
        self.pending_codepage = codepage
        self.pending.extend(data)

    def emit_text(self, text, state):
        # Tags never run over a line: each line is closed and the next opens its own.
        self.set_format((False, None) if text == "\n" else state.text_format())
        self.flush()
        self.out.append(text)

    def emit_unicode(self, value, state):
        value &= 0xFFFF
        if 0xD800 <= value < 0xDC00:
            self.high_surrogate = value
            return
        if 0xDC00 <= value < 0xE000 and self.high_surrogate is not None:
            value = 0x10000 + ((self.high_surrogate - 0xD800) << 10) + (value - 0xDC00)
        self.high_surrogate = None
        self.emit_text(chr(value), state)

    def run(self):
        state = State()
        stack = []
        skip_fallback = 0  # fallback characters after \uN still to be skipped
        starts_destination = False  # the group just opened; its first word names it
        font_entry = None  # font number being defined in the font table
        pos = 0
        while pos < len(self.data):
            m = TOKEN.match(self.data, pos)
            pos = m.end()
            kind = m.lastgroup
            if kind in ("param", "word"):
                kind = "word"

            if kind == "newline":
                continue
            if kind == "open":
                stack.append(state)
                state = state.copy()
                starts_destination = True
                skip_fallback = 0
                continue
            if kind == "close":
                if stack:
                    state = stack.pop()
                skip_fallback = 0
                starts_destination = False
                continue

            first_in_group, starts_destination = starts_destination, False

            if skip_fallback and kind in ("word", "hex", "symbol", "text"):
                if kind == "text":
                    text = m.group("text")
                    if len(text) > skip_fallback:
                        pos = m.start() + skip_fallback
                        skip_fallback = 0
                    else:
                        skip_fallback -= len(text)
                    continue
                skip_fallback -= 1
                continue

            if kind == "symbol":
                symbol = m.group("symbol")[1:]
                if symbol == b"*":
                    state.skip = True
                elif state.skip or state.in_fonttbl:
                    pass
                elif symbol in (b"\\", b"{", b"}"):
                    self.emit_bytes(symbol, state)
                elif symbol == b"~":
                    self.emit_text("\u00a0", state)
                elif symbol == b"_":
                    self.emit_text("\u2011", state)
                # \- (optional hyphen) and anything else shows nothing
                continue

            if kind == "hex":
                if not state.skip and not state.in_fonttbl:
                    self.emit_bytes(bytes([int(m.group("hex"), 16)]), state)
                continue

            if kind == "text":
                if not state.skip and not state.in_fonttbl:
                    self.emit_bytes(m.group("text"), state)
                continue

            if kind == "stray":
                continue

            word = m.group("word")[1:].decode("ascii")
            param = m.group("param")
            value = int(param) if param is not None else None

            if word == "bin":
                pos += max(value or 0, 0)  # binary data, never text
                continue
            if word == "fonttbl":
                state.in_fonttbl = True
                continue
            if state.in_fonttbl:
                if word == "f" and value is not None:
                    font_entry = value
                elif word == "fcharset" and font_entry is not None and value is not None:
                    if value in CHARSET_CODEPAGES:
                        self.font_codepages[font_entry] = CHARSET_CODEPAGES[value]
                continue
            if word in SKIPPED_DESTINATIONS and (first_in_group or word == "pict"):
                state.skip = True
                continue
            if state.skip:
                continue

            if word == "ansicpg" and value:
                self.codepage = value
            elif word == "deff":
                self.deff = value
            elif word == "f":
                state.font = value
            elif word == "uc" and value is not None:
                state.uc = max(value, 0)
            elif word == "u" and value is not None:
                self.emit_unicode(value, state)
                skip_fallback = state.uc
            elif word in SYMBOL_WORDS:
                self.emit_text(SYMBOL_WORDS[word], state)
            elif word == "plain":
                state.plain()
            elif word == "ul":
                state.underline = value != 0
            elif word == "ulnone":
                state.underline = False
            elif word in ("sub", "super"):
                state.script = word
            elif word == "nosupersub":
                state.script = None
            elif word in ("up", "dn"):
                distance = 6 if value is None else max(value, 0)
                state.raise_ = distance if word == "up" else -distance
        self.set_format((False, None))
        self.flush()
        return "".join(self.out)


def convert(data):
    text = Reader(data).run()
    lines = text.split("\n")
    if lines[-1] == "":
        lines.pop()  # the last paragraph ended with \par
    return "".join(line + "\n" for line in lines)


def main(argv=None):
    parser = argparse.ArgumentParser(description="RTF to UTF-8 text, one paragraph per line")
    parser.add_argument("input", help="RTF file (- for stdin)")
    parser.add_argument("output", help="UTF-8 text file to write (- for stdout)")
    args = parser.parse_args(argv)

    try:
        if args.input == "-":
            data = sys.stdin.buffer.read()
        else:
            with open(args.input, "rb") as f:
                data = f.read()
    except OSError as e:
        print(e, file=sys.stderr)
        return 1
    if not data.lstrip().startswith(b"{\\rtf"):
        print(f"{args.input}: not an RTF document", file=sys.stderr)
        return 1

    text = convert(data).encode("utf-8")
    if args.output == "-":
        sys.stdout.buffer.write(text)
    else:
        with open(args.output, "wb") as f:
            f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
