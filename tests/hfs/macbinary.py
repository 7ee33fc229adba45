"""MacBinary II files, the form in which hcopy -m puts a file with both forks on a volume."""
import struct


def crc16(data):  # CRC-16/XMODEM, the MacBinary II header's check
    crc = 0
    for b in data:
        crc ^= b << 8
        for _ in range(8):
            crc = ((crc << 1) ^ 0x1021 if crc & 0x8000 else crc << 1) & 0xFFFF
    return crc


def macbinary(path, name, data, rsrc):
    head = bytearray(128)
    head[1] = len(name)
    head[2:2 + len(name)] = name
    head[65:73] = b"TEXTBWCK"
    struct.pack_into(">II", head, 83, len(data), len(rsrc))
    head[122] = head[123] = 129
    struct.pack_into(">H", head, 124, crc16(head[:124]))
    pad = lambda b: b + bytes(-len(b) % 128)
    with open(path, "wb") as f:
        f.write(head + pad(data) + pad(rsrc))
