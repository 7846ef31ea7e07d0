"""
Submodule
"""
from __future__ import annotations
import datetime
import pyqelcpp
import typing
from . import KyrCmds
__all__: list[str] = ['AbsTime', 'Custom', 'ExceptionErr', 'KyrCmds', 'Method', 'MethodDataEvent', 'MethodDataEventFilter', 'MethodInstancePublisher', 'MethodLoanedDataEntity', 'MethodMrvSubscriber', 'MethodPublisher', 'MethodSubscriber', 'NotUsed', 'Signal', 'StartProperties', 'StartPropertiesDataEvent', 'StartPropertiesDataEventFilter', 'StartPropertiesInstancePublisher', 'StartPropertiesLoanedDataEntity', 'StartPropertiesMrvSubscriber', 'StartPropertiesPublisher', 'StartPropertiesSubscriber', 'StartTriggerTypes']
class ExceptionErr(pyqelcpp.QelException):
    @staticmethod
    def __del__() -> None:
        ...
    @staticmethod
    def _cpp_exception_factory(arg0: typing.Any) -> pyqelcpp.QelPythonExceptionObjectPtr:
        """
        Return container pointer for C++ exception to be thrown
        """
    @staticmethod
    def _new_instance() -> typing.Any:
        """
        Create new instance and transfer member fields to it
        """
    @staticmethod
    def getCode() -> int:
        """
        Return value of code
        """
    @staticmethod
    def getDesc() -> str:
        """
        Return value of desc
        """
class Method:
    @staticmethod
    def staticCreateDataEntity(arg0: pyqelcpp.Qel) -> Method:
        """
        Create new instance of the DataEntity
        """
    @staticmethod
    def staticCreateDataEntityDa(arg0: typing.Any) -> Method:
        """
        Create new instance of the DataEntity trough DataAccess client
        """
    @staticmethod
    def staticGetDataEventFilter() -> MethodDataEventFilter:
        """
        Factory method, returning new instance of DataEventFilter
        """
    @staticmethod
    @typing.overload
    def staticGetMrvSubscriber(arg0: pyqelcpp.WexFactory, arg1: pyqelcpp.Uri, arg2: pyqelcpp.PsQoSList, arg3: dict[str, str]) -> MethodMrvSubscriber:
        """
        Factory method, returning new instance of the MrvSubscriber
        """
    @staticmethod
    @typing.overload
    def staticGetMrvSubscriber(arg0: pyqelcpp.WexFactory, arg1: str, arg2: pyqelcpp.PsQoSList, arg3: dict[str, str]) -> MethodMrvSubscriber:
        """
        Factory method, returning new instance of the MrvSubscriber
        """
    @staticmethod
    @typing.overload
    def staticGetPublisher(arg0: pyqelcpp.WexFactory, arg1: pyqelcpp.Uri, arg2: pyqelcpp.PsQoSList, arg3: dict[str, str]) -> MethodPublisher:
        """
        Factory method, returning new instance of the Publisher
        """
    @staticmethod
    @typing.overload
    def staticGetPublisher(arg0: pyqelcpp.WexFactory, arg1: str, arg2: pyqelcpp.PsQoSList, arg3: dict[str, str]) -> MethodPublisher:
        """
        Factory method, returning new instance of the Publisher
        """
    @staticmethod
    @typing.overload
    def staticGetSubscriber(arg0: pyqelcpp.WexFactory, arg1: pyqelcpp.Uri, arg2: pyqelcpp.PsQoSList, arg3: dict[str, str]) -> MethodSubscriber:
        """
        Factory method, returning new instance of the Subscriber
        """
    @staticmethod
    @typing.overload
    def staticGetSubscriber(arg0: pyqelcpp.WexFactory, arg1: str, arg2: pyqelcpp.PsQoSList, arg3: dict[str, str]) -> MethodSubscriber:
        """
        Factory method, returning new instance of the Subscriber
        """
    @staticmethod
    def staticMakeVector() -> list[Method]:
        """
        Return new empty vector container for DataEntity
        """
    @staticmethod
    def staticSubscribe(arg0: MethodSubscriber, arg1: MethodDataEventFilter, arg2: typing.Callable[[MethodSubscriber, MethodDataEvent], None]) -> pyqelcpp.Subscription:
        """
        Subscribe to events to be polled
        """
    @staticmethod
    def staticSubscribeAsync(arg0: MethodSubscriber, arg1: MethodDataEventFilter, arg2: typing.Callable[[MethodSubscriber, MethodDataEvent], None]) -> pyqelcpp.Subscription:
        """
        Subscribe to events asynchronously
        """
    @staticmethod
    def staticSubscribeAsyncNotifier(arg0: MethodSubscriber, arg1: MethodDataEventFilter, arg2: typing.Callable[[MethodSubscriber], None]) -> pyqelcpp.Subscription:
        """
        Subscribe to new data events asynchronously
        """
    def _internalReadDa(self, arg0: typing.Any, arg1: pyqelcpp.SampleInfo) -> None:
        """
        read instance value trough DataAccess client
        """
    def _internalWriteDa(self, arg0: typing.Any) -> None:
        """
        write instance value trough DataAccess client
        """
    def clone(self) -> Method:
        """
        Create clone of this instance
        """
    def cloneKey(self) -> Method:
        """
        Create clone of this instance, only key fields are copied
        """
    def getName(self) -> str:
        """
        Return name
        """
    def getParameters(self) -> str:
        """
        Return parameters
        """
    def hasKey(self) -> bool:
        """
        Check whether entity has a key
        """
    def keyEquals(self, arg0: Method) -> bool:
        """
        Test equality of key with another instance and return boolean result
        """
    def setName(self, arg0: str) -> None:
        """
        Set name
        """
    def setParameters(self, arg0: str) -> None:
        """
        Set parameters
        """
