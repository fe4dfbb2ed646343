"""Reads what the Windows loader reads of an exe: the file and optional
headers, the section table, the import table (DLLs and functions by name
or ordinal) and the certificate table of a signed exe, and computes the
header checksum. Plain struct reads of the PE format, for 32- and 64-bit
images."""
import struct
from pathlib import Path

IMAGE_SUBSYSTEM_WINDOWS_CUI = 3
DLL_DYNAMIC_BASE = 0x0040
DLL_TERMINAL_SERVER_AWARE = 0x8000
IMPORT_DIRECTORY = 1
CERTIFICATE_DIRECTORY = 4  # its "address" is a file offset: the table is not loaded
RELOCATION_DIRECTORY = 5
WIN_CERT_REVISION_2_0 = 0x0200
WIN_CERT_TYPE_PKCS_SIGNED_DATA = 0x0002


class PeImage:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("no MZ header")
        pe = self._u32(0x3C)
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        (self.machine, section_count, self.time_stamp, _, _, optional_size,
         self.characteristics) = struct.unpack_from("<HHIIIHH", data, pe + 4)
        opt = pe + 24
        magic = self._u16(opt)
        if magic not in (0x10B, 0x20B):
            raise ValueError("unknown optional header magic %#x" % magic)
        self.is_64 = magic == 0x20B
        self.checksum_offset = opt + 64
        self.checksum = self._u32(self.checksum_offset)
        self.os_version = (self._u16(opt + 40), self._u16(opt + 42))
        self.image_version = (self._u16(opt + 44), self._u16(opt + 46))
        self.subsystem_version = (self._u16(opt + 48), self._u16(opt + 50))
        self.subsystem = self._u16(opt + 68)
        self.dll_characteristics = self._u16(opt + 70)
        directories = opt + (112 if self.is_64 else 96)
        count = self._u32(directories - 4)
        self.directories = [struct.unpack_from("<II", data, directories + 8 * i)
                            for i in range(count)]
        self.sections = []
        table = opt + optional_size
        for i in range(section_count):
            entry = table + 40 * i
            name = data[entry:entry + 8].rstrip(b"\0").decode("ascii", "replace")
            virtual_size, address, raw_size, raw_offset = struct.unpack_from(
                "<IIII", data, entry + 8)
            self.sections.append({"name": name, "virtual_size": virtual_size,
                                  "address": address, "raw_size": raw_size,
                                  "raw_offset": raw_offset})

    def _u16(self, offset):
        return struct.unpack_from("<H", self.data, offset)[0]

    def _u32(self, offset):
        return struct.unpack_from("<I", self.data, offset)[0]

    def offset_of(self, rva):
        for s in self.sections:
            if s["address"] <= rva < s["address"] + max(s["virtual_size"], s["raw_size"]):
                return s["raw_offset"] + rva - s["address"]
        raise ValueError("address %#x is in no section" % rva)

    def _text_at(self, rva):
        start = self.offset_of(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def directory(self, index):
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def computed_checksum(self):
        """The header checksum as the loader computes it: the file's 16-bit
        words summed with end-around carry, the checksum field left out, plus
        the file's length."""
        data = self.data + b"\0" * (len(self.data) % 2)
        words = struct.unpack("<%dH" % (len(data) // 2), data)
        skip = self.checksum_offset // 2
        total = sum(words) - words[skip] - words[skip + 1]
        while total >> 16:
            total = (total & 0xFFFF) + (total >> 16)
        return total + len(self.data)

    def certificates(self):
        """[(revision, type, length)] of the certificate table's entries."""
        offset, size = self.directory(CERTIFICATE_DIRECTORY)
        entries = []
        end = offset + size
        while offset and offset + 8 <= end:
            length, revision, kind = struct.unpack_from("<IHH", self.data, offset)
            entries.append((revision, kind, length))
            if length < 8:
                break
            offset += (length + 7) & ~7
        return entries

    def imports(self):
        """[(dll, [function name, or "#ordinal"])] in the order of the table."""
        rva, size = self.directory(IMPORT_DIRECTORY)
        if rva == 0 or size == 0:
            return []
        result = []
        entry = self.offset_of(rva)
        thunk_size, ordinal_flag = (8, 1 << 63) if self.is_64 else (4, 1 << 31)
        while True:
            lookup, _, _, name, first_thunk = struct.unpack_from("<IIIII", self.data, entry)
            if name == 0:
                break
            functions = []
            thunk = self.offset_of(lookup or first_thunk)
            while True:
                value = int.from_bytes(self.data[thunk:thunk + thunk_size], "little")
                if value == 0:
                    break
                if value & ordinal_flag:
                    functions.append("#%d" % (value & 0xFFFF))
                else:
                    functions.append(self._text_at((value & 0x7FFFFFFF) + 2))
                thunk += thunk_size
            result.append((self._text_at(name), functions))
            entry += 20
        return result


def read(path):
    return PeImage(Path(path).read_bytes())
