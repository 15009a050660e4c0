#!/usr/bin/env python3
"""Writes the seed corpus of protocol-fuzz: realistic exchanges of each operation.

The layout of an input is described at the top of protocol_fuzz.cpp.
Run from anywhere: python3 tests/fuzz/make_corpus.py
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus")

# Operations
STARTUP, CACHING, RESCAN, DOWNLOAD, UP_JAVA, UP_DEFAULT, UP_MYSOUNDS, UP_PLAIN, UP_ANY, \
    DELETE, RENAME, COMPILE = range(12)
# Folders in the harness's order
ROOT, JAVA, SOUNDS, MY_SOUNDS, DEFAULT_SOUNDS, VOICE, IMAGES, MY_IMAGES = range(8)
CAMERA = 11


def head(op, folder=0, phone_mask=0, local_mask=0, flags=0, renames=(), exists=()):
    out = bytes([op, folder, phone_mask, local_mask, flags, len(renames) | len(exists) << 2])
    for result, name in list(renames) + list(exists):
        out += bytes([result, name])
    return out


def chunk(data):
    out = b""
    while data:
        piece, data = data[:256], data[256:]
        out += bytes([0x00, len(piece) - 1]) + piece
    return out


PHONE = b"\x04"      # the phone's next chunk
PHONE_CUT = b"\x14"  # its first 7 bytes
PHONE_ALL = b"\x06"  # everything the phone has to say
TICK = b"\x09"
ABORT = b"\x0a"


def reply(i):
    return bytes([0x07 | i << 4])


OK, PROMPT, MARKER, NOT_FOUND, FULL = range(5)
# Dialog answers: result index (0: OK, 1: Cancel, 2: overwrite), name index
R_OK, R_CANCEL, R_OVERWRITE = 0, 1, 2
N_NEW, N_NOTE, N_PIC, N_RING, N_CYR, N_QUOTE, N_LF = 1, 2, 3, 4, 5, 6, 7

seeds = {
    "startup": head(STARTUP) + PHONE_ALL * 3,
    "startup-literal": head(STARTUP) + TICK + chunk(b"OK\r\n") +
    chunk(b"+FSDL: \"a.mid\",0,0,20090301,120000,100,0\r\nOK\r\n") + PHONE_ALL,
    "startup-silent": head(STARTUP) + TICK * 12,
    "caching": head(CACHING) + PHONE_ALL * 2,
    "caching-error": head(CACHING) + PHONE + reply(NOT_FOUND) + PHONE_ALL * 2,
    "rescan": head(RESCAN, MY_IMAGES) + PHONE_ALL,
    "rescan-pieces": head(RESCAN, MY_IMAGES) + PHONE_CUT * 6 + PHONE_ALL,
    "download": head(DOWNLOAD, MY_IMAGES, 0b110) + PHONE_ALL * 3,
    "download-literal": head(DOWNLOAD, MY_IMAGES, 0b010) + chunk(b"OK\r\n") +
    chunk(b"+FSFR: 0,3,3278618127\r\n") + chunk(b"+FSFR: 1,3,\xfebc\r\n#OK#") +
    chunk(b"OK\r\n"),
    "download-split-marker": head(DOWNLOAD, MY_IMAGES, 0b010) + chunk(b"OK\r\n") +
    chunk(b"+FSFR: 0,3,3278618127\r\n+FSFR: 1,3,\xfe") + chunk(b"bc\r\n#O") +
    chunk(b"K#") + chunk(b"OK\r\n"),
    "download-timeout": head(DOWNLOAD, MY_IMAGES, 0b100) + PHONE + PHONE + TICK * 2,
    "download-error": head(DOWNLOAD, MY_IMAGES, 0b100) + PHONE + reply(NOT_FOUND) + PHONE_ALL,
    "download-abort": head(DOWNLOAD, MY_IMAGES, 0b111) + PHONE + PHONE + ABORT + PHONE_ALL,
    "download-badname": head(DOWNLOAD, CAMERA, 0b011) + PHONE_ALL * 2,
    "upload-java": head(UP_JAVA, local_mask=0b11000) + PHONE_ALL * 3,
    "upload-default-sounds": head(UP_DEFAULT, local_mask=0b100011, flags=0x50) + PHONE_ALL * 4,
    "upload-default-sounds-full": head(UP_DEFAULT, local_mask=0b100011, flags=0x51) +
    PHONE_ALL * 2,
    "upload-my-sounds": head(UP_MYSOUNDS, local_mask=0b10000001, flags=0x02,
                             exists=[(R_OVERWRITE, 0)]) + PHONE_ALL * 4,
    "upload-my-sounds-rename": head(UP_MYSOUNDS, local_mask=0b10000000,
                                    exists=[(R_OK, N_RING), (R_OK, N_CYR)]) + PHONE_ALL * 3,
    "upload-plain": head(UP_PLAIN, local_mask=0b1010, flags=0x80) + PHONE_ALL * 3,
    "upload-plain-literal": head(UP_PLAIN, local_mask=0b1000, flags=0x80) +
    chunk(b"OK\r\n") + chunk(b"##>\r\n") + chunk(b"##>\r\n") + chunk(b"OK\r\n"),
    "upload-too-big": head(UP_PLAIN, local_mask=0b10) + PHONE_ALL * 2,
    "upload-memory-full": head(UP_PLAIN, local_mask=0b1000, flags=0x80) + PHONE +
    reply(FULL) + PHONE_ALL,
    "upload-abort": head(UP_ANY, MY_IMAGES, local_mask=0xff) + PHONE + PHONE + ABORT +
    PHONE_ALL * 2,
    "delete": head(DELETE, MY_IMAGES, 0b011) + PHONE_ALL * 2,
    "delete-badname": head(DELETE, CAMERA, 0b11) + PHONE_ALL * 2,
    "rename": head(RENAME, MY_IMAGES, 0b010, renames=[(R_OK, N_NEW)]) + PHONE_ALL * 4,
    "rename-overwrite": head(RENAME, MY_IMAGES, 0b010, renames=[(R_OK, N_PIC)],
                             exists=[(R_OVERWRITE, 0)]) + PHONE_ALL * 5,
    "rename-cancel": head(RENAME, MY_IMAGES, 0b010, renames=[(R_OK, N_PIC)],
                          exists=[(R_CANCEL, 0)]) + PHONE_ALL * 2,
    "rename-badname": head(RENAME, MY_IMAGES, 0b010, renames=[(R_OK, N_QUOTE)]) + PHONE_ALL,
    "rename-lost-after-erase": head(RENAME, MY_IMAGES, 0b010, renames=[(R_OK, N_NEW)]) +
    PHONE * 6 + b"\x0e" + TICK * 2,
    "compile-java": head(COMPILE) + PHONE_ALL * 4,
    "compile-java-literal": head(COMPILE) + chunk(b"OK\r\n") * 3 + chunk(b"##>\r\n") +
    chunk(b"OK\r\n") + chunk(b"##>\r\n") + chunk(b"OK\r\n"),
    # A second prompt while suitesName.utf is written.
    "compile-java-double-prompt": head(COMPILE) + chunk(b"OK\r\n") * 3 + chunk(b"##>\r\n") +
    chunk(b"OK\r\n") + chunk(b"##>\r\n") * 2 + chunk(b"OK\r\n"),
    "connection-lost": head(DOWNLOAD, MY_IMAGES, 0b100) + PHONE + PHONE + b"\xff" + TICK,
    "nested-message": head(DOWNLOAD, MY_IMAGES, 0b100) + b"\x3d" + b"OK\r\n" +
    PHONE + reply(NOT_FOUND) + PHONE_ALL,
}

os.makedirs(OUT, exist_ok=True)
for name, data in seeds.items():
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)
print(len(seeds), "seeds in", OUT)
