"""A client whose commands are coroutines, over an asynchronous KyrCmds client."""
from __future__ import annotations

import ModKyrif

from kyrif_tools.aio.waiter import result

Kyrif = ModKyrif.Kyrif


class Client:
    """Awaitable commands: ``await Client(async_client).Ping()``. Each command is
    sent at once; awaiting it does not block the loop. The client stays the
    caller's: ``close`` closes it."""

    def __init__(self, client: ModKyrif.Kyrif.KyrCmds.KyrCmdsAsync.KyrCmdsAsync) -> None:
        self.client = client

    async def connect(self) -> None:
        """Waits until the service is reachable."""
        await result(self.client.asyncConnect())

    def close(self) -> None:
        self.client.close()

    async def Abort(self) -> str:
        return await result(self.client.Abort())

    async def Execute(self, method: ModKyrif.Kyrif.Method) -> str:
        return await result(self.client.Execute(method))

    async def GetConfig(self, text: str) -> str:
        return await result(self.client.GetConfig(text))

    async def GetDiagnostics(self) -> str:
        return await result(self.client.GetDiagnostics())

    async def GetSetup(self, text: str) -> str:
        return await result(self.client.GetSetup(text))

    async def Ping(self) -> str:
        return await result(self.client.Ping())

    async def ReadPars(self, text: str) -> str:
        return await result(self.client.ReadPars(text))

    async def Recover(self) -> str:
        return await result(self.client.Recover())

    async def Scan(self) -> str:
        return await result(self.client.Scan())

    async def SetConfig(self, text: str) -> str:
        return await result(self.client.SetConfig(text))

    async def Setup(self, text: str) -> str:
        return await result(self.client.Setup(text))

    async def Start(self, start: ModKyrif.Kyrif.StartProperties) -> str:
        return await result(self.client.Start(start))

    async def WritePars(self, text: str) -> str:
        return await result(self.client.WritePars(text))
