"""The other process of the request/reply benchmarks between processes.

  rr_processes.py serve ENDPOINT   a ModKyrif server whose service "svc" answers Ping
  rr_processes.py zmq-serve        a pyzmq REP socket on loopback answering b"Ping"
Each prints "ready" (zmq-serve: "ready PORT") and serves until its standard input ends."""
import sys
import threading


def serve(endpoint):
    import pyqelcpp
    import ModKyrif
    KyrCmds = ModKyrif.Kyrif.KyrCmds

    class Service:
        def Ping(self):
            return "pong"

    server = pyqelcpp.WexFactory.getInstance().createServer(endpoint, pyqelcpp.RrQoSList(), {})
    KyrCmds.KyrCmdsSyncService.registerService(server, "svc", Service())
    print("ready", flush=True)
    sys.stdin.read()
    server.close()


def zmq_serve():
    import zmq
    context = zmq.Context()
    socket = context.socket(zmq.REP)
    port = socket.bind_to_random_port("tcp://127.0.0.1")
    stop = threading.Event()

    def watch():
        sys.stdin.read()
        stop.set()

    threading.Thread(target=watch, daemon=True).start()
    print("ready", port, flush=True)
    poller = zmq.Poller()
    poller.register(socket, zmq.POLLIN)
    while not stop.is_set():
        if poller.poll(100):
            socket.recv()
            socket.send(b"pong")
    socket.close(0)
    context.term()


if __name__ == "__main__":
    if sys.argv[1] == "serve":
        serve(sys.argv[2])
    elif sys.argv[1] == "zmq-serve":
        zmq_serve()
    else:
        raise SystemExit(f"unknown role {sys.argv[1]}")