class MethodDataEvent:
    def getData(self) -> Method | None:
        """
        Return data instance
        """
    def getInstanceEvent(self) -> pyqelcpp.InstanceEvent:
        """
        Return instance event
        """
    def getInstanceState(self) -> pyqelcpp.InstanceState:
        """
        Return instance state
        """
    def getSourceTimestamp(self) -> float:
        """
        Return sample timestamp
        """
    def hasValidData(self) -> bool:
        """
        Return indication whether event instance holds valid data
        """
    @property
    def data(self) -> Method | None:
        """
        Data property
        """
    @property
    def event(self) -> pyqelcpp.InstanceEvent:
        """
        Event property
        """
    @property
    def sourceTimestamp(self) -> float:
        """
        SourceTimestamp property
        """
    @property
    def state(self) -> pyqelcpp.InstanceState:
        """
        State property
        """
class MethodDataEventFilter:
    def getInstance(self) -> Method | None:
        """
        Return filter instance
        """
    def getInstanceEvents(self) -> set[pyqelcpp.InstanceEvent]:
        """
        Return Filter instance events
        """
    def getInstanceState(self) -> pyqelcpp.InstanceState:
        """
        Return filter instance state
        """
    def setInstance(self, arg0: Method | None) -> MethodDataEventFilter:
        """
        Set filter instance
        """
    def setInstanceEvents(self, arg0: set[pyqelcpp.InstanceEvent]) -> MethodDataEventFilter:
        """
        Set filter instance events
        """
    def setInstanceState(self, arg0: pyqelcpp.InstanceState) -> MethodDataEventFilter:
        """
        Set filter instance state
        """
    @property
    def events(self) -> set[pyqelcpp.InstanceEvent]:
        """
        Instance events property
        """
    @events.setter
    def events(self, arg1: set[pyqelcpp.InstanceEvent]) -> MethodDataEventFilter:
        ...
    @property
    def instance(self) -> Method | None:
        """
        Topic instance property
        """
    @instance.setter
    def instance(self, arg1: Method | None) -> MethodDataEventFilter:
        ...
    @property
    def state(self) -> pyqelcpp.InstanceState:
        """
        Instance state property
        """
    @state.setter
    def state(self, arg1: pyqelcpp.InstanceState) -> MethodDataEventFilter:
        ...
class MethodInstancePublisher:
    def close(self) -> None:
        """
        Close this instance of the publisher
        """
    def createDataEntity(self) -> Method:
        """
        Create new Method instance
        """
    def getQel(self) -> pyqelcpp.Qel:
        """
        Return reference to the corresponding QEL instance
        """
    def publish(self, arg0: Method, arg1: datetime.timedelta | float) -> None:
        """
        Publish data instance or raise TimeoutException on timeout
        """
    def publishWithTimestamp(self, arg0: float, arg1: Method, arg2: datetime.timedelta | float) -> None:
        """
        Publish data instance with user supplied timestamp or raise TimeoutException on timeout
        """
