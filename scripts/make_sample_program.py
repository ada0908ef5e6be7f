#!/usr/bin/env python3
"""Writes the sample program of the new-project template: a minimal static
x86-64 Linux executable that prints "Hello from My Application" and exits 0.
It is a fixed binary of a couple of hundred bytes: one ELF header, one
loadable segment holding the whole file, the code and the message.

    python3 scripts/make_sample_program.py [OUTPUT]   (default: src/res/templates/myapp.exe)
"""
import os
import struct
import sys

BASE = 0x400000
EHDR_SIZE = 64
PHDR_SIZE = 56
MESSAGE = b"Hello from My Application\n"


def code(message_offset_from_code):
    """The program, with msg placed message_offset_from_code bytes after the
    first instruction."""
    out = b""
    out += b"\xb8\x01\x00\x00\x00"  # mov  eax, 1            ; write
    out += b"\xbf\x01\x00\x00\x00"  # mov  edi, 1            ; to standard output
    lea_end = len(out) + 7
    out += b"\x48\x8d\x35" + struct.pack("<i", message_offset_from_code - lea_end)
    #                                 lea  rsi, [rip + msg]
    out += b"\xba" + struct.pack("<I", len(MESSAGE))  # mov edx, len(msg)
    out += b"\x0f\x05"  # syscall
    out += b"\xb8\x3c\x00\x00\x00"  # mov  eax, 60           ; exit
    out += b"\x31\xff"  # xor  edi, edi          ; status 0
    out += b"\x0f\x05"  # syscall
    return out


def program():
    text = code(0)
    text = code(len(text))  # msg follows the code directly
    body = text + MESSAGE
    entry = BASE + EHDR_SIZE + PHDR_SIZE
    size = EHDR_SIZE + PHDR_SIZE + len(body)
    ehdr = (b"\x7fELF" + bytes([2, 1, 1, 0]) + bytes(8)  # 64-bit, little endian, SysV
            + struct.pack("<HHIQQQIHHHHHH",
                          2,          # ET_EXEC
                          0x3E,       # x86-64
                          1,          # version
                          entry,
                          EHDR_SIZE,  # program headers follow the ELF header
                          0,          # no section headers
                          0,          # flags
                          EHDR_SIZE, PHDR_SIZE, 1,
                          64, 0, 0))
    phdr = struct.pack("<IIQQQQQQ",
                       1,            # PT_LOAD
                       5,            # readable and executable
                       0, BASE, BASE,
                       size, size,
                       0x1000)
    data = ehdr + phdr + body
    assert len(data) == size
    return data


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        here, "..", "src", "res", "templates", "myapp.exe")
    data = program()
    with open(out, "wb") as f:
        f.write(data)
    os.chmod(out, 0o755)
    print("%s: %d bytes" % (out, len(data)))


if __name__ == "__main__":
    main()
