"""
Sync service implementation for kyrcmdsSync
"""
from __future__ import annotations
import pyqelcpp
import typing
__all__: list[str] = ['registerService']
def registerService(arg0: pyqelcpp.Server, arg1: str, arg2: typing.Any) -> None:
    """
    Internal registration of the service
    """