class MethodLoanedDataEntity:
    def close(self) -> None:
        """
        Close and shutdown this instance
        """
    def getData(self) -> Method | None:
        """
        Return loaned data entity
        """
class MethodMrvSubscriber:
    def close(self) -> None:
        """
        close MRV subscriber and release all resources
        """
    def readMostRecent(self, arg0: datetime.timedelta | float) -> list[Method]:
        """
        read most recent values
        """
class MethodPublisher(MethodInstancePublisher):
    def createInstancePublisher(self, arg0: Method) -> MethodInstancePublisher:
        """
        Create new instance of the Instance Publisher for Method
        """
class MethodSubscriber:
    def close(self) -> None:
        ...
    def createDataEntity(self) -> Method:
        """
        Create new data entity
        """
    def loanedRead(self) -> MethodLoanedDataEntity | None:
        """
        loaned read
        """
    def loanedReadInstance(self, arg0: Method) -> MethodLoanedDataEntity | None:
        """
        loaned read instance
        """
    def poll(self, arg0: int, arg1: datetime.timedelta | float) -> int:
        """
        synchronous poll for events
        """
    def read(self, arg0: int) -> list[Method]:
        """
        read up to given number of samples, 0 = read all
        """
    def readDataEvents(self, arg0: MethodDataEventFilter, arg1: int, arg2: datetime.timedelta | float) -> list[MethodDataEvent]:
        """
        read data events
        """
    def readInstance(self, arg0: Method) -> Method | None:
        """
        read instance
        """
    def readInstanceValue(self, arg0: Method, arg1: Method) -> bool:
        """
        read instance value
        """
class StartProperties:
    @staticmethod
    def staticCreateDataEntity(arg0: pyqelcpp.Qel) -> StartProperties:
        """
        Create new instance of the DataEntity
        """
    @staticmethod
    def staticCreateDataEntityDa(arg0: typing.Any) -> StartProperties:
        """
        Create new instance of the DataEntity trough DataAccess client
        """
    @staticmethod
    def staticGetDataEventFilter() -> StartPropertiesDataEventFilter:
        """
        Factory method, returning new instance of DataEventFilter
        """
    @staticmethod
    @typing.overload
    def staticGetMrvSubscriber(arg0: pyqelcpp.WexFactory, arg1: pyqelcpp.Uri, arg2: pyqelcpp.PsQoSList, arg3: dict[str, str]) -> StartPropertiesMrvSubscriber:
        """
        Factory method, returning new instance of the MrvSubscriber
        """
    @staticmethod
    @typing.overload
    def staticGetMrvSubscriber(arg0: pyqelcpp.WexFactory, arg1: str, arg2: pyqelcpp.PsQoSList, arg3: dict[str, str]) -> StartPropertiesMrvSubscriber:
        """
        Factory method, returning new instance of the MrvSubscriber
        """
    @staticmethod
    @typing.overload
    def staticGetPublisher(arg0: pyqelcpp.WexFactory, arg1: pyqelcpp.Uri, arg2: pyqelcpp.PsQoSList, arg3: dict[str, str]) -> StartPropertiesPublisher:
        """
        Factory method, returning new instance of the Publisher
        """
    @staticmethod
    @typing.overload
    def staticGetPublisher(arg0: pyqelcpp.WexFactory, arg1: str, arg2: pyqelcpp.PsQoSList, arg3: dict[str, str]) -> StartPropertiesPublisher:
        """
        Factory method, returning new instance of the Publisher
        """
    @staticmethod
    @typing.overload
    def staticGetSubscriber(arg0: pyqelcpp.WexFactory, arg1: pyqelcpp.Uri, arg2: pyqelcpp.PsQoSList, arg3: dict[str, str]) -> StartPropertiesSubscriber:
        """
        Factory method, returning new instance of the Subscriber
        """
    @staticmethod
    @typing.overload
    def staticGetSubscriber(arg0: pyqelcpp.WexFactory, arg1: str, arg2: pyqelcpp.PsQoSList, arg3: dict[str, str]) -> StartPropertiesSubscriber:
        """
        Factory method, returning new instance of the Subscriber
        """
    @staticmethod
    def staticMakeVector() -> list[StartProperties]:
        """
        Return new empty vector container for DataEntity
        """
    @staticmethod
    def staticSubscribe(arg0: StartPropertiesSubscriber, arg1: StartPropertiesDataEventFilter, arg2: typing.Callable[[StartPropertiesSubscriber, StartPropertiesDataEvent], None]) -> pyqelcpp.Subscription:
        """
        Subscribe to events to be polled
        """
    @staticmethod
    def staticSubscribeAsync(arg0: StartPropertiesSubscriber, arg1: StartPropertiesDataEventFilter, arg2: typing.Callable[[StartPropertiesSubscriber, StartPropertiesDataEvent], None]) -> pyqelcpp.Subscription:
        """
        Subscribe to events asynchronously
        """
    @staticmethod
    def staticSubscribeAsyncNotifier(arg0: StartPropertiesSubscriber, arg1: StartPropertiesDataEventFilter, arg2: typing.Callable[[StartPropertiesSubscriber], None]) -> pyqelcpp.Subscription:
        """
        Subscribe to new data events asynchronously
        """
    def _internalReadDa(self, arg0: typing.Any, arg1: pyqelcpp.SampleInfo) -> None:
        """
        read instance value trough DataAccess client
        """
    def _internalWriteDa(self, arg0: typing.Any) -> None:
        """
        write instance value trough DataAccess client
        """
    def clone(self) -> StartProperties:
        """
        Create clone of this instance
        """
    def cloneKey(self) -> StartProperties:
        """
        Create clone of this instance, only key fields are copied
        """
    def getAbsTime(self) -> float:
        """
        Return absTime
        """
    def getCustomTrigger(self) -> str:
        """
        Return customTrigger
        """
    def getInfo(self) -> str:
        """
        Return info
        """
    def getTrigger(self) -> StartTriggerTypes:
        """
        Return trigger
        """
    def hasKey(self) -> bool:
        """
        Check whether entity has a key
        """
    def keyEquals(self, arg0: StartProperties) -> bool:
        """
        Test equality of key with another instance and return boolean result
        """
    def setAbsTime(self, arg0: float) -> None:
        """
        Set absTime
        """
    def setCustomTrigger(self, arg0: str) -> None:
        """
        Set customTrigger
        """
    def setInfo(self, arg0: str) -> None:
        """
        Set info
        """
    def setTrigger(self, arg0: StartTriggerTypes) -> None:
        """
        Set trigger
        """
