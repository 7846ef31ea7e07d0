"""
Python binding of the QEL middleware
"""
from __future__ import annotations
import datetime
import typing
__all__: list[str] = ['ClientRrEntityBaseDelegate', 'ClosedException', 'DataAccessClient', 'DataAccessSync', 'FutureBaseDelegate', 'FutureStatus', 'InstanceEvent', 'InstanceState', 'ListenerRegistration', 'PsQoS', 'PsQoSList', 'Qel', 'QelException', 'QelPythonExceptionObjectPtr', 'QueueDepth', 'ReplyTime', 'RrQoS', 'RrQoSList', 'SampleInfo', 'Server', 'StringFuture', 'Subscription', 'TimeoutException', 'Uri', 'VoidFuture', 'WexFactory']
class ClientRrEntityBaseDelegate:
    """
    Base of the request/reply client classes
    """
class ClosedException(QelException):
    """
    The entity was closed, or the middleware has shut down
    """
class DataAccessClient:
    """
    Owner of a data-access client
    """
    def close(self) -> None:
        """
        Close the data-access client
        """
    def ref(self) -> DataAccessSync:
        """
        Return the data-access client; valid while this object lives
        """
class DataAccessSync:
    """
    Synchronous data-access client of the middleware
    """
class FutureBaseDelegate:
    """
    Pending result of the middleware
    """
    def valid(self) -> bool:
        """
        Return True while the future has a result state
        """
    def wait(self) -> None:
        """
        Wait until the result is ready
        """
    def wait_for(self, arg0: datetime.timedelta | float) -> FutureStatus:
        """
        Wait until the result is ready or the timeout (timedelta or float seconds) passes
        """
class FutureStatus:
    """
    Result of a timed wait on a future
    
    Members:
    
      ready
    
      timeout
    
      deferred
    """
    __members__: typing.ClassVar[dict[str, FutureStatus]]  # value = {'ready': <FutureStatus.ready: 0>, 'timeout': <FutureStatus.timeout: 1>, 'deferred': <FutureStatus.deferred: 2>}
    deferred: typing.ClassVar[FutureStatus]  # value = <FutureStatus.deferred: 2>
    ready: typing.ClassVar[FutureStatus]  # value = <FutureStatus.ready: 0>
    timeout: typing.ClassVar[FutureStatus]  # value = <FutureStatus.timeout: 1>
    def __eq__(self, arg0: typing.Any) -> typing.Any:
        ...
    def __getstate__(self) -> int:
        ...
    def __hash__(self) -> int:
        ...
    def __index__(self) -> int:
        ...
    def __init__(self, value: int) -> None:
        ...
    def __int__(self) -> int:
        ...
    def __ne__(self, arg0: typing.Any) -> typing.Any:
        ...
    def __repr__(self) -> str:
        ...
    def __setstate__(self, state: int) -> None:
        ...
    def __str__(self) -> str:
        ...
    @property
    def name(self) -> str:
        ...
    @property
    def value(self) -> int:
        ...
class InstanceEvent:
    """
    What a sample did to its topic instance
    
    Members:
    
      CREATED
    
      UPDATED
    
      REMOVED
    """
    CREATED: typing.ClassVar[InstanceEvent]  # value = <InstanceEvent.CREATED: 0>
    REMOVED: typing.ClassVar[InstanceEvent]  # value = <InstanceEvent.REMOVED: 2>
    UPDATED: typing.ClassVar[InstanceEvent]  # value = <InstanceEvent.UPDATED: 1>
    __members__: typing.ClassVar[dict[str, InstanceEvent]]  # value = {'CREATED': <InstanceEvent.CREATED: 0>, 'UPDATED': <InstanceEvent.UPDATED: 1>, 'REMOVED': <InstanceEvent.REMOVED: 2>}
    def __eq__(self, other: typing.Any) -> bool:
        ...
    def __getstate__(self) -> int:
        ...
    def __hash__(self) -> int:
        ...
    def __index__(self) -> int:
        ...
    def __init__(self, value: int) -> None:
        ...
    def __int__(self) -> int:
        ...
    def __ne__(self, other: typing.Any) -> bool:
        ...
    def __repr__(self) -> str:
        ...
    def __setstate__(self, state: int) -> None:
        ...
    def __str__(self) -> str:
        ...
    @property
    def name(self) -> str:
        ...
    @property
    def value(self) -> int:
        ...
