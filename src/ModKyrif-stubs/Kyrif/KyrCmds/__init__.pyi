"""
Submodule for KyrCmds
"""
from __future__ import annotations
from . import KyrCmdsAsync
from . import KyrCmdsAsyncService
from . import KyrCmdsSync
from . import KyrCmdsSyncService
__all__: list[str] = ['KyrCmdsAsync', 'KyrCmdsAsyncService', 'KyrCmdsSync', 'KyrCmdsSyncService']
