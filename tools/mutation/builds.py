"""The build trees mutants are built in (native, sanitized, Windows, the benchmark's): configuring
and building them, a mutant applied and its file restored, and their tests run in a process
group of their own."""

import hashlib
import json
import os
import re
import shlex
import shutil
import signal
import subprocess
import sys
import time
from dataclasses import dataclass, field
from pathlib import Path

from mutation.source import PRODUCT_DIRS, ROOT, apply

BUILD_TIMEOUT = 1200  # seconds; a build that takes longer counts as not building


# The native tree's test programs parse GoogleTest once, from a precompiled header, so that a
# mutant in a header they share with the product rebuilds them in half the time.
PRECOMPILED_TESTS = """\
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL mutate_precompile_tests)
function(mutate_precompile_tests)
  get_property(targets DIRECTORY ${CMAKE_SOURCE_DIR}/tests PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      target_precompile_headers(${target} PRIVATE <gtest/gtest.h>)
    endif()
  endforeach()
endfunction()
"""
# Windows tests left out: the interactive demo in a terminal (12 s, and the same requests as
# the scripted ones) and the release archive (made by the package target, not by a build).
WINDOWS_SKIPPED_TESTS = r"^(demo[.]tmux_interactive|release_archive)$"
WINDOWS_TOOLS = ("i686-w64-mingw32-g++-posix", "wine", "wineserver")
REGISTRY_FILES = ("system.reg", "user.reg", "userdef.reg")


@dataclass
class Build:
    """A build tree the mutants are built in, and what its unmutated build gave."""
    kind: str  # native, sanitized (native, for a survivor's second chance) or windows
    path: Path
    ready: bool = False  # built unmutated, its tests passed (and wine started)
    baseline: dict = field(default_factory=dict)  # object file to hash
    built: bool = False  # built unmutated, its baseline taken
    output: str = ""  # what the last build printed
    times: dict = field(default_factory=dict)  # test program to seconds, fastest first
    lines: dict = None  # for each source file, the lines its product code compiles


def configure(build):
    """Configures the tree: native Release at -O1, with AddressSanitizer and
    UndefinedBehaviorSanitizer for the sanitized one, the Windows build as shipped, its
    plug-in folder inside the tree, or the benchmarks as the bench preset builds them."""
    sanitize = "ON" if build.kind == "sanitized" else "OFF"
    bench = "ON" if build.kind == "bench" else "OFF"
    tests = "OFF" if build.kind == "bench" else "ON"
    options = ["-G", "Unix Makefiles", "-DCMAKE_BUILD_TYPE=Release", f"-DLEXAMUND_TESTS={tests}",
               f"-DLEXAMUND_BENCH={bench}", "-DLEXAMUND_FUZZ=OFF", f"-DLEXAMUND_SANITIZE={sanitize}"]
    build.path.mkdir(parents=True, exist_ok=True)
    if build.kind == "bench":  # as the bench preset builds it, with the line table for callgrind
        options += ["-DCMAKE_CXX_FLAGS=-g"]  # which leaves GCC's code as it is
    elif build.kind != "windows":
        include = build.path / "precompiled-tests.cmake"
        include.write_text(PRECOMPILED_TESTS)
        options += ["-DCMAKE_CXX_FLAGS_RELEASE=-O1", f"-DCMAKE_PROJECT_INCLUDE={include}",
                    "-DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST"]
    else:
        options += [f"-DCMAKE_TOOLCHAIN_FILE={ROOT / 'cmake' / 'mingw-i686.cmake'}",
                    f"-DLEXAMUND_DIST_ROOT={build.path / 'dist'}"]
    subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build.path), *options], check=True,
                   stdout=subprocess.DEVNULL)


def build_tree(build, jobs, target=None):
    """True when the build (of target alone, if given) succeeded; the build's output is kept
    in build.output."""
    command = ["cmake", "--build", str(build.path), "-j", str(jobs)]
    command += ["--target", target] if target else []
    result, build.output = run_group(command, BUILD_TIMEOUT, ROOT)
    return result == "pass"


def object_hashes(build, since=0.0):
    """The hash of every object file of the tree written at or after since."""
    hashes = {}
    for path in build.path.rglob("*.o*"):
        if path.suffix in (".o", ".obj") and path.stat().st_mtime >= since:
            hashes[path] = hashlib.sha1(path.read_bytes()).hexdigest()
    return hashes


def native_lines(build):
    """For each source file, the lines the build's product code compiles (from its
    preprocessed translation units); a line the native build leaves out is Windows-only."""
    entries = json.loads((build.path / "compile_commands.json").read_text())
    active = {}
    for entry in entries:
        source = Path(entry["file"]).resolve()
        if source.is_relative_to(ROOT) and source.relative_to(ROOT).parts[0] in PRODUCT_DIRS:
            lines_of_unit(entry, active)
    return active


def lines_of_unit(entry, active):
    """Adds the lines of each file that the unit's preprocessed text keeps."""
    words = shlex.split(entry["command"])
    output_at = words.index("-o")
    command = [w for k, w in enumerate(words) if k not in (output_at, output_at + 1) and w != "-c"]
    output = subprocess.run(command + ["-E"], cwd=entry["directory"], check=True,
                            capture_output=True, text=True).stdout
    current, number = None, 0
    for out_line in output.splitlines():
        marker = re.match(r'# (\d+) "([^"]*)"', out_line)
        if marker:
            number, current = int(marker[1]), str(Path(entry["directory"], marker[2]).resolve())
            continue
        if out_line.strip():
            active.setdefault(current, set()).add(number)
        number += 1


# ---- Running the tests ----


