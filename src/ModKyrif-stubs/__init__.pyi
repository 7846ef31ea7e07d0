from __future__ import annotations
from . import Kyrif
__all__: list[str] = ['Kyrif']
