#!/usr/bin/env python3
"""Checks that a Windows DLL carries the type library as resource TYPELIB 1.

Reads the PE file's resource directory (PE32 or PE32+), finds the resource
type named "TYPELIB" with id 1, and checks that its data is a type library
(the "MSFT" signature) holding the library identifier given on the command
line. Usage: check-typelib-resource.py DLL LIBRARY-GUID
"""
import struct
import sys
import uuid


def fail(message):
    print(f"check-typelib-resource: {message}")
    sys.exit(1)


def main():
    if len(sys.argv) != 3:
        fail("usage: check-typelib-resource.py DLL LIBRARY-GUID")
    path, library = sys.argv[1], uuid.UUID(sys.argv[2])
    data = open(path, "rb").read()
    if data[:2] != b"MZ":
        fail(f"{path} is not a PE file")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        fail(f"{path} has no PE header")
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    resource_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
    table = optional + optional_size
    spans = []
    for k in range(sections):
        size, rva, raw_size, raw = struct.unpack_from("<4xIII I", data, table + k * 40 + 4)
        spans.append((rva, max(size, raw_size), raw))

    def offset(rva):
        for start, size, raw in spans:
            if start <= rva < start + size:
                return raw + rva - start
        fail(f"address {rva:#x} is in no section")

    base = offset(resource_rva)

    def entries(directory):
        named, ids = struct.unpack_from("<12xHH", data, base + directory)
        for k in range(named + ids):
            name, target = struct.unpack_from("<II", data, base + directory + 16 + 8 * k)
            if name & 0x80000000:
                length = struct.unpack_from("<H", data, base + (name & 0x7FFFFFFF))[0]
                start = base + (name & 0x7FFFFFFF) + 2
                key = data[start:start + 2 * length].decode("utf-16-le")
            else:
                key = name
            yield key, target

    def child(directory, key):
        for k, target in entries(directory):
            if k == key:
                return target
        return None

    kind = child(0, "TYPELIB")
    if kind is None or not kind & 0x80000000:
        fail(f"{path} has no TYPELIB resource")
    one = child(kind & 0x7FFFFFFF, 1)
    if one is None or not one & 0x80000000:
        fail(f"{path} has no TYPELIB resource 1")
    languages = list(entries(one & 0x7FFFFFFF))
    if not languages:
        fail(f"{path}: TYPELIB 1 has no data")
    data_rva, size = struct.unpack_from("<II", data, base + languages[0][1])
    blob = data[offset(data_rva):offset(data_rva) + size]
    if blob[:4] != b"MSFT":
        fail(f"{path}: TYPELIB 1 is not a type library")
    if library.bytes_le not in blob:
        fail(f"{path}: the type library does not carry the library identifier {library}")
    print(f"{path}: TYPELIB 1, {size} bytes, library {library}")


main()