class InstanceState:
    """
    Life state of a topic instance; ANY selects every state
    
    Members:
    
      ALIVE
    
      NOT_ALIVE
    
      ANY
    """
    ALIVE: typing.ClassVar[InstanceState]  # value = <InstanceState.ALIVE: 0>
    ANY: typing.ClassVar[InstanceState]  # value = <InstanceState.ANY: 2>
    NOT_ALIVE: typing.ClassVar[InstanceState]  # value = <InstanceState.NOT_ALIVE: 1>
    __members__: typing.ClassVar[dict[str, InstanceState]]  # value = {'ALIVE': <InstanceState.ALIVE: 0>, 'NOT_ALIVE': <InstanceState.NOT_ALIVE: 1>, 'ANY': <InstanceState.ANY: 2>}
    def __eq__(self, other: typing.Any) -> bool:
        ...
    def __getstate__(self) -> int:
        ...
    def __hash__(self) -> int:
        ...
    def __index__(self) -> int:
        ...
    def __init__(self, value: int) -> None:
        ...
    def __int__(self) -> int:
        ...
    def __ne__(self, other: typing.Any) -> bool:
        ...
    def __repr__(self) -> str:
        ...
    def __setstate__(self, state: int) -> None:
        ...
    def __str__(self) -> str:
        ...
    @property
    def name(self) -> str:
        ...
    @property
    def value(self) -> int:
        ...
class ListenerRegistration:
    """
    Registration of a connection listener; dropping it unregisters the listener
    """
    def active(self) -> bool:
        """
        Return True while the listener is registered
        """
    def reset(self) -> None:
        """
        Unregister the listener now
        """
class PsQoS:
    """
    Quality-of-service setting of publish/subscribe
    """
class PsQoSList:
    __hash__: typing.ClassVar[None] = None
    def __bool__(self) -> bool:
        """
        Check whether the list is nonempty
        """
    def __contains__(self, x: PsQoS) -> bool:
        """
        Return true the container contains ``x``
        """
    @typing.overload
    def __delitem__(self, arg0: int) -> None:
        """
        Delete the list elements at index ``i``
        """
    @typing.overload
    def __delitem__(self, arg0: slice) -> None:
        """
        Delete list elements using a slice object
        """
    def __eq__(self, arg0: PsQoSList) -> bool:
        ...
    @typing.overload
    def __getitem__(self, s: slice) -> PsQoSList:
        """
        Retrieve list elements using a slice object
        """
    @typing.overload
    def __getitem__(self, arg0: int) -> PsQoS:
        ...
    @typing.overload
    def __init__(self) -> None:
        ...
    @typing.overload
    def __init__(self, arg0: PsQoSList) -> None:
        """
        Copy constructor
        """
    @typing.overload
    def __init__(self, arg0: typing.Iterable) -> None:
        ...
    def __iter__(self) -> typing.Iterator:
        ...
    def __len__(self) -> int:
        ...
    def __ne__(self, arg0: PsQoSList) -> bool:
        ...
    def __repr__(self) -> str:
        """
        Return the canonical string representation of this list.
        """
    @typing.overload
    def __setitem__(self, arg0: int, arg1: PsQoS) -> None:
        ...
    @typing.overload
    def __setitem__(self, arg0: slice, arg1: PsQoSList) -> None:
        """
        Assign list elements using a slice object
        """
    def append(self, x: PsQoS) -> None:
        """
        Add an item to the end of the list
        """
    def clear(self) -> None:
        """
        Clear the contents
        """
    def count(self, x: PsQoS) -> int:
        """
        Return the number of times ``x`` appears in the list
        """
    @typing.overload
    def extend(self, L: PsQoSList) -> None:
        """
        Extend the list by appending all the items in the given list
        """
    @typing.overload
    def extend(self, L: typing.Iterable) -> None:
        """
        Extend the list by appending all the items in the given list
        """
    def insert(self, i: int, x: PsQoS) -> None:
        """
        Insert an item at a given position.
        """
    @typing.overload
    def pop(self) -> PsQoS:
        """
        Remove and return the last item
        """
    @typing.overload
    def pop(self, i: int) -> PsQoS:
        """
        Remove and return the item at index ``i``
        """
    def remove(self, x: PsQoS) -> None:
        """
        Remove the first item from the list whose value is x. It is an error if there is no such item.
        """