class StartPropertiesDataEvent:
    def getData(self) -> StartProperties | None:
        """
        Return data instance
        """
    def getInstanceEvent(self) -> pyqelcpp.InstanceEvent:
        """
        Return instance event
        """
    def getInstanceState(self) -> pyqelcpp.InstanceState:
        """
        Return instance state
        """
    def getSourceTimestamp(self) -> float:
        """
        Return sample timestamp
        """
    def hasValidData(self) -> bool:
        """
        Return indication whether event instance holds valid data
        """
    @property
    def data(self) -> StartProperties | None:
        """
        Data property
        """
    @property
    def event(self) -> pyqelcpp.InstanceEvent:
        """
        Event property
        """
    @property
    def sourceTimestamp(self) -> float:
        """
        SourceTimestamp property
        """
    @property
    def state(self) -> pyqelcpp.InstanceState:
        """
        State property
        """
class StartPropertiesDataEventFilter:
    def getInstance(self) -> StartProperties | None:
        """
        Return filter instance
        """
    def getInstanceEvents(self) -> set[pyqelcpp.InstanceEvent]:
        """
        Return Filter instance events
        """
    def getInstanceState(self) -> pyqelcpp.InstanceState:
        """
        Return filter instance state
        """
    def setInstance(self, arg0: StartProperties | None) -> StartPropertiesDataEventFilter:
        """
        Set filter instance
        """
    def setInstanceEvents(self, arg0: set[pyqelcpp.InstanceEvent]) -> StartPropertiesDataEventFilter:
        """
        Set filter instance events
        """
    def setInstanceState(self, arg0: pyqelcpp.InstanceState) -> StartPropertiesDataEventFilter:
        """
        Set filter instance state
        """
    @property
    def events(self) -> set[pyqelcpp.InstanceEvent]:
        """
        Instance events property
        """
    @events.setter
    def events(self, arg1: set[pyqelcpp.InstanceEvent]) -> StartPropertiesDataEventFilter:
        ...
    @property
    def instance(self) -> StartProperties | None:
        """
        Topic instance property
        """
    @instance.setter
    def instance(self, arg1: StartProperties | None) -> StartPropertiesDataEventFilter:
        ...
    @property
    def state(self) -> pyqelcpp.InstanceState:
        """
        Instance state property
        """
    @state.setter
    def state(self, arg1: pyqelcpp.InstanceState) -> StartPropertiesDataEventFilter:
        ...
