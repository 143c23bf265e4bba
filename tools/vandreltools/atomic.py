"""Writing a file so that readers see the old file or the complete new one, never a part."""
import os
import tempfile


def write_atomic(path, text, binary=False):
    """Writes text (or bytes) to a temporary file beside path, then renames it into place."""
    folder = os.path.dirname(os.path.abspath(path))
    fd, tmp = tempfile.mkstemp(prefix=os.path.basename(path) + ".", suffix=".tmp", dir=folder)
    try:
        mode = "wb" if binary else "w"
        with os.fdopen(fd, mode, **({} if binary else {"encoding": "utf-8", "newline": ""})) as out:
            out.write(text)
        os.chmod(tmp, 0o644)
        os.replace(tmp, path)
    except BaseException:
        try:
            os.unlink(tmp)
        except OSError:
            pass
        raise


def read_bytes(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return None
