"""Helpers of the tests between processes and hosts: peer programs in processes of
their own, programs that are not ours, and two hosts made of network namespaces."""
import os
import shutil
import subprocess
import sys
import uuid

import pytest

LONG = 30.0


class Peer:
    """A peer program (a Python file) in a process of its own, told things on its
    standard input and answering line by line on its standard output."""

    def __init__(self, program, *args, prefix=(), env=None):
        self.proc = subprocess.Popen([*prefix, sys.executable, program, *args], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, text=True, env=env)

    def line(self):
        text = self.proc.stdout.readline()
        assert text, f"peer ended early (exit status {self.proc.wait(LONG)})"
        return text.strip()

    def tell(self):
        self.proc.stdin.write("go\n")
        self.proc.stdin.flush()

    def finish(self):
        """Ends the peer's standard input; it must then end cleanly. Its remaining output."""
        out, _ = self.proc.communicate(timeout=LONG)
        assert self.proc.returncode == 0
        return out

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
        self.proc.wait(LONG)


def peers_of(program):
    """A fixture that starts peers of program and kills those still running at the end."""

    @pytest.fixture
    def peers():
        started = []
        yield lambda *args, **kwargs: started.append(Peer(program, *args, **kwargs)) or started[-1]
        for peer in started:
            peer.kill()

    return peers


def tool_env():
    """The environment for programs that are not ours (ip, compilers, plain C peers):
    without the sanitizer runtimes that a sanitized run preloads into our processes."""
    return {name: value for name, value in os.environ.items() if name != "LD_PRELOAD"}


@pytest.fixture
def two_hosts():
    """Two network namespaces joined by a veth pair, with addresses of their own."""
    if os.geteuid() != 0 or not shutil.which("ip"):
        pytest.skip("making network namespaces needs root and the ip command")
    tag = uuid.uuid4().hex[:6]
    hosts = [f"mkA{tag}", f"mkB{tag}"]
    links = [f"va{tag}", f"vb{tag}"]
    addresses = ["10.231.77.1", "10.231.77.2"]
    made = []

    def ip(*args):
        subprocess.run(["ip", *args], check=True, capture_output=True, text=True, env=tool_env())

    try:
        for host in hosts:
            ip("netns", "add", host)
            made.append(host)
        ip("link", "add", links[0], "netns", hosts[0], "type", "veth", "peer", "name", links[1], "netns", hosts[1])
        for host, link, address in zip(hosts, links, addresses):
            ip("-n", host, "addr", "add", f"{address}/24", "dev", link)
            ip("-n", host, "link", "set", link, "up")
            ip("-n", host, "link", "set", "lo", "up")
    except subprocess.CalledProcessError as error:
        for host in made:
            subprocess.run(["ip", "netns", "del", host], capture_output=True, env=tool_env())
        pytest.skip(f"cannot make network namespaces here: {error.stderr.strip()}")
    yield list(zip(hosts, links, addresses))
    for host in made:
        subprocess.run(["ip", "netns", "del", host], capture_output=True, env=tool_env())
