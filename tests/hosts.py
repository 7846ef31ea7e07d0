"""Helpers of the tests between processes and hosts: programs that are not ours, and
two hosts made of network namespaces."""
import os
import shutil
import subprocess
import uuid

import pytest


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
