#!/usr/bin/env python3
"""rebuild_compare.py SOURCE BUILD TOOLCHAIN BUILD_TYPE EPOCH FILE...

Builds FILE... (outputs of the build tree BUILD) a second time, from a copy of
SOURCE in another folder and in a build tree of its own, with the same
toolchain, build type and commit time, and compares them byte for byte. A
build time or a build folder written into a program shows as a difference;
a folder of either build found in a file is named as such.
"""
import os
import shutil
import subprocess
import sys
import tempfile


def copy_sources(source, copy):
    """The files git knows of (committed or not, ignored ones left out), as
    they are now: what the build tree was built from."""
    listed = subprocess.run(
        ["git", "-C", source, "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
        check=True, capture_output=True).stdout
    for name in filter(None, listed.decode().split("\0")):
        origin = os.path.join(source, name)
        if os.path.isfile(origin):
            target = os.path.join(copy, name)
            os.makedirs(os.path.dirname(target), exist_ok=True)
            shutil.copy2(origin, target)


def embedded_folders(data, folders):
    found = []
    for folder in folders:
        for encoding in ("utf-8", "utf-16-le"):
            if folder.encode(encoding) in data:
                found.append(folder)
                break
    return found


def first_difference(a, b):
    for offset, (x, y) in enumerate(zip(a, b)):
        if x != y:
            return offset
    return min(len(a), len(b))


def main(source, build, toolchain, build_type, epoch, files):
    source = os.path.realpath(source)
    build = os.path.realpath(build)
    if os.path.realpath(toolchain).startswith(source + os.sep):
        toolchain_in_copy = os.path.relpath(os.path.realpath(toolchain), source)
    else:
        toolchain_in_copy = None
    env = dict(os.environ, SOURCE_DATE_EPOCH=epoch)

    with tempfile.TemporaryDirectory(prefix="pellvane-rebuild-") as scratch:
        copy = os.path.join(scratch, "elsewhere", "src")
        rebuild = os.path.join(scratch, "tree")
        copy_sources(source, copy)
        used_toolchain = os.path.join(copy, toolchain_in_copy) if toolchain_in_copy else toolchain
        relative = [os.path.relpath(os.path.realpath(f), build) for f in files]
        steps = [
            ["cmake", "-S", copy, "-B", rebuild, "-G", "Ninja",
             f"-DCMAKE_TOOLCHAIN_FILE={used_toolchain}", f"-DCMAKE_BUILD_TYPE={build_type}"],
            ["cmake", "--build", rebuild, "-j", "2", "--target", *relative],
        ]
        for step in steps:
            done = subprocess.run(step, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
            if done.returncode != 0:
                sys.stdout.write(done.stdout.decode(errors="replace"))
                print(f"FAIL: {' '.join(step)} exited with {done.returncode}")
                return 1

        problems = []
        for name, original in zip(relative, files):
            with open(original, "rb") as f:
                first = f.read()
            with open(os.path.join(rebuild, name), "rb") as f:
                second = f.read()
            for data, folders in ((first, [source, build]), (second, [copy, rebuild])):
                for folder in embedded_folders(data, folders):
                    problems.append(f"{name} holds the build's folder {folder}")
            if first != second:
                problems.append(f"{name} differs from the rebuild from byte "
                                f"{first_difference(first, second)} "
                                f"({len(first)} and {len(second)} bytes)")
            else:
                print(f"{name}: identical ({len(first)} bytes)")

    for problem in problems:
        print(f"FAIL: {problem}")
    return 1 if problems else 0


if __name__ == "__main__":
    if len(sys.argv) < 7:
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:6], sys.argv[6:]))
