#!/usr/bin/env python3
"""check_zip.py ZIP PELLVANE_EXE CLI_EXE SIM_EXE GUIDE_SOURCE

The release zip holds exactly Pellvane.exe, pellvane-cli.exe, adapter_sim.exe
and USER-GUIDE.txt
at its top level; the programs are byte for byte the staged (stripped) copies, and
the guide is the current one, with CRLF line ends for Notepad and friends.
"""
import sys
import zipfile


def main(zip_path, exe_path, cli_path, sim_path, guide_path):
    problems = []
    try:
        archive = zipfile.ZipFile(zip_path)
    except (OSError, zipfile.BadZipFile) as error:
        print(f"FAIL: {zip_path} cannot be opened as a zip: {error}")
        return 1
    with archive:
        names = sorted(archive.namelist())
        expected = sorted(["Pellvane.exe", "pellvane-cli.exe", "adapter_sim.exe", "USER-GUIDE.txt"])
        if names != expected:
            problems.append(f"entries are {names}, expected {expected}")
        bad = archive.testzip()
        if bad:
            problems.append(f"entry {bad} is corrupt")

        def packed(name):
            return archive.read(name) if name in names else None

        for name, built in (("Pellvane.exe", exe_path), ("pellvane-cli.exe", cli_path),
                            ("adapter_sim.exe", sim_path)):
            with open(built, "rb") as f:
                if packed(name) != f.read():
                    problems.append(f"{name} is not the staged {built}")

        guide = packed("USER-GUIDE.txt") or b""
        if not guide.endswith(b"\r\n") or guide.count(b"\n") != guide.count(b"\r\n") \
                or guide.count(b"\r") != guide.count(b"\r\n"):
            problems.append("USER-GUIDE.txt does not use CRLF line ends throughout")
        if any(byte > 0x7F for byte in guide):
            problems.append("USER-GUIDE.txt is not plain ASCII")
        with open(guide_path, "rb") as f:
            if guide.replace(b"\r\n", b"\n") != f.read().replace(b"\r\n", b"\n"):
                problems.append(f"USER-GUIDE.txt is not the current {guide_path}")

    for problem in problems:
        print(f"FAIL: {zip_path}: {problem}")
    if not problems:
        print(f"{zip_path}: {names}, programs as staged, guide current with CRLF")
    return 1 if problems else 0


if __name__ == "__main__":
    if len(sys.argv) != 6:
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
