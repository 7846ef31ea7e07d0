"""Fixtures shared by the Python test suites."""
import itertools
import os
import re

import pytest

import pyqelcpp  # noqa: F401  (imported first, as ModKyrif does)
import ModKyrif

_counter = itertools.count()


@pytest.fixture
def Kyrif():
    return ModKyrif.Kyrif


@pytest.fixture
def factory():
    return pyqelcpp.WexFactory.getInstance()


# The publish/subscribe suites run once on each transport: the same calls must
# behave the same in one process whichever transport carries them.
PUBSUB_SUITES = {"test_pubsub_e2e", "test_pubsub_classes", "test_delivery_batches"}
# So do the request/reply suites, on inproc and on dds.rr.
RR_SUITES = {"test_rr_roundtrip", "test_rr_client_entity", "test_rr_service_errors", "test_hostile_services"}


def pytest_generate_tests(metafunc):
    if "endpoint" in metafunc.fixturenames and metafunc.module.__name__ in PUBSUB_SUITES:
        metafunc.parametrize("transport", ["inproc", "dds.ps"])
    if "endpoint" in metafunc.fixturenames and metafunc.module.__name__ in RR_SUITES:
        metafunc.parametrize("transport", ["inproc", "dds.rr"])


@pytest.fixture
def transport():
    return "inproc"


@pytest.fixture
def endpoint(request, transport):
    """A topic or server endpoint that no other test uses."""
    name = re.sub(r"[^A-Za-z0-9_]", "_", request.node.name)
    return f"{transport}:///test/p{os.getpid()}/{name}/n{next(_counter)}"


@pytest.fixture
def ps_qos():
    return pyqelcpp.PsQoSList()


@pytest.fixture
def rr_qos():
    return pyqelcpp.RrQoSList()