def run_group(command, timeout, cwd):
    """Runs command in a process group of its own, which is ended with it (also on Ctrl+C);
    returns 'pass', 'fail' or 'hang', and the output."""
    process = subprocess.Popen(command, cwd=cwd, stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, text=True, errors="replace",
                               start_new_session=True)
    try:
        output, _ = process.communicate(timeout=timeout)
        return ("pass" if process.returncode == 0 else "fail"), output
    except subprocess.TimeoutExpired:
        return "hang", ""
    finally:
        if process.poll() is None:
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()


def native_command(program):
    """A native test program's command: stop at the first failure, print little."""
    return [str(program), "--gtest_fail_fast", "--gtest_brief=1"]


def windows_command(build, timeout):
    """The Windows tree's tests through ctest, stopping at the first failure, each within
    timeout seconds."""
    return ["ctest", "--test-dir", str(build.path), "--stop-on-failure", "-E",
            WINDOWS_SKIPPED_TESTS, "--timeout", str(int(timeout))]


def wine_prefix(build, action):
    """Starts or stops the Windows tree's wineserver; stop waits until it has saved the
    registry and ended."""
    subprocess.run([str(ROOT / "tools" / "wine-prefix.sh"), action, str(build.path)], check=True)
    if action == "stop":
        environment = dict(os.environ, WINEPREFIX=str(build.path / "wineprefix"))
        subprocess.run(["wineserver", "-w"], env=environment, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)


def registry_as_started(build, save):
    """Saves the wine prefix's registry as the unmutated tests leave it, or puts it back
    before a mutant's tests: a test a mutant stopped midway leaves its keys behind, which
    would fail the next mutant's tests."""
    wine_prefix(build, "stop")
    saved = build.path / "pristine-registry"
    saved.mkdir(exist_ok=True)
    for name in REGISTRY_FILES:
        source, target = build.path / "wineprefix" / name, saved / name
        shutil.copy2(*((source, target) if save else (target, source)))
    wine_prefix(build, "start")


def start_tests(build):
    """Runs the tests on the unmutated tree (starting wine for the Windows one) and keeps
    their times; exits if a test fails."""
    if build.kind == "windows":
        if (build.path / "pristine-registry").exists():  # as an earlier run left it
            registry_as_started(build, save=False)
        else:
            wine_prefix(build, "start")
        programs = [None]
    else:
        programs = [p for p in (build.path / "tests").glob("*_tests") if os.access(p, os.X_OK)]
    for program in programs:
        started = time.monotonic()
        command = windows_command(build, 600) if program is None else native_command(program)
        result, output = run_group(command, None, build.path if program is None else
                                   program.parent)
        if result != "pass":
            sys.exit(f"mutate: the {build.kind} tests fail without a mutant:\n{output}")
        build.times[program] = time.monotonic() - started
    build.times = dict(sorted(build.times.items(), key=lambda item: item[1]))
    if build.kind == "windows":
        registry_as_started(build, save=True)


def stop_tests(build):
    """Stops the Windows tree's wineserver once its tests have run; nothing for the others."""
    if build.ready and build.kind == "windows":
        wine_prefix(build, "stop")


def first_failure(build, factor):
    """The first test program (or Windows test) that fails or hangs, or None when all pass."""
    for program, seconds in build.times.items():
        timeout = max(10.0, factor * seconds)
        if program is None:
            registry_as_started(build, save=False)
            result, output = run_group(windows_command(build, timeout), None, build.path)
            failed = re.search(r"#\d+: (\S+) \.*\s*\*+(\w+)", output)
            name = failed[1] if failed else "ctest"
            result = "hang" if failed and failed[2] == "Timeout" else result
        else:
            result, _ = run_group(native_command(program), timeout, program.parent)
            name = program.name
        if result != "pass":
            return name + (" (hang)" if result == "hang" else "")
    return None


# ---- Applying and restoring ----


def pristine_copy(build, path):
    """Where the original of path waits in the tree while a mutant of it is applied."""
    return build.path / "pristine" / path


def restore_leftovers(build):
    """Puts back any original that a killed run left in the tree."""
    copies = build.path / "pristine"
    for copy in sorted(copies.rglob("*")) if copies.exists() else []:
        if copy.is_file():
            target = ROOT / copy.relative_to(copies)
            target.write_bytes(copy.read_bytes())
            copy.unlink()
            print(f"mutate: restored {target.relative_to(ROOT)} from an interrupted run",
                  file=sys.stderr)


def build_mutant(mutant, build, jobs, target=None):
    """Builds with the mutant in its file; the file is restored before this returns."""
    source = ROOT / mutant.path
    original = source.read_bytes()
    copy = pristine_copy(build, mutant.path)
    copy.parent.mkdir(parents=True, exist_ok=True)
    copy.write_bytes(original)
    try:
        source.write_text(apply(mutant))
        return build_tree(build, jobs, target)
    finally:
        source.write_bytes(original)
        copy.unlink()


class Stop(Exception):
    """A signal asked the run to end."""


def on_signal(number, frame):
    """Ends the run on SIGTERM or SIGHUP as on Ctrl+C: the source file is restored."""
    raise Stop(signal.Signals(number).name)


# ---- The unmutated trees ----


def make_built(build, jobs):
    """Configures and builds the unmutated tree and takes its object code's hashes, once."""
    if build.built:
        return
    configure(build)
    if not build_tree(build, jobs):
        sys.exit(f"mutate: the unmutated {build.kind} tree does not build")
    build.baseline = object_hashes(build)
    build.built = True


def make_ready(build, jobs):
    """make_built, then runs the unmutated tree's tests, once."""
    if build.ready:
        return
    make_built(build, jobs)
    # A survivor compiled here for the static checks left its objects: build them afresh.
    if not build_tree(build, jobs):
        sys.exit(f"mutate: the unmutated {build.kind} tree does not build")
    start_tests(build)
    build.ready = True
