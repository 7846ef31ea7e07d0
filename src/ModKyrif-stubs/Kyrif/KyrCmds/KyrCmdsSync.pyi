"""
Submodule for kyrcmdsSync
"""
from __future__ import annotations
import ModKyrif.Kyrif
import pyqelcpp
import typing
__all__: list[str] = ['KyrCmdsSync', 'staticGetClient']
class KyrCmdsSync(pyqelcpp.ClientRrEntityBaseDelegate):
    def Abort(self) -> str:
        """
        Abort
        """
    def Execute(self, arg0: ModKyrif.Kyrif.Method) -> str:
        """
        Execute
        """
    def GetConfig(self, arg0: str) -> str:
        """
        GetConfig
        """
    def GetDiagnostics(self) -> str:
        """
        GetDiagnostics
        """
    def GetSetup(self, arg0: str) -> str:
        """
        GetSetup
        """
    def Ping(self) -> str:
        """
        Ping
        """
    def ReadPars(self, arg0: str) -> str:
        """
        ReadPars
        """
    def Recover(self) -> str:
        """
        Recover
        """
    def Scan(self) -> str:
        """
        Scan
        """
    def SetConfig(self, arg0: str) -> str:
        """
        SetConfig
        """
    def Setup(self, arg0: str) -> str:
        """
        Setup
        """
    def Start(self, arg0: ModKyrif.Kyrif.StartProperties) -> str:
        """
        Start
        """
    def WritePars(self, arg0: str) -> str:
        """
        WritePars
        """
    def asyncConnect(self) -> pyqelcpp.VoidFuture:
        """
        Explicit connect request
        """
    def close(self) -> None:
        """
        Close this instance and release all resources
        """
    def getQel(self) -> pyqelcpp.Qel:
        """
        Return reference to the Qel owning this entity
        """
    def registerConnectionListener(self, arg0: typing.Callable[[bool], None]) -> pyqelcpp.ListenerRegistration:
        """
        Register connection listener
        """
    def serviceDescription(self) -> str:
        """
        Return description of this service in XML format
        """
@typing.overload
def staticGetClient(arg0: pyqelcpp.WexFactory, arg1: pyqelcpp.Uri, arg2: pyqelcpp.RrQoSList, arg3: dict[str, str]) -> KyrCmdsSync:
    """
    Return new instance of Client Rr Entity delegate
    """
@typing.overload
def staticGetClient(arg0: pyqelcpp.WexFactory, arg1: str, arg2: pyqelcpp.RrQoSList, arg3: dict[str, str]) -> KyrCmdsSync:
    """
    Return new instance of Client Rr Entity delegate
    """
