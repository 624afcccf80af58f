#!/usr/bin/env python3
"""check_pe.py --objdump OBJDUMP --allowed DLL,DLL,... --version X.Y.Z
               [--execution-level LEVEL] [--window] [--versioninfo] SHIPPED UNSTRIPPED

Checks one shipped program, 32-bit or 64-bit, as objdump sees it:
- it imports only from the allowed libraries (the KnownDLLs and COMCTL32),
  and COMCTL32 only with the manifest's common-controls 6 dependency, which
  takes it from the side-by-side store rather than the program's folder;
- ASLR, DEP, and the relocations ASLR needs; a high-entropy base exactly
  when the program is 64-bit;
- the embedded manifest as strictly as Windows reads it, where a mistake
  stops the program before any code runs: well-formed XML, no element twice,
  the assemblyIdentity's architecture that of the PE file, valid execution
  level and DPI values, and the Windows versions it is known to run on;
- the manifest's assemblyIdentity and, with --versioninfo, the version
  resource carry the build's version (X.Y.Z.0);
- a program with a window (--window) has the common-controls dependency and
  declares its DPI awareness; --execution-level names the level its manifest
  must ask for;
- the shipped copy is stripped, and the unstripped build of the same program
  has the stack protector linked in.
"""
import argparse
import re
import struct
import subprocess
import sys
import xml.etree.ElementTree as ET

COMMON_CONTROLS = "Microsoft.Windows.Common-Controls"
RT_MANIFEST = 24
# IMAGE_FILE_HEADER.Machine: (manifest architecture, optional header magic, PE kind)
MACHINES = {0x014C: ("x86", "010b", "PE32"), 0x8664: ("amd64", "020b", "PE32+")}

ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"
COMPATIBILITY = "{urn:schemas-microsoft-com:compatibility.v1}"
WINDOWS_SETTINGS = "{http://schemas.microsoft.com/SMI/2005/WindowsSettings}"
SUPPORTED_OS = {
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "Windows 7",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "Windows 8",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "Windows 8.1",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}": "Windows 10 and 11",
}
EXECUTION_LEVELS = ("asInvoker", "highestAvailable", "requireAdministrator")
DPI_AWARE_VALUES = ("true", "false", "true/pm", "per monitor")


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


def machine(path):
    """IMAGE_FILE_HEADER.Machine of a PE file."""
    with open(path, "rb") as f:
        head = f.read(4096)
    (pe_offset,) = struct.unpack_from("<I", head, 0x3C)
    if head[pe_offset:pe_offset + 4] != b"PE\0\0":
        return None
    return struct.unpack_from("<H", head, pe_offset + 4)[0]


def versioninfo(path):
    """(major, minor, patch, build) of the VS_FIXEDFILEINFO file version, or None."""
    with open(path, "rb") as f:
        data = f.read()
    at = data.find(struct.pack("<I", 0xFEEF04BD))
    if at < 0:
        return None
    most, least = struct.unpack_from("<II", data, at + 8)
    return (most >> 16, most & 0xFFFF, least >> 16, least & 0xFFFF)


