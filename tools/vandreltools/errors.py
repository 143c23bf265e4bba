"""The one error type of the helper commands: a bad input, named by file, line and value."""


class InputError(Exception):
    """An input that cannot be used; the message names the file, the line and the value."""

    def __init__(self, path, line, message, value=None):
        self.path = path
        self.line = line
        self.value = value
        where = f"{path}, line {line}" if line else str(path)
        text = f"{where}: {message}"
        if value is not None:
            text += f": {value!r}"
        super().__init__(text)