class Qel:
    """
    One middleware
    """
    def getDefaultProperties(self) -> dict[str, str]:
        """
        Return a copy of the default entity properties
        """
    def isShutDown(self) -> bool:
        """
        Return True once the middleware has shut down
        """
class QelException(Exception):
    """
    Base of every error of the middleware
    """
class QelPythonExceptionObjectPtr:
    """
    Container of a native exception to be thrown for a Python exception
    """
    def __bool__(self) -> bool:
        ...
class QueueDepth(PsQoS):
    """
    Capacity of a subscriber's queue; a full queue makes publishers wait
    """
    def __init__(self, arg0: int) -> None:
        """
        Queue of the given number of samples
        """
    def getDepth(self) -> int:
        """
        Return the capacity
        """
class ReplyTime(RrQoS):
    """
    How long a command waits for its reply (timedelta or float seconds)
    """
    def __init__(self, arg0: datetime.timedelta | float) -> None:
        """
        Reply time of the given duration
        """
    def getTime(self) -> datetime.timedelta:
        """
        Return the reply time
        """
class RrQoS:
    """
    Quality-of-service setting of request/reply
    """
class RrQoSList:
    __hash__: typing.ClassVar[None] = None
    def __bool__(self) -> bool:
        """
        Check whether the list is nonempty
        """
    def __contains__(self, x: RrQoS) -> bool:
        """
        Return true the container contains ``x``
        """
    @typing.overload
    def __delitem__(self, arg0: int) -> None:
        """
        Delete the list elements at index ``i``
        """
    @typing.overload
    def __delitem__(self, arg0: slice) -> None:
        """
        Delete list elements using a slice object
        """
    def __eq__(self, arg0: RrQoSList) -> bool:
        ...
    @typing.overload
    def __getitem__(self, s: slice) -> RrQoSList:
        """
        Retrieve list elements using a slice object
        """
    @typing.overload
    def __getitem__(self, arg0: int) -> RrQoS:
        ...
    @typing.overload
    def __init__(self) -> None:
        ...
    @typing.overload
    def __init__(self, arg0: RrQoSList) -> None:
        """
        Copy constructor
        """
    @typing.overload
    def __init__(self, arg0: typing.Iterable) -> None:
        ...
    def __iter__(self) -> typing.Iterator:
        ...
    def __len__(self) -> int:
        ...
    def __ne__(self, arg0: RrQoSList) -> bool:
        ...
    def __repr__(self) -> str:
        """
        Return the canonical string representation of this list.
        """
    @typing.overload
    def __setitem__(self, arg0: int, arg1: RrQoS) -> None:
        ...
    @typing.overload
    def __setitem__(self, arg0: slice, arg1: RrQoSList) -> None:
        """
        Assign list elements using a slice object
        """
    def append(self, x: RrQoS) -> None:
        """
        Add an item to the end of the list
        """
    def clear(self) -> None:
        """
        Clear the contents
        """
    def count(self, x: RrQoS) -> int:
        """
        Return the number of times ``x`` appears in the list
        """
    @typing.overload
    def extend(self, L: RrQoSList) -> None:
        """
        Extend the list by appending all the items in the given list
        """
    @typing.overload
    def extend(self, L: typing.Iterable) -> None:
        """
        Extend the list by appending all the items in the given list
        """
    def insert(self, i: int, x: RrQoS) -> None:
        """
        Insert an item at a given position.
        """
    @typing.overload
    def pop(self) -> RrQoS:
        """
        Remove and return the last item
        """
    @typing.overload
    def pop(self, i: int) -> RrQoS:
        """
        Remove and return the item at index ``i``
        """
    def remove(self, x: RrQoS) -> None:
        """
        Remove the first item from the list whose value is x. It is an error if there is no such item.
        """
