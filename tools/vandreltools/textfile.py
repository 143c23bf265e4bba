"""Opening text inputs: plain or gzip-compressed (by the .gz ending), UTF-8 with an optional BOM."""
import gzip
import io
import zlib

from .errors import InputError


def open_text(path):
    """A text stream over the file; lines keep their ends (newline='') for the csv reader."""
    try:
        raw = gzip.open(path, "rb") if str(path).endswith(".gz") else open(path, "rb")
    except OSError as e:
        raise InputError(path, 0, f"cannot be read ({e.strerror or e})") from None
    return io.TextIOWrapper(raw, encoding="utf-8-sig", newline="")


def numbered_lines(path, stream):
    """Yields (line number, line) and turns read, decoding and gzip failures into an InputError."""
    number = 0
    try:
        for line in stream:
            number += 1
            yield number, line
    except (OSError, EOFError, UnicodeDecodeError, zlib.error) as e:
        raise InputError(path, number + 1, f"cannot be read ({e})") from None
