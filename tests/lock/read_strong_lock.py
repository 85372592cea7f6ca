#!/usr/bin/python3
"""Reads one entry of a strong-locked diary with libsodium (through PyNaCl)
and docs/strong-lock.md alone, to check that the format document is whole.

usage: read_strong_lock.py DATA_FOLDER YYYY-MM-DD   (the password on stdin)
Prints the entry's text; exit 1 when anything does not check, 77 without
PyNaCl.
"""
import struct
import sys

try:
    from nacl import bindings as b
    from nacl.encoding import RawEncoder
    from nacl.hash import blake2b
except ImportError:
    sys.exit(77)


def fail(why):
    print(why, file=sys.stderr)
    sys.exit(1)


def main():
    data, day = sys.argv[1], sys.argv[2]
    password = sys.stdin.buffer.readline().rstrip(b"\r\n")
    key_file = open(data + "/kuvandoro.key", "rb").read()
    if key_file[:6] != b"KUVKEY" or key_file[6] != 1:
        fail("not a key file")
    count = key_file[24]
    body = key_file[: 32 + 104 * count]
    if blake2b(body, digest_size=32, encoder=RawEncoder) != key_file[len(body):]:
        fail("key file checksum")
    data_key = None
    for i in range(count):
        slot = body[32 + 104 * i: 32 + 104 * (i + 1)]
        if slot[0] != 1:
            continue
        ops, mem = struct.unpack("<IQ", slot[4:16])
        kek = b.crypto_pwhash_alg(32, password, slot[16:32], ops, mem, b.crypto_pwhash_ALG_ARGON2ID13)
        data_key = b.crypto_aead_xchacha20poly1305_ietf_decrypt(
            slot[56:104], key_file[:24] + slot[:32], slot[32:56], kek)
    if data_key is None:
        fail("no password slot")
    entry = open("%s/%s/%s%s.kvd" % (data, day[:4], day[5:7], day[8:10]), "rb").read()
    if entry[:6] != b"KUVENT" or entry[8:24] != key_file[8:24]:
        fail("not an entry of this diary")
    padded = b.crypto_aead_xchacha20poly1305_ietf_decrypt(
        entry[48:], entry[:24] + day.encode("ascii"), entry[24:48], data_key)
    sys.stdout.buffer.write(b.sodium_unpad(padded, 256))


main()
