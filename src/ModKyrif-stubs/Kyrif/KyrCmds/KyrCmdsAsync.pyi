"""
Submodule for kyrcmdsAsync
"""
from __future__ import annotations
import ModKyrif.Kyrif
import pyqelcpp
import typing
__all__: list[str] = ['KyrCmdsAsync', 'staticGetClient']
class KyrCmdsAsync(pyqelcpp.ClientRrEntityBaseDelegate):
    def Abort(self) -> pyqelcpp.StringFuture:
        """
        Abort
        """
    def Execute(self, arg0: ModKyrif.Kyrif.Method) -> pyqelcpp.StringFuture:
        """
        Execute
        """
    def GetConfig(self, arg0: str) -> pyqelcpp.StringFuture:
        """
        GetConfig
        """
    def GetDiagnostics(self) -> pyqelcpp.StringFuture:
        """
        GetDiagnostics
        """
    def GetSetup(self, arg0: str) -> pyqelcpp.StringFuture:
        """
        GetSetup
        """
    def Ping(self) -> pyqelcpp.StringFuture:
        """
        Ping
        """
    def ReadPars(self, arg0: str) -> pyqelcpp.StringFuture:
        """
        ReadPars
        """
    def Recover(self) -> pyqelcpp.StringFuture:
        """
        Recover
        """
    def Scan(self) -> pyqelcpp.StringFuture:
        """
        Scan
        """
    def SetConfig(self, arg0: str) -> pyqelcpp.StringFuture:
        """
        SetConfig
        """
    def Setup(self, arg0: str) -> pyqelcpp.StringFuture:
        """
        Setup
        """
    def Start(self, arg0: ModKyrif.Kyrif.StartProperties) -> pyqelcpp.StringFuture:
        """
        Start
        """
    def WritePars(self, arg0: str) -> pyqelcpp.StringFuture:
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
def staticGetClient(arg0: pyqelcpp.WexFactory, arg1: pyqelcpp.Uri, arg2: pyqelcpp.RrQoSList, arg3: dict[str, str]) -> KyrCmdsAsync:
    """
    Return new instance of Client Rr Entity delegate
    """
@typing.overload
def staticGetClient(arg0: pyqelcpp.WexFactory, arg1: str, arg2: pyqelcpp.RrQoSList, arg3: dict[str, str]) -> KyrCmdsAsync:
    """
    Return new instance of Client Rr Entity delegate
    """