def manifest_problems(text, architecture, window, execution_level, version):
    """What Windows (or a standard user's run) would object to in the manifest."""
    if not text:
        return ["no manifest"]
    try:
        root = ET.fromstring(text.encode("utf-8"))
    except ET.ParseError as error:
        return [f"manifest is not well-formed XML: {error}"]
    problems = []
    if root.tag != ASM_V1 + "assembly" or root.get("manifestVersion") != "1.0":
        problems.append("manifest root is not an asm.v1 assembly of manifestVersion 1.0")

    # The side-by-side loader refuses an element given twice; only the
    # supported Windows versions are a list, each of them once.
    def walk(element, path):
        seen = set()
        for child in element:
            if not isinstance(child.tag, str):
                continue  # comments
            key = child.tag if child.tag != COMPATIBILITY + "supportedOS" else child.get("Id")
            name = child.tag.split("}")[-1]
            if key in seen:
                problems.append(f"{path}/{name} given twice")
            seen.add(key)
            walk(child, f"{path}/{name}")

    walk(root, "assembly")

    identity = root.find(ASM_V1 + "assemblyIdentity")
    found = identity.get("processorArchitecture") if identity is not None else None
    if found != architecture:
        problems.append(f"assemblyIdentity names architecture {found}, the program is "
                        f"{architecture}")
    found = identity.get("version") if identity is not None else None
    if found != version + ".0":
        problems.append(f"assemblyIdentity has version {found}, the build is {version}.0")

    for dependency in root.iterfind(f"{ASM_V1}dependency/{ASM_V1}dependentAssembly/"
                                    f"{ASM_V1}assemblyIdentity"):
        if dependency.get("processorArchitecture") not in ("*", architecture):
            problems.append(f"dependency {dependency.get('name')} for architecture "
                            f"{dependency.get('processorArchitecture')}")

    levels = root.findall(f"{ASM_V3}trustInfo/{ASM_V3}security/{ASM_V3}requestedPrivileges/"
                          f"{ASM_V3}requestedExecutionLevel")
    level = levels[0].get("level") if levels else None
    if level not in EXECUTION_LEVELS:
        problems.append(f"execution level {level}: without a valid one Windows virtualizes "
                        "a 32-bit program's registry writes")
    elif execution_level and level != execution_level:
        problems.append(f"manifest's execution level is {level}, expected {execution_level}")
    if levels and levels[0].get("uiAccess", "false") not in ("true", "false"):
        problems.append(f"uiAccess {levels[0].get('uiAccess')} is neither true nor false")

    declared = {os.get("Id") for os in root.iterfind(
        f"{COMPATIBILITY}compatibility/{COMPATIBILITY}application/{COMPATIBILITY}supportedOS")}
    for guid, name in SUPPORTED_OS.items():
        if guid not in declared:
            problems.append(f"compatibility section does not declare {name}")
    for guid in declared - SUPPORTED_OS.keys():
        problems.append(f"unknown supportedOS {guid}")

    dpi = root.findall(f"{ASM_V3}application/{ASM_V3}windowsSettings/{WINDOWS_SETTINGS}dpiAware")
    if dpi and (dpi[0].text or "").strip().lower() not in DPI_AWARE_VALUES:
        problems.append(f"dpiAware value {dpi[0].text!r} is not one Windows accepts")
    if window and not dpi:
        problems.append("a program with a window declares no DPI awareness")
    return problems


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

    kind = MACHINES.get(machine(args.shipped))
    if not kind:
        print(f"FAIL: {args.shipped}: neither a 32-bit nor a 64-bit x86 PE program")
        return 1
    architecture, magic, pe_kind = kind
    if not re.search(rf"^Magic\s+{magic}", headers, re.M):
        problems.append(f"an {architecture} program whose optional header is not {pe_kind}")
    characteristics = re.search(r"^DllCharacteristics\s+([0-9a-f]+)((?:\n\t+\S+)*)", headers, re.M)
    flags = characteristics.group(2).split() if characteristics else []
    for flag in ("DYNAMIC_BASE", "NX_COMPAT"):
        if flag not in flags:
            problems.append(f"DllCharacteristics lack {flag}")
    # A high-entropy base needs the 64-bit address space.
    if (architecture == "amd64") != ("HIGH_ENTROPY_VA" in flags):
        problems.append(f"HIGH_ENTROPY_VA {'missing on' if architecture == 'amd64' else 'set on'} "
                        f"an {architecture} program")
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
    problems += manifest_problems(text, architecture, args.window, args.execution_level,
                                  args.version)
    if args.versioninfo:
        found = versioninfo(args.shipped)
        expected = tuple(int(part) for part in args.version.split(".")) + (0,)
        if found != expected:
            problems.append(f"VERSIONINFO file version {found}, the build is {expected}")

    if "no symbols" not in objdump(args.objdump, "-t", args.shipped):
        problems.append("shipped copy is not stripped")
    # 32-bit C symbols carry one more leading underscore.
    if not re.search(r"\b_?__stack_chk_fail$", objdump(args.objdump, "-t", args.unstripped), re.M):
        problems.append(f"{args.unstripped}: no __stack_chk_fail, built without the stack "
                        "protector")

    for problem in problems:
        print(f"FAIL: {args.shipped}: {problem}")
    if not problems:
        print(f"{args.shipped}: imports {', '.join(imports)}; {' '.join(flags)}; .reloc; "
              f"{architecture} manifest {'with' if controls else 'without'} common controls"
              f"{', ' + args.execution_level if args.execution_level else ''}; stripped; "
              "stack protector in the build")
    return 1 if problems else 0


def main():
    parser = argparse.ArgumentParser(usage=__doc__)
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--allowed", required=True)
    parser.add_argument("--execution-level")
    parser.add_argument("--window", action="store_true")
    parser.add_argument("--version", required=True)
    parser.add_argument("--versioninfo", action="store_true")
    parser.add_argument("shipped")
    parser.add_argument("unstripped")
    return check(parser.parse_args())


if __name__ == "__main__":
    sys.exit(main())
