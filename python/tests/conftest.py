"""The module from the build tree on the program directory build/bin (set by ctest)."""
import os
import pathlib

import pytest

import korvane_vantrix


@pytest.fixture(scope="session")
def program_dir():
    return pathlib.Path(os.environ["KV_PROGRAM_DIR"])


@pytest.fixture(scope="session")
def program(program_dir):
    return korvane_vantrix.Program(str(program_dir))


@pytest.fixture(scope="session")
def cli():
    return os.environ["KV_CLI"]