class SampleInfo:
    """
    What a data-access read reports about the value it read
    """
    def __init__(self) -> None:
        """
        Empty information, filled by a read
        """
    def __repr__(self) -> str:
        ...
    @property
    def sequence(self) -> int:
        """
        Number of writes to the endpoint so far
        """
    @property
    def sourceTimestamp(self) -> float:
        """
        Seconds since the epoch of the write
        """
    @property
    def valid(self) -> bool:
        """
        False while no value has been written
        """
class Server:
    """
    Serves named services at its endpoint
    """
    def close(self) -> None:
        """
        Stop serving: pending requests fail, services are released
        """
    def getEndpoint(self) -> str:
        """
        Return the endpoint of the server
        """
    def unregisterService(self, arg0: str) -> None:
        """
        Stop serving the named service
        """
class StringFuture(FutureBaseDelegate):
    """
    Pending text result
    """
    def get(self) -> str:
        """
        Wait for the result and return it, or raise its error
        """
class Subscription:
    """
    Handle of a callback subscription; closing or dropping it ends deliveries
    """
    def close(self) -> None:
        """
        End deliveries; a delivery already running completes first
        """
class TimeoutException(QelException):
    """
    An operation gave up after its timeout
    """
class Uri:
    """
    An absolute URI; text that is not one raises ValueError
    """
    def __eq__(self, arg0: Uri) -> bool:
        ...
    def __hash__(self) -> int:
        ...
    def __init__(self, arg0: str) -> None:
        """
        Parse the text of an absolute URI
        """
    def __repr__(self) -> str:
        ...
    def __str__(self) -> str:
        """
        Return the text of the URI
        """
    def path(self) -> str:
        """
        Return the path
        """
    def scheme(self) -> str:
        """
        Return the scheme
        """
class VoidFuture(FutureBaseDelegate):
    """
    Pending completion without a value
    """
    def get(self) -> None:
        """
        Wait for completion, or raise its error
        """
class WexFactory:
    """
    The process-wide entry point
    """
    @staticmethod
    def getInstance() -> WexFactory:
        """
        Return the process-wide factory
        """
    @typing.overload
    def createServer(self, arg0: Uri, arg1: RrQoSList, arg2: dict[str, str]) -> Server:
        """
        Create a request/reply server at the endpoint
        """
    @typing.overload
    def createServer(self, arg0: str, arg1: RrQoSList, arg2: dict[str, str]) -> Server:
        """
        Create a request/reply server at the endpoint
        """
    @typing.overload
    def getDataAccess(self, arg0: Uri, arg1: RrQoSList, arg2: dict[str, str]) -> DataAccessClient:
        """
        Create a data-access client for the endpoint
        """
    @typing.overload
    def getDataAccess(self, arg0: str, arg1: RrQoSList, arg2: dict[str, str]) -> DataAccessClient:
        """
        Create a data-access client for the endpoint
        """
    @typing.overload
    def getQel(self, arg0: Uri) -> Qel:
        """
        Return the middleware that serves the endpoint
        """
    @typing.overload
    def getQel(self, arg0: str) -> Qel:
        """
        Return the middleware that serves the endpoint
        """
