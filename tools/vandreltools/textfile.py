"""Opening text inputs: plain or gzip-compressed (by the .gz ending), UTF-8 with an optional BOM.

Lines are decoded one at a time so that a decoding error is reported on its own line.
"""
import gzip
import zlib

from .errors import InputError


def open_text(path):
    """A binary stream over the file, decompressed when the name ends in .gz; read it with numbered_lines."""
    try:
        return gzip.open(path, "rb") if str(path).endswith(".gz") else open(path, "rb")
    except OSError as e:
        raise InputError(path, 0, f"cannot be read ({e.strerror or e})") from None


def numbered_lines(path, stream):
    """Yields (line number, text line with its line end) and turns read, gzip and decoding failures
    into an InputError."""
    number = 0
    try:
        for raw in stream:
            number += 1
            try:
                text = raw.decode("utf-8")
            except UnicodeDecodeError as e:
                raise InputError(path, number, f"cannot be read (not UTF-8 text: {e.reason})") from None
            if number == 1 and text.startswith("\ufeff"):
                text = text[1:]
            yield number, text
    except (OSError, EOFError, zlib.error) as e:
        raise InputError(path, number + 1, f"cannot be read ({e})") from None
