#!/usr/bin/python3
"""Our export parser and import walker against pefile, on every PE file that the 32-bit Wine
packages install. Usage: pe_peer.py PE_DUMP [FILE...]; without files, those listed by
`dpkg -L wine32 libwine:i386` (wine32 brings its DLLs and programs through libwine:i386).
Prints one line per disagreement, naming the file and the export or import; exits 1 on any."""
import subprocess
import sys

import pefile

BATCH = 64
# Two names equal without regard to letter case: a lookup by name finds the first one only.
CASE_TWIN = "case twin"


def package_files():
    listed = subprocess.run(["dpkg", "-L", "wine32", "libwine:i386"], capture_output=True, text=True,
                            check=True).stdout.split("\n")
    files = []
    for path in listed:
        try:
            with open(path, "rb") as f:
                if f.read(2) == b"MZ":
                    files.append(path)
        except OSError:
            pass
    return sorted(set(files))


def ours(dump, files):
    result = {}
    for i in range(0, len(files), BATCH):
        out = subprocess.run([dump] + files[i:i + BATCH], capture_output=True, check=True).stdout
        current = None
        for line in out.decode("latin-1").split("\n"):
            if not line:
                continue
            fields = line.split("\t")
            if fields[0] == "F":
                current = result.setdefault(fields[1], {"E": [], "I": [], "L": []})
            else:
                current[fields[0]].append(tuple(fields[1:]))
    return result


def text(value):
    return value.decode("latin-1") if isinstance(value, bytes) else value


def beyond_raw_data(pe, rva):
    for section in pe.sections:
        start = section.VirtualAddress
        if start <= rva < start + max(section.Misc_VirtualSize, section.SizeOfRawData):
            return rva - start >= section.SizeOfRawData
    return False


def peer(path):
    """pefile's view in our dump's form, or None when pefile takes it for no PE file."""
    try:
        pe = pefile.PE(path, fast_load=True)
    except pefile.PEFormatError:
        return None
    if pe.FILE_HEADER.Machine != 0x14C or pe.OPTIONAL_HEADER.Magic != 0x10B:
        return None
    pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_EXPORT"],
                                           pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_IMPORT"]])
    exports = []
    if hasattr(pe, "DIRECTORY_ENTRY_EXPORT"):
        for s in pe.DIRECTORY_ENTRY_EXPORT.symbols:
            if s.name is None:
                continue
            offset = pe.get_offset_from_rva(s.address)
            if offset is not None and beyond_raw_data(pe, s.address):
                # pefile places an address past a section's raw data (uninitialised data such as
                # an exported variable in .bss) at raw data pointer + distance into the section,
                # a position that holds other bytes; the file has none for it.
                offset = None
            exports.append((text(s.name), "%x" % s.ordinal, "%x" % s.address,
                            "-" if offset is None else "%x" % offset,
                            "-" if s.forwarder is None else text(s.forwarder)))
    imports = []
    for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        for imp in entry.imports:
            if imp.name is not None:
                imports.append((text(entry.dll), text(imp.name)))
    return exports, imports


def compare(path, mine, theirs):
    faults = []
    names = [e[0] for e in theirs[0]]
    for kind, a, b in (("export", mine["E"], theirs[0]), ("import", mine["I"], theirs[1])):
        for i in range(max(len(a), len(b))):
            x = a[i] if i < len(a) else None
            y = b[i] if i < len(b) else None
            if x != y:
                faults.append("%s: %s %s: ours %s, pefile %s" % (path, kind, (x or y)[-1 if kind == "import" else 0],
                                                                 x, y))
                break
    lowered = [n.lower() for n in names]
    for (name,) in mine["L"]:
        # The lookup ignores letter case and takes the first of the names that are then equal.
        if lowered.index(name.lower()) == names.index(name):
            faults.append("%s: export %s: the lookup by name finds another export" % (path, name))
    return faults


def main():
    dump = sys.argv[1]
    files = sys.argv[2:] or package_files()
    mine = ours(dump, files)
    faults, compared = [], 0
    for path in files:
        theirs = peer(path)
        if theirs is None:
            if mine.get(path, {}).get("E") or mine.get(path, {}).get("I"):
                faults.append("%s: pefile finds no 32-bit PE file, we parse one" % path)
            continue
        compared += 1
        faults += compare(path, mine[path], theirs)
    for f in faults:
        print(f)
    print("%d PE files compared, %d disagreements" % (compared, len(faults)))
    return 1 if faults or compared == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
