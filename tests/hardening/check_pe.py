#!/usr/bin/env python3
"""check_pe.py --objdump OBJDUMP --allowed DLL,DLL,... [--execution-level LEVEL]
               [--window] SHIPPED UNSTRIPPED

Checks one shipped 64-bit program as objdump sees it:
- it imports only from the allowed libraries (the KnownDLLs and COMCTL32),
  and COMCTL32 only with the manifest's common-controls 6 dependency, which
  takes it from the side-by-side store rather than the program's folder;
- ASLR with a high-entropy base, DEP, and the relocations ASLR needs;
- a program with a window (--window) has the common-controls dependency;
  --execution-level names the level its manifest must ask for;
- the shipped copy is stripped, and the unstripped build of the same program
  has the stack protector linked in.
"""
import argparse
import re
import subprocess
import sys

COMMON_CONTROLS = "Microsoft.Windows.Common-Controls"
RT_MANIFEST = 24


def objdump(tool, *args):
    return subprocess.run([tool, *args], check=True, capture_output=True, text=True).stdout


def sections(tool, path):
    """{name: (vma, size, file offset)} from the section headers."""
    found = {}
    for m in re.finditer(r"^\s*\d+\s+(\S+)\s+([0-9a-f]+)\s+([0-9a-f]+)\s+[0-9a-f]+\s+([0-9a-f]+)",
                         objdump(tool, "-h", path), re.M):
        found[m.group(1)] = (int(m.group(3), 16), int(m.group(2), 16), int(m.group(4), 16))
    return found


def manifest(tool, path, headers, image_base):
    """The RT_MANIFEST resource's text, or None."""
    resource_type = None
    leaf = None
    for line in headers.splitlines():
        entry = re.match(r"^[0-9a-f]+   Entry: ID: (0x[0-9a-f]+)", line)
        if entry:
            resource_type = int(entry.group(1), 16)
        found = re.match(r"^[0-9a-f]+\s+Leaf: Addr: (0x[0-9a-f]+), Size: (0x[0-9a-f]+)", line)
        if found and resource_type == RT_MANIFEST:
            leaf = (int(found.group(1), 16), int(found.group(2), 16))
            break
    if not leaf:
        return None
    rva, size = leaf
    for vma, length, offset in sections(tool, path).values():
        start = vma - image_base
        if start <= rva < start + length:
            with open(path, "rb") as f:
                f.seek(offset + rva - start)
                return f.read(size).decode("utf-8", "replace")
    return None


def check(args):
    problems = []
    headers = objdump(args.objdump, "-p", args.shipped)
    allowed = {name.lower() for name in args.allowed.split(",") if name}
    imports = re.findall(r"DLL Name: (\S+)", headers)
    if not imports:
        problems.append("no imports found: not a PE program?")
    for dll in imports:
        if dll.lower() not in allowed:
            problems.append(f"imports {dll}, which is not a KnownDLL: a copy in the program's "
                            "folder would be loaded")

    if not re.search(r"^Magic\s+020b", headers, re.M):
        problems.append("not a 64-bit (PE32+) program")
    characteristics = re.search(r"^DllCharacteristics\s+([0-9a-f]+)((?:\n\t+\S+)*)", headers, re.M)
    flags = characteristics.group(2).split() if characteristics else []
    for flag in ("DYNAMIC_BASE", "NX_COMPAT", "HIGH_ENTROPY_VA"):
        if flag not in flags:
            problems.append(f"DllCharacteristics lack {flag}")
    file_flags = re.search(r"^Characteristics 0x([0-9a-f]+)", headers, re.M)
    if not file_flags or int(file_flags.group(1), 16) & 0x0001:
        problems.append("relocations stripped (IMAGE_FILE_RELOCS_STRIPPED)")
    if ".reloc" not in sections(args.objdump, args.shipped):
        problems.append("no .reloc section: the loader cannot move the image")
    if not re.search(r"^Entry 5 [0-9a-f]+ 0*[1-9a-f][0-9a-f]* Base Relocation", headers, re.M):
        problems.append("empty base relocation directory")

    image_base = int(re.search(r"^ImageBase\s+([0-9a-f]+)", headers, re.M).group(1), 16)
    text = manifest(args.objdump, args.shipped, headers, image_base)
    controls = bool(text) and COMMON_CONTROLS in text and 'version="6.0.0.0"' in text
    if (args.window or "comctl32.dll" in (d.lower() for d in imports)) and not controls:
        problems.append("COMCTL32 without the manifest's common-controls 6 dependency")
    if args.execution_level:
        level = re.search(r'requestedExecutionLevel\s+level="([^"]+)"', text or "")
        if not level or level.group(1) != args.execution_level:
            problems.append(f"manifest's execution level is {level.group(1) if level else None}, "
                            f"expected {args.execution_level}")

    if "no symbols" not in objdump(args.objdump, "-t", args.shipped):
        problems.append("shipped copy is not stripped")
    if not re.search(r"\b__stack_chk_fail$", objdump(args.objdump, "-t", args.unstripped), re.M):
        problems.append(f"{args.unstripped}: no __stack_chk_fail, built without the stack "
                        "protector")

    for problem in problems:
        print(f"FAIL: {args.shipped}: {problem}")
    if not problems:
        print(f"{args.shipped}: imports {', '.join(imports)}; {' '.join(flags)}; .reloc; "
              f"manifest {'with' if controls else 'without'} common controls"
              f"{', ' + args.execution_level if args.execution_level else ''}; stripped; "
              "stack protector in the build")
    return 1 if problems else 0


def main():
    parser = argparse.ArgumentParser(usage=__doc__)
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--allowed", required=True)
    parser.add_argument("--execution-level")
    parser.add_argument("--window", action="store_true")
    parser.add_argument("shipped")
    parser.add_argument("unstripped")
    return check(parser.parse_args())


if __name__ == "__main__":
    sys.exit(main())
