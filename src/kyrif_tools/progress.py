"""A one-line progress bar for a terminal."""
from __future__ import annotations

import time
from typing import TextIO


class ProgressBar:
    """Redraws ``[#####.....]  done/total`` in place, at most ten times a second."""

    WIDTH = 30

    def __init__(self, total: int, stream: TextIO) -> None:
        self._total = total
        self._stream = stream
        self._drawn_at = 0.0

    def update(self, done: int) -> None:
        now = time.monotonic()
        if done < self._total and now - self._drawn_at < 0.1:
            return
        self._drawn_at = now
        filled = self.WIDTH * done // self._total
        self._stream.write(f"\r[{'#' * filled}{'.' * (self.WIDTH - filled)}] {done}/{self._total}")
        self._stream.flush()

    def finish(self) -> None:
        self._stream.write("\n")
        self._stream.flush()
