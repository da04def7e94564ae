#!/usr/bin/python3
"""Runs the end-to-end tests (tests/e2e/test_*.py, plain unittest) against a build.

    tests/e2e/session.sh /usr/bin/python3 tests/e2e/run_e2e.py --build build [-k PATTERN] [-v]

Must run inside session.sh, which provides the display and the buses. The last line
printed is "N passed, N failed, N skipped"; the exit status is 1 when anything failed or
nothing ran. A test failing while its program runs leaves a screenshot in the artifacts
folder, taken before the program is ended.
"""

import argparse
import os
import sys
import time
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent


def parse_args():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--build", required=True, help="CMake binary folder holding kestrelpad")
    p.add_argument("--artifacts", help="folder for screenshots of failures "
                   "(default: /tmp/kestrelpad-e2e-artifacts/<date>-<pid>)")
    p.add_argument("-k", dest="patterns", action="append", default=[],
                   help="only tests whose id contains this text (repeatable)")
    p.add_argument("-v", "--verbose", action="store_true", help="name every test as it runs")
    return p.parse_args()


def iter_tests(suite):
    for item in suite:
        if isinstance(item, unittest.TestSuite):
            yield from iter_tests(item)
        else:
            yield item


class Result(unittest.TextTestResult):
    """Counts what the final line needs, and tells kpui which test runs so that a failure
    screenshot carries its name."""

    def __init__(self, *args, **kwargs):
        super().__init__(*args, **kwargs)
        self.passed = 0

    def startTest(self, test):
        import kpui
        kpui.current_test = test.id()
        super().startTest(test)

    def addSuccess(self, test):
        super().addSuccess(test)
        self.passed += 1


def main():
    args = parse_args()
    build = Path(args.build).resolve()
    if not (build / "kestrelpad").exists():
        print(f"run_e2e: {build}/kestrelpad is not built", file=sys.stderr)
        return 1
    for var in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS"):
        if not os.environ.get(var):
            print(f"run_e2e: {var} is not set; run me through tests/e2e/session.sh", file=sys.stderr)
            return 1
    artifacts = Path(args.artifacts or f"/tmp/kestrelpad-e2e-artifacts/"
                     f"{time.strftime('%Y%m%d-%H%M%S')}-{os.getpid()}").resolve()
    os.environ["KP_BUILD_DIR"] = str(build)
    os.environ["KP_E2E_ARTIFACTS"] = str(artifacts)
    sys.path.insert(0, str(HERE))

    loader = unittest.TestLoader()
    discovered = loader.discover(str(HERE), pattern="test_*.py", top_level_dir=str(HERE))
    tests = [t for t in iter_tests(discovered)
             if not args.patterns or any(p in t.id() for p in args.patterns)]
    runner = unittest.TextTestRunner(
        stream=sys.stdout, verbosity=2 if args.verbose else 1,
        resultclass=Result)
    result = runner.run(unittest.TestSuite(tests))

    failed = len(result.failures) + len(result.errors) + len(result.unexpectedSuccesses)
    skipped = len(result.skipped)
    passed = result.passed + len(result.expectedFailures)
    print(f"{passed} passed, {failed} failed, {skipped} skipped")
    if result.testsRun == 0:
        print("run_e2e: no test ran", file=sys.stderr)
        return 1
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
