"""Faults of networks under a process between hosts: its exit stays bounded whatever
the network does, and the engine's own messages reach Python's logging only."""
import json
import os
import subprocess
import sys
import time

import pytest

from hosts import Peer, tool_env, two_hosts  # noqa: F401  (a fixture)

HERE = os.path.dirname(os.path.abspath(__file__))
PEER = os.path.join(HERE, "dds_peer.py")
# The exit work waits up to dds.ackWaitMs for acknowledgements, about a second for
# the engine's writers to linger and 2 s for the engine to end; the rest is slack
# for a loaded machine.
EXIT_BOUND = 3.0 + 1.0 + 2.0 + 6.0


def ip(*args):
    subprocess.run(["ip", *args], check=True, capture_output=True, text=True, env=tool_env())


def holding_process(host, link, address, peer_address, domain):
    """A publisher in host, on its veth link, with a live instance, until told to end."""
    env = dict(os.environ, DDS_PEER_PROPS=json.dumps({"dds.interfaces": link, "dds.peers": peer_address}))
    peer = Peer(PEER, "hold", f"dds.ps://{domain}/faults/held", "0", "held", prefix=("ip", "netns", "exec", host),
                env=env)
    assert peer.line() == "ready"
    return peer


def ends_within_bound(peer):
    started = time.monotonic()
    peer.proc.stdin.close()
    assert peer.proc.wait(EXIT_BOUND + 30) == 0
    return time.monotonic() - started


def test_exit_is_bounded_when_the_interface_vanishes(two_hosts):  # noqa: F811
    (host_a, link_a, address_a), (host_b, link_b, address_b) = two_hosts
    peer = holding_process(host_a, link_a, address_a, address_b, 11)
    try:
        ip("-n", host_a, "link", "del", link_a)
        assert ends_within_bound(peer) < EXIT_BOUND
    finally:
        peer.kill()


def test_exit_is_bounded_behind_a_firewall_that_drops_everything(two_hosts):  # noqa: F811
    (host_a, link_a, address_a), (host_b, link_b, address_b) = two_hosts
    peer = holding_process(host_a, link_a, address_a, address_b, 12)
    try:
        subprocess.run(["ip", "netns", "exec", host_a, "nft", "-f", "-"], check=True, capture_output=True,
                       text=True, env=tool_env(),
                       input="table inet wall {\n chain in {\n  type filter hook input priority 0; policy drop;\n }\n"
                             " chain out {\n  type filter hook output priority 0; policy drop;\n }\n}\n")
        assert ends_within_bound(peer) < EXIT_BOUND
    finally:
        peer.kill()


def test_the_engine_writes_to_stderr_only_through_logging():
    program = """
import logging, pyqelcpp
from ModKyrif import Kyrif
logging.basicConfig(format="LOG %(name)s %(levelname)s %(message)s")
try:
    Kyrif.Method.staticGetPublisher(pyqelcpp.WexFactory.getInstance(), "dds.ps://13/faults/t",
                                    pyqelcpp.PsQoSList(), {"dds.interfaces": "nosuchif0"})
except pyqelcpp.QelException:
    print("refused")
"""
    done = subprocess.run([sys.executable, "-c", program], capture_output=True, text=True, timeout=60)
    assert done.returncode == 0 and done.stdout == "refused\n"
    lines = done.stderr.splitlines()
    assert lines and all(line.startswith("LOG qel.dds.engine ") for line in lines), done.stderr
    assert any("nosuchif0" in line for line in lines)


def test_kyrif_shows_the_engine_s_messages_as_its_own_lines():
    done = subprocess.run([sys.executable, "-m", "kyrif_tools", "publish", "dds.ps://13/faults/t", "--type", "Method",
                           "name=x", "-p", "dds.interfaces=nosuchif0"], capture_output=True, text=True, timeout=60)
    assert done.returncode == 2
    lines = done.stderr.splitlines()
    assert lines and all(line.startswith("kyrif publish: ") for line in lines), done.stderr
    assert any(line.startswith("kyrif publish: error: ") and "nosuchif0" in line for line in lines)
