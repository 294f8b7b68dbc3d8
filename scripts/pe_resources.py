#!/usr/bin/env python3
"""Reads a Windows program's version resource and application manifest from its file, without
running it (so without Wine): the release command prints them, the tests check them.

    pe_resources.py PROGRAM...   prints each program's version strings and manifest
"""
import struct
import sys
import xml.etree.ElementTree as ET

RT_VERSION = 16
RT_MANIFEST = 24
FIXED_FILE_INFO_SIGNATURE = 0xFEEF04BD
# The releases a manifest can declare (supportedOS), by GUID, as Windows defines them.
SUPPORTED_OS = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}": "Windows Vista",
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "Windows 7",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "Windows 8",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "Windows 8.1",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}": "Windows 10 and 11",
}
ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V2 = "{urn:schemas-microsoft-com:asm.v2}"
COMPATIBILITY = "{urn:schemas-microsoft-com:compatibility.v1}"


def resources(data):
    """{(type, name, language): bytes} of every resource with a numeric type and name."""
    (header,) = struct.unpack_from("<I", data, 0x3C)
    if data[header:header + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    sections_count, optional_size = struct.unpack_from("<H12xH", data, header + 6)
    optional = header + 24
    (magic,) = struct.unpack_from("<H", data, optional)
    directories = optional + (96 if magic == 0x10B else 112)
    resource_rva, resource_size = struct.unpack_from("<II", data, directories + 2 * 8)
    sections = []
    for i in range(sections_count):
        entry = optional + optional_size + 40 * i
        virtual_size, rva, raw_size, raw_offset = struct.unpack_from("<IIII", data, entry + 8)
        sections.append((rva, max(virtual_size, raw_size), raw_offset))

    def offset_of(rva):
        for start, size, raw in sections:
            if start <= rva < start + size:
                return rva - start + raw
        raise ValueError("RVA 0x%x is in no section" % rva)

    if not resource_size:
        return {}
    root = offset_of(resource_rva)

    def entries(directory):
        named, numbered = struct.unpack_from("<HH", data, root + directory + 12)
        for i in range(named + numbered):
            name, target = struct.unpack_from("<II", data, root + directory + 16 + 8 * i)
            if not name & 0x80000000:
                yield name, target

    found = {}
    for type_id, names in entries(0):
        for name_id, languages in entries(names & 0x7FFFFFFF):
            for language, leaf in entries(languages & 0x7FFFFFFF):
                rva, size = struct.unpack_from("<II", data, root + leaf)
                start = offset_of(rva)
                found[(type_id, name_id, language)] = data[start:start + size]
    return found


def _align(offset):
    return (offset + 3) & ~3


def _version_nodes(block, offset, end):
    """(key, value, children offset, node end) of each VS_VERSIONINFO node in [offset, end)."""
    while offset < end:
        length, value_length, value_type = struct.unpack_from("<HHH", block, offset)
        if length == 0:
            return
        key_end = offset + 6
        while block[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = block[offset + 6:key_end].decode("utf-16-le")
        value_start = _align(key_end + 2)
        value_bytes = value_length * 2 if value_type == 1 else value_length
        value = block[value_start:value_start + value_bytes]
        if value_type == 1:
            value = value.decode("utf-16-le").rstrip("\0")
        yield key, value, _align(value_start + value_bytes), offset + length
        offset = _align(offset + length)


def _dotted(high, low):
    return "%d.%d.%d.%d" % (high >> 16, high & 0xFFFF, low >> 16, low & 0xFFFF)


def version_info(block):
    """{"fixed file version", "fixed product version", "translation", and each string}."""
    (key, fixed, children, end), = _version_nodes(block, 0, len(block))
    if key != "VS_VERSION_INFO":
        raise ValueError("not a version resource: " + key)
    fields = struct.unpack_from("<13I", fixed)
    if fields[0] != FIXED_FILE_INFO_SIGNATURE:
        raise ValueError("no fixed file information")
    info = {"fixed file version": _dotted(fields[2], fields[3]),
            "fixed product version": _dotted(fields[4], fields[5])}
    for key, _, table_start, table_end in _version_nodes(block, children, end):
        for name, value, strings_start, strings_end in _version_nodes(block, table_start,
                                                                     table_end):
            if key == "StringFileInfo":
                info["translation"] = name.lower()
                for string, text, _, _ in _version_nodes(block, strings_start, strings_end):
                    info[string] = text
            elif key == "VarFileInfo" and name == "Translation":
                info["declared translation"] = "%04x%04x" % struct.unpack_from("<HH", value)
    return info


def manifest_info(text):
    """{"identity": {attributes}, "run level", "ui access", "supported OS": [GUID, ...]}."""
    root = ET.fromstring(text)
    identity = root.find(ASM_V1 + "assemblyIdentity")
    level = root.find("%strustInfo/%ssecurity/%srequestedPrivileges/%srequestedExecutionLevel"
                      % ((ASM_V2,) * 4))
    return {
        "identity": dict(identity.attrib) if identity is not None else {},
        "run level": level.get("level") if level is not None else None,
        "ui access": level.get("uiAccess") if level is not None else None,
        "supported OS": [os_.get("Id").lower() for os_ in
                         root.iter(COMPATIBILITY + "supportedOS")],
    }


def read(path):
    """(version info, manifest text) of a program; either is None where it has none."""
    with open(path, "rb") as f:
        found = resources(f.read())
    version = [data for (kind, name, _), data in found.items() if (kind, name) == (RT_VERSION, 1)]
    manifest = [data for (kind, name, _), data in found.items()
                if (kind, name) == (RT_MANIFEST, 1)]
    return (version_info(version[0]) if version else None,
            manifest[0].decode("utf-8") if manifest else None)


def describe(path):
    """The lines the release command prints about one program."""
    version, manifest = read(path)
    lines = []
    if version is None:
        lines.append("no version resource")
    else:
        for name, value in version.items():
            lines.append("%s: %s" % (name, value))
    if manifest is None:
        lines.append("no manifest")
    else:
        info = manifest_info(manifest)
        lines.append("manifest identity: %s" % ", ".join(
            "%s=%s" % item for item in sorted(info["identity"].items())))
        lines.append("manifest run level: %s, uiAccess %s" % (info["run level"], info["ui access"]))
        for guid in info["supported OS"]:
            lines.append("manifest supported OS: %s %s" % (SUPPORTED_OS.get(guid, "unknown"), guid))
    return lines


def main(paths):
    for path in paths:
        print(path)
        for line in describe(path):
            print("  " + line)


if __name__ == "__main__":
    main(sys.argv[1:])
