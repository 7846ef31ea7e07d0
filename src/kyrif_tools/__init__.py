"""Tools for users of ModKyrif: the ``kyrif`` command line and asyncio adapters.

Built only on ModKyrif's public surface and the middleware module's fixed names, so
that they work unchanged with any middleware that provides them.
"""