class StartPropertiesInstancePublisher:
    def close(self) -> None:
        """
        Close this instance of the publisher
        """
    def createDataEntity(self) -> StartProperties:
        """
        Create new StartProperties instance
        """
    def getQel(self) -> pyqelcpp.Qel:
        """
        Return reference to the corresponding QEL instance
        """
    def publish(self, arg0: StartProperties, arg1: datetime.timedelta | float) -> None:
        """
        Publish data instance or raise TimeoutException on timeout
        """
    def publishWithTimestamp(self, arg0: float, arg1: StartProperties, arg2: datetime.timedelta | float) -> None:
        """
        Publish data instance with user supplied timestamp or raise TimeoutException on timeout
        """
class StartPropertiesLoanedDataEntity:
    def close(self) -> None:
        """
        Close and shutdown this instance
        """
    def getData(self) -> StartProperties | None:
        """
        Return loaned data entity
        """
class StartPropertiesMrvSubscriber:
    def close(self) -> None:
        """
        close MRV subscriber and release all resources
        """
    def readMostRecent(self, arg0: datetime.timedelta | float) -> list[StartProperties]:
        """
        read most recent values
        """
class StartPropertiesPublisher(StartPropertiesInstancePublisher):
    def createInstancePublisher(self, arg0: StartProperties) -> StartPropertiesInstancePublisher:
        """
        Create new instance of the Instance Publisher for StartProperties
        """
class StartPropertiesSubscriber:
    def close(self) -> None:
        ...
    def createDataEntity(self) -> StartProperties:
        """
        Create new data entity
        """
    def loanedRead(self) -> StartPropertiesLoanedDataEntity | None:
        """
        loaned read
        """
    def loanedReadInstance(self, arg0: StartProperties) -> StartPropertiesLoanedDataEntity | None:
        """
        loaned read instance
        """
    def poll(self, arg0: int, arg1: datetime.timedelta | float) -> int:
        """
        synchronous poll for events
        """
    def read(self, arg0: int) -> list[StartProperties]:
        """
        read up to given number of samples, 0 = read all
        """
    def readDataEvents(self, arg0: StartPropertiesDataEventFilter, arg1: int, arg2: datetime.timedelta | float) -> list[StartPropertiesDataEvent]:
        """
        read data events
        """
    def readInstance(self, arg0: StartProperties) -> StartProperties | None:
        """
        read instance
        """
    def readInstanceValue(self, arg0: StartProperties, arg1: StartProperties) -> bool:
        """
        read instance value
        """
class StartTriggerTypes:
    """
    Members:
    
      Signal
    
      AbsTime
    
      Custom
    
      NotUsed
    """
    AbsTime: typing.ClassVar[StartTriggerTypes]  # value = <StartTriggerTypes.AbsTime: 1>
    Custom: typing.ClassVar[StartTriggerTypes]  # value = <StartTriggerTypes.Custom: 2>
    NotUsed: typing.ClassVar[StartTriggerTypes]  # value = <StartTriggerTypes.NotUsed: 3>
    Signal: typing.ClassVar[StartTriggerTypes]  # value = <StartTriggerTypes.Signal: 0>
    __members__: typing.ClassVar[dict[str, StartTriggerTypes]]  # value = {'Signal': <StartTriggerTypes.Signal: 0>, 'AbsTime': <StartTriggerTypes.AbsTime: 1>, 'Custom': <StartTriggerTypes.Custom: 2>, 'NotUsed': <StartTriggerTypes.NotUsed: 3>}
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
AbsTime: StartTriggerTypes  # value = <StartTriggerTypes.AbsTime: 1>
Custom: StartTriggerTypes  # value = <StartTriggerTypes.Custom: 2>
NotUsed: StartTriggerTypes  # value = <StartTriggerTypes.NotUsed: 3>
Signal: StartTriggerTypes  # value = <StartTriggerTypes.Signal: 0>
