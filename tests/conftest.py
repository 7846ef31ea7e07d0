"""Fixtures shared by the Python test suites."""
import itertools
import os

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


@pytest.fixture
def endpoint(request):
    """A topic or server endpoint that no other test uses."""
    name = request.node.name.replace("[", "_").replace("]", "_").replace("-", "_")
    return f"inproc:///test/{os.getpid()}/{name}/{next(_counter)}"


@pytest.fixture
def ps_qos():
    return pyqelcpp.PsQoSList()


@pytest.fixture
def rr_qos():
    return pyqelcpp.RrQoSList()
