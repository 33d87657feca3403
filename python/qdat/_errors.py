"""The package's one exception class."""

import re

# "Bad data in file F at line 7." / "... at byte offset 120." as the library words it.
_PLACE = re.compile(r" in file (?P<path>.+?) at (?:(?:line (?P<line>\d+))|(?:byte offset (?P<offset>\d+)))\.")


class Error(Exception):
    """A failure of the library: a file that cannot be read or written, data
    another format cannot hold, a backup or upgrade that did not happen.

    Attributes: message (the library's, complete), path (the file it names,
    or None), line (a text file's line, 1 first) or offset (a binary file's
    byte offset) where the fault was found, else None.
    """

    def __init__(self, message, path=None):
        super().__init__(message)
        self.message = message
        self.path = path
        self.line = None
        self.offset = None
        place = _PLACE.search(message)
        if place:
            self.path = place.group("path") if path is None else path
            if place.group("line") is not None:
                self.line = int(place.group("line"))
            else:
                self.offset = int(place.group("offset"))

    def __reduce__(self):
        return (type(self), (self.message, self.path))
