"""What a user would write instead of the module, in pure Python: threads that hand
work to each other through queue.Queue."""
import queue
import threading


def queue_handoff(count, callback, depth=1024):
    """Hands count events from the calling thread to a consumer thread that calls
    callback(None, event) for each; returns when the consumer has seen them all."""
    events = queue.Queue(maxsize=depth)

    def consume():
        while True:
            event = events.get()
            if event is None:
                return
            callback(None, event)

    consumer = threading.Thread(target=consume, daemon=True)
    consumer.start()
    for i in range(count):
        events.put(i)
    events.put(None)
    consumer.join()


class ThreadedService:
    """Request/reply between threads: a server thread takes (method, reply queue)
    requests and answers on the caller's reply queue."""

    def __init__(self, target):
        self._requests = queue.Queue()
        self._target = target
        self._thread = threading.Thread(target=self._serve, daemon=True)
        self._thread.start()

    def _serve(self):
        while True:
            request = self._requests.get()
            if request is None:
                return
            name, replies = request
            replies.put(getattr(self._target, name)())

    def client(self):
        replies = queue.Queue()
        requests = self._requests

        def call(name):
            requests.put((name, replies))
            return replies.get()

        return call

    def close(self):
        self._requests.put(None)
        self._thread.join()
