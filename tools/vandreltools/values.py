"""Parsing one value of an input table: a finite decimal number, a missing value, or an error."""
import re

# Plain decimal notation as R, spreadsheets and GEO write it; no 'inf', no '1_000'.
_NUMBER = re.compile(r"[+-]?(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?")
# Tokens that mark a missing value (compared case-insensitively).
MISSING = frozenset(["", "na", "nan", "null"])
# Largest magnitude vandrel can hold (it reads 32-bit floats).
FLOAT32_MAX = 3.4028234663852886e38


def is_missing(token):
    return token.strip().lower() in MISSING


def parse_number(token):
    """The value of a numeric token, or None when it is not a finite number vandrel can read."""
    text = token.strip()
    if not _NUMBER.fullmatch(text):
        return None
    value = float(text)
    if abs(value) > FLOAT32_MAX:
        return None
    return value
