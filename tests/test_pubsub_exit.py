"""A program that exits while publish/subscribe traffic is in full flight ends cleanly."""
import subprocess
import sys
import textwrap

PROGRAM = textwrap.dedent("""
    import threading, time
    import pyqelcpp, ModKyrif

    K = ModKyrif.Kyrif
    factory = pyqelcpp.WexFactory.getInstance()
    qos = pyqelcpp.PsQoSList()
    topic = "inproc:///exit/topic"
    everything = K.Method.staticGetDataEventFilter()

    delivered = []

    def handler(sub, event):
        delivered.append(event.getData().getName())
        time.sleep(0.001)

    subscribers = [K.Method.staticGetSubscriber(factory, topic, qos, {}) for _ in range(3)]
    subscriptions = [K.Method.staticSubscribeAsync(subscribers[0], everything, handler),
                     K.Method.staticSubscribeAsyncNotifier(subscribers[1], everything, lambda sub: None),
                     K.StartProperties.staticSubscribeAsync(
                         K.StartProperties.staticGetSubscriber(factory, "inproc:///exit/sp", qos, {}),
                         K.StartProperties.staticGetDataEventFilter(), lambda sub, event: None)]
    publisher = K.Method.staticGetPublisher(factory, topic, qos, {})

    def publish_forever():
        sample = publisher.createDataEntity()
        try:
            for i in range(10 ** 9):
                sample.setName(str(i))
                publisher.publish(sample, 30.0)
        except pyqelcpp.QelException:
            pass

    def block_in_read():
        try:
            subscribers[2].readDataEvents(K.Method.staticGetDataEventFilter()
                                          .setInstanceState(pyqelcpp.InstanceState.NOT_ALIVE), 1, 1000.0)
        except pyqelcpp.QelException:
            pass

    for target in (publish_forever, block_in_read):
        threading.Thread(target=target, daemon=True).start()
    deadline = time.monotonic() + 5
    while len(delivered) < 100 and time.monotonic() < deadline:
        time.sleep(0.01)
    print("delivered", len(delivered) >= 100, flush=True)
""")


def test_exit_with_live_subscriptions_and_blocked_threads_is_clean():
    result = subprocess.run([sys.executable, "-c", PROGRAM], capture_output=True, text=True, timeout=10)
    assert result.returncode == 0, result.stderr
    assert result.stderr == ""
    assert result.stdout == "delivered True\n"
