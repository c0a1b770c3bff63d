#!/usr/bin/env python3
"""Checks a Windows program of a release archive as Windows would see it:

    check_windows_program.py --version 1.0 PROGRAM.exe...

Each program must be a 64-bit PE file with
- a version resource: fixed file and product version x.y.z.w from VERSION,
  and the strings ProductName "tgraminterp", ProductVersion and FileVersion
  VERSION, OriginalFilename the file's name, a FileDescription;
- an application manifest (resource 1 of type 24) that is well-formed XML,
  asks for no elevation (asInvoker) and declares Windows 10 and 11;
- no debug data (no .debug sections, no symbol table);
- no DLL of the compiler's run-time (lib*.dll): it is linked statically.
Prints one line per program; exit status 1 when any check fails.
"""

import argparse
import os
import re
import struct
import sys
import xml.etree.ElementTree as ElementTree

RT_VERSION = 16
RT_MANIFEST = 24
WINDOWS_10_AND_11 = "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"


class PeFile:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        data = self.data
        if data[:2] != b"MZ":
            raise ValueError("not a PE file (no MZ header)")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE file (no PE signature)")
        (self.machine, sections, _, self.symbol_table, self.symbol_count, optional_size,
         _) = struct.unpack_from("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        if struct.unpack_from("<H", data, optional)[0] != 0x20B:
            raise ValueError("not a 64-bit (PE32+) program")
        directory_count = struct.unpack_from("<I", data, optional + 108)[0]
        self.directories = [struct.unpack_from("<II", data, optional + 112 + 8 * i)
                            for i in range(directory_count)]
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            raw_name, virtual_size, address, raw_size, raw_offset = struct.unpack_from(
                "<8sIIII", data, table + 40 * i)
            name = raw_name.rstrip(b"\0").decode("ascii", "replace")
            if name.startswith("/"):  # a long name, in the string table
                strings = self.symbol_table + 18 * self.symbol_count
                start = strings + int(name[1:])
                name = data[start:data.index(b"\0", start)].decode("ascii", "replace")
            self.sections.append((name, address, max(virtual_size, raw_size), raw_offset))

    def offset(self, rva):
        for _, address, size, raw_offset in self.sections:
            if address <= rva < address + size:
                return raw_offset + rva - address
        raise ValueError("address %#x lies in no section" % rva)

    def c_string(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii", "replace")

    def resources(self):
        """{(type, id): bytes} for the resources named by numbers."""
        if len(self.directories) <= 2 or self.directories[2][0] == 0:
            return {}
        base = self.offset(self.directories[2][0])
        found = {}

        def walk(directory, path):
            named, numbered = struct.unpack_from("<HH", self.data, base + directory + 12)
            for i in range(named + numbered):
                name, target = struct.unpack_from("<II", self.data, base + directory + 16 + 8 * i)
                key = path + [name]
                if target & 0x80000000:
                    walk(target & 0x7FFFFFFF, key)
                else:
                    rva, size = struct.unpack_from("<II", self.data, base + target)
                    start = self.offset(rva)
                    found.setdefault((key[0], key[1]), self.data[start:start + size])

        walk(0, [])
        return found

    def imported_dlls(self):
        if len(self.directories) <= 1 or self.directories[1][0] == 0:
            return []
        dlls = []
        descriptor = self.offset(self.directories[1][0])
        while True:
            fields = struct.unpack_from("<IIIII", self.data, descriptor)
            if fields == (0, 0, 0, 0, 0):
                return dlls
            dlls.append(self.c_string(fields[3]))
            descriptor += 20


def version_quad(version):
    parts = [int(p) for p in version.split(".")]
    return ".".join(str(p) for p in (parts + [0, 0, 0, 0])[:4])


def check(path, version):
    failures = []
    program = PeFile(path)
    if program.machine != 0x8664:
        failures.append("machine %#x is not x86-64" % program.machine)
    resources = program.resources()

    info = resources.get((RT_VERSION, 1))
    if info is None:
        failures.append("no version resource")
    else:
        fixed = info.find(struct.pack("<I", 0xFEEF04BD))
        if fixed < 0:
            failures.append("the version resource has no fixed file information")
        else:
            file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<IIII", info, fixed + 8)
            for what, ms, ls in (("file", file_ms, file_ls), ("product", product_ms, product_ls)):
                quad = "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
                if quad != version_quad(version):
                    failures.append("fixed %s version %s, not %s" % (what, quad, version_quad(version)))
        text = info.decode("utf-16-le", "replace")
        expected = {"ProductName": "tgraminterp", "ProductVersion": version, "FileVersion": version,
                    "OriginalFilename": os.path.basename(path)}
        for key in ("ProductName", "ProductVersion", "FileVersion", "OriginalFilename",
                    "FileDescription", "LegalCopyright"):
            match = re.search(key + "\0+([^\0]*)\0", text)
            if match is None or not match.group(1):
                failures.append("the version resource has no %s" % key)
            elif key in expected and match.group(1) != expected[key]:
                failures.append("%s is %r, not %r" % (key, match.group(1), expected[key]))

    manifest = resources.get((RT_MANIFEST, 1))
    if manifest is None:
        failures.append("no application manifest")
    else:
        try:
            ElementTree.fromstring(manifest)
        except ElementTree.ParseError as error:
            failures.append("the manifest is not well-formed XML: %s" % error)
        text = manifest.decode("utf-8", "replace")
        if not re.search(r'level="asInvoker"', text):
            failures.append("the manifest does not ask for asInvoker")
        if WINDOWS_10_AND_11 not in text:
            failures.append("the manifest does not declare Windows 10 and 11")

    debug = [name for name, _, _, _ in program.sections if name.startswith(".debug")]
    if debug or program.symbol_table:
        failures.append("not stripped: %s" % (", ".join(debug) or "a symbol table"))
    runtime_dlls = [dll for dll in program.imported_dlls() if dll.lower().startswith("lib")]
    if runtime_dlls:
        failures.append("needs the DLLs %s" % ", ".join(runtime_dlls))
    return failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--version", required=True)
    parser.add_argument("programs", nargs="+")
    args = parser.parse_args()
    status = 0
    for path in args.programs:
        try:
            failures = check(path, args.version)
        except (ValueError, struct.error) as error:
            failures = [str(error)]
        name = os.path.basename(path)
        if failures:
            status = 1
            for failure in failures:
                print("%s: %s" % (name, failure))
        else:
            print("%s: version resource %s, manifest (asInvoker, Windows 10 and 11), stripped, "
                  "no run-time DLLs" % (name, args.version))
    return status


if __name__ == "__main__":
    sys.exit(main())
