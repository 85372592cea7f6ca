#!/usr/bin/env python3
"""Writes the committed seed corpus of every fuzz target (fuzz/corpus/<target>/).

Run it again only to change the seeds on purpose; fuzz/run.sh never writes
here (it fuzzes a copy under the build folder).
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
US = b"\x1f"


def cp(text):
    return text.encode("cp932")


def container(plain, key, date=0x52310000):
    header = bytes([23, 0]) + b"LOCKED" + struct.pack("<I", date)
    field = bytes(b ^ 0xA6 for b in key[:32])
    header += field + bytes(32 - len(field))
    body = bytearray(plain)
    for k in range(len(body)):
        body[k] ^= key[(k % 1024) % len(key)]
    return header + bytes(body)


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def date_pattern():
    values = {
        "2001": 36908.54524594908,   # 2001-01-17 13:05:09.250
        "neg": -1.25,                 # 1899-12-29 06:00
        "y1": -693593.0,              # 0001-01-01
        "y9999": 2958465.999,         # 9999-12-31
        "heisei": 32516.0,            # 1989-01-08
    }
    patterns = {
        "default": b'yyyy"/"mm"/"dd" ("aaa")"',
        "all": b"c ddddd dddddd t tt yy yyyy m mm mmm mmmm d dd ddd dddd h hh n nn s ss z zzz",
        "ampm": b"h:nn AM/PM a/p ampm hh:mm:ss",
        "era": b"e ee eee g gg ggg",
        "quotes": b"'it''s' \"x\" \"unterminated",
        "status": cp('"▲ "yyyy"年"') + cp('"  ▼ "yyyy"年"'),
        "names": b"mmdd yyyy mdd",
        "lead": b"\x81" + b"yyyy\x82",
    }
    i = 0
    for vn, v in values.items():
        for pn, p in patterns.items():
            flags = i % 2  # fallback and Japanese tables in turn
            write("fuzz_date_pattern", f"{pn}-{vn}-{flags}",
                  bytes([flags]) + struct.pack("<d", v) + bytes([i % 8]) + p)
            i += 1
    write("fuzz_date_pattern", "nested-jp", bytes([1 | 2 | 4 | 8]) + struct.pack("<d", 43000.5) +
          bytes([3]) + b"gg yyyy/mm/dd" + US + b"c ddddd dddddd t tt")
    write("fuzz_date_pattern", "nested-en", bytes([2]) + struct.pack("<d", 43000.5) +
          bytes([1]) + b"dddd, mmmm d, yyyy" + US + b"dddddd c")
    write("fuzz_date_pattern", "nan", bytes([1]) + struct.pack("<d", float("nan")) + bytes([0]) +
          b"c yyyy")
    write("fuzz_date_pattern", "huge", bytes([0]) + struct.pack("<d", 1e300) + bytes([0]) +
          b"yyyy mm dd dddd")


SETTINGS = (cp("[SYSTEM]\r\nPASSWORD=秘密\r\nUSEPASSWORD=1\r\nDATAPATH=/home/u/日記\r\n"
               'FORMAT=yyyy"/"mm"/"dd" ("aaa")"\r\nAUTOINSERTDATE=0\r\n'
               "[FONT]\r\nSIZE=12\r\nCOLOR=-2147483640\r\nNAME=ＭＳ Ｐゴシック\r\n"
               "[OLDDIARY]\r\nSHOW=1\r\nHEIGHT=154\r\n"
               "[WINDOW]\r\nSAVE=1\r\nTOP=-1\r\nLEFT=0\r\nHEIGHT=450\r\nWIDTH=640\r\n"))


def profile():
    cases = {
        "replace": (b"SYSTEM", b"PASSWORD", b"new", b"FONT=SIZE", SETTINGS),
        "new-key": (b"FONT", b"STYLE", b"bold", b"FONT=NAME", SETTINGS),
        "new-section": (b"EXTRA", b"K", b"v", b"WINDOW=HEIGHT", SETTINGS),
        "case": (b"system", b"password", b" spaced ", b"SYSTEM=USEPASSWORD", SETTINGS),
        "quotes": (b"A", b"Q", b"'quoted'", b"A=R",
                   b"[A]\nQ = \"x\"\nR='y'\n[A]\nQ=second\n"),
        "lone-cr": (b"A", b"B", b"c", b"A=D", b"[A]\rB=1\rD=2\r\r[B]\r"),
        "no-break": (b"A", b"NEW", b"1", b"A=K", b"[A]\r\nK=v"),
        "blank-lines": (b"A", b"NEW", b"1", b"B=K", b"[A]\r\nK=v\r\n\r\n\r\n[B]\r\nK=w\r\n"),
        "zero": (b"A", b"K", b"v", b"A=L", b"[A]\r\nK=a\x00b\r\nL=c\r\n"),
        "garbage": (b"S", b"K", b"v", b"S=K", bytes(range(256))),
        "long": (b"S", b"K", b"v" * 100, b"S=L", b"[S]\r\nL=" + b"x" * 3000 + b"\r\nK=1\r\n"),
        "dbcs": (cp("表"), cp("ソ"), cp("予定"), cp("表=能"), cp("[表]\r\nソ=1\r\n能=2\r\n")),
        "bracket-key": (b"S", b"K", b"v", b"S=[K", b"[S]\r\n[K=1\r\nK]=2\r\n"),
    }
    for i, (name, (sec, key, value, probe, contents)) in enumerate(cases.items()):
        flags = 0 if i % 3 == 0 else (1 | 16 | ((i % 8) << 1))
        write("fuzz_profile", name, bytes([flags]) + US.join([sec, key, value, probe, contents]))


def profile_int():
    for i, t in enumerate([b"12", b"-2147483640", b"0x80000008", b"$80000008", b"x10", b"X7f",
                           b"0X10", b"  42", b"+7", b"-0", b"12pt", b"", b"0x", b"$",
                           b"2147483647", b"-2147483648", b"2147483648", b"0x000000001",
                           b"$123456789", b"true", b"- 1", b"0x-1", b"\t1", b"00x1"]):
        write("fuzz_profile_int", f"v{i:02d}", t)


def crypt_decode():
    key = b"secret"
    write("fuzz_crypt_decode", "valid", bytes([0]) + key + US + container(cp("日記\r\n"), key))
    write("fuzz_crypt_decode", "valid-keep", bytes([1]) + key + US + container(b"x" * 2100, key))
    write("fuzz_crypt_decode", "wrong-key", bytes([0]) + b"other" + US + container(b"abc", key))
    write("fuzz_crypt_decode", "case", bytes([2]) + b"SECRET" + US + container(b"abc", key))
    write("fuzz_crypt_decode", "empty-body", bytes([0]) + key + US + container(b"", key))
    write("fuzz_crypt_decode", "short-35", bytes([0]) + key + US + container(b"", key)[:35])
    write("fuzz_crypt_decode", "short-34", bytes([0]) + key + US + container(b"", key)[:34])
    write("fuzz_crypt_decode", "plain", bytes([4]) + key + US + b"plain text of forty bytes or so, here.")
    write("fuzz_crypt_decode", "settings", bytes([4 | 2]) + b"718306925461" + US +
          container(SETTINGS, b"718306925461"))
    write("fuzz_crypt_decode", "long-key", bytes([4]) + b"k" * 40 + US + b"data")
    write("fuzz_crypt_decode", "a6-key", bytes([4]) + cp("え") + US + b"data")
    write("fuzz_crypt_decode", "crp-taken", bytes([1 | 8]) + key + US + container(b"abc", key))
    write("fuzz_crypt_decode", "empty-key", bytes([0]) + US + container(b"abc", key))
    write("fuzz_crypt_decode", "block", bytes([4]) + b"abc" + US + bytes(range(256)) * 5)


def cp932():
    write("fuzz_cp932", "text", bytes([0]) + cp("日記を書く。ｶﾀｶﾅ、①Ⅰ㈱") + b"\r\n")
    write("fuzz_cp932", "nec-ibm", bytes([0]) + bytes.fromhex("8790 8791 ed40 eefc fa40 fa4a fa5b"
                                                              .replace(" ", "")))
    write("fuzz_cp932", "invalid", bytes([0]) + bytes([0x80, 0xA0, 0xFD, 0xFE, 0xFF, 0x81, 0x20,
                                                       0x85, 0x40, 0xEB, 0x40, 0x81]))
    write("fuzz_cp932", "controls", bytes([0]) + bytes(range(0, 0x80)))
    write("fuzz_cp932", "utf16", bytes([1]) + "日記 ok ㈱ \U0001F600 ¥".encode("utf-16-le"))
    write("fuzz_cp932", "utf16-escapes", bytes([1]) + struct.pack("<6H", 0xDC81, 0xDC40, 0x41,
                                                                   0xDCFF, 0xD800, 0x42))
    write("fuzz_cp932", "utf8", bytes([2]) + "日記 ｶﾅ ～ 〜 −".encode("utf-8"))
    write("fuzz_cp932", "utf8-bad", bytes([2]) + b"\xc0\xaf \xed\xa0\x80 \xf4\x90\x80\x80 \xe3\x81")


def entry_load():
    text = cp("今日は晴れ。\r\n散歩した。\n") + b"\x01\x1a\x7f\rend"
    write("fuzz_entry_load", "plain", bytes([0]) + b"pw" + US + text)
    write("fuzz_entry_load", "zero", bytes([0]) + US + b"a\x00b")
    write("fuzz_entry_load", "locked", bytes([1]) + b"pw" + US + container(text, b"pw"))
    write("fuzz_entry_load", "wrapped", bytes([1 | 4]) + cp("パス") + US + text)
    write("fuzz_entry_load", "sealed", bytes([1]) + b"other" + US + container(text, b"pw"))
    write("fuzz_entry_load", "raw", bytes([1]) + b"pw" + US + b"not a container at all, long enough")
    write("fuzz_entry_load", "both", bytes([1 | 2]) + b"pw" + US + container(text, b"pw"))
    write("fuzz_entry_load", "invalid", bytes([0]) + b"pw" + US + bytes([0x81, 0x0a, 0xff, 0x85]))


def keeping_files():
    import zlib
    import struct
    text = "日記\r\n\U0001F600".encode("utf-8")
    header = (b"KUVDRAFT1\n" + b"/tmp/data".hex().encode() + b"\n2026 12 8 1796691600\n"
              + b"1 1 1 1 66 1234 5 99 77 0 0 0 0 -1 0 0\n" + str(len(text)).encode() + b"\n")
    write("fuzz_keeping_files", "draft", bytes([1]) + b"pw" + US + header + text)
    write("fuzz_keeping_files", "sealed-draft",
          bytes([1]) + b"pw" + US + container(header + text, b"pw"))
    for name, kind, body in (("version", b"P", cp("今日は晴れ\r\n")),
                             ("locked-version", b"L", container(cp("鍵"), b"pw"))):
        version = (b"KUVHIST1" + kind + b"\0\0\0" + struct.pack("<qQI", 1796691600, len(body),
                   zlib.crc32(body)) + zlib.compress(body))
        write("fuzz_keeping_files", name, bytes([0]) + b"pw" + US + version)


if __name__ == "__main__":
    date_pattern()
    profile()
    profile_int()
    crypt_decode()
    cp932()
    entry_load()
    keeping_files()
