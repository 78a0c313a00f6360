#!/usr/bin/env python3
"""Writes the fuzz targets' seed inputs into corpus/, from the cases the unit
tests use. Run it again after changing a target's input layout."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# Code page selector bytes, as fuzz_support.h's CodePageFor numbers them.
CP949, CP1252, UTF8, CP932 = 0, 1, 2, 3

REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_DWORD_BE, REG_MULTI_SZ, REG_QWORD = 1, 2, 3, 4, 5, 7, 11


def utf16(text, terminator=True):
    return text.encode("utf-16-le") + (b"\0\0" if terminator else b"")


SEEDS = {
    "ini": [
        b"[CONFIG]\nurl_num=2\nshow_close=1\nenable_log=1\ncertify_type=1\ncertify_interval=10\n"
        b"certify_file_path=C:\\connect_certify.txt\nserver_url=http://10.0.0.1:5560/authsvl\n",
        b"[config]\nShow_Close=1\n",
        b"[CONFIG]\nenable_log=7\n",
        b"[CONFIG]\ncertify_file_path=\n",
        b"[CONFIG]\r\nurl_num = -2147483649\r\ncertify_interval=  +12abc\r\n",
        b"[CONFIG]\nenable_log=99999999999999999999\ncertify_interval=-0\n",
        b"; comment\n[OTHER]\nurl_num=1\n[CONFIG]\nurl_num=\"2\"\n[CONFIG]\nurl_num=3\n",
        b"\xef\xbb\xbf[CONFIG]\nserver_url=http://\xec\x84\x9c\xeb\xb2\x84:5560/authsvl\n",
        b"\xff\xfe" + "[CONFIG]\r\ncertify_type=2\r\n".encode("utf-16-le"),
        b"\xfe\xff" + "[CONFIG]\r\ncertify_type=2\r\n".encode("utf-16-be"),
        b"[CONFIG\nurl_num=1\n=\n[\n]\nserver_url='x'\n",
        b"-42",
        b" \t\n\v\f\r+17xyz",
    ],
    "certify": [
        bytes([CP949]) + b"T1,kim01,M,25",
        bytes([CP949]) + b"T1,kim01,M,25\r\n",
        bytes([CP949]) + b"T1,\xB1\xE8\xC3\xB6\xBC\xF6,\xB3\xB2,25\n",
        bytes([CP949]) + b"T3,,M,40",
        bytes([CP1252]) + b"a" * 60 + b"," + b"b" * 80 + b",M,25",
        bytes([UTF8]) + b"T1,kim01,M," + b"7" * 300,
        bytes([UTF8]) + b"20260306,\xf0\x9f\x8e\xac" * 13 + b",F,41",
        bytes([CP932]) + b"no commas at all",
        bytes([CP949]) + b"T1\0,kim01,M,25",
        bytes([CP949]) + b",,,\r\n\r\n",
        bytes([CP949]) + bytes(range(256)),
    ],
    "registry_value": [
        bytes([REG_SZ, REG_SZ, 14]) + utf16("PC-101") + utf16("101"),
        bytes([REG_EXPAND_SZ, REG_MULTI_SZ, 6]) + utf16("ab") + utf16("a") + utf16("b"),
        bytes([REG_SZ, REG_DWORD, 8]) + utf16("Seat") + struct.pack("<i", -7),
        bytes([REG_BINARY, REG_QWORD, 3]) + b"\x01\x02\x03" + struct.pack("<q", 1 << 40),
        bytes([REG_DWORD_BE, 0, 0]),
        bytes([REG_SZ, REG_SZ, 5]) + b"A\0B\0C" + b"1\0",
        bytes([REG_SZ, REG_SZ, 0]) + utf16("x" * 700),
    ],
    "registry_file": [
        b"Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Orvane\\Client]\n"
        b"\"PCName\"=\"PC-101\"\n\"PCNo\"=dword:00000065\n",
        b"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Nilo]\r\n"
        b"@=\"default\"\r\n\"Bin\"=hex:01,02,ff\r\n\"Multi\"=hex(7):61,00,00,00,00,00\r\n"
        b"\"Expand\"=hex(2):25,00,00,00\r\n\"Q\"=hex(b):01,00,00,00,00,00,00,00\r\n"
        b"\"Long\"=hex:01,02,\\\r\n  03,04\r\n\"Quote\"=\"a\\\"b\\\\c\"\r\n",
        b"\xff\xfe" + "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n\"N\"=\"\uc11c\"\r\n"
        .encode("utf-16-le"),
        b"Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Orvane\\Client]\n\"PCName\"=\"PC-1",
        b"[-HKEY_CURRENT_USER\\Gone]\n\"x\"=-\n[HKEY_CURRENT_USER\\A]\n\"bad\"=dword:zz\n\"ok\"=dword:1\n",
        b"REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Internet Explorer]\n\"svcVersion\"=\"11.0.9600\"\n",
    ],
    "video_link": [
        "mms://media.example.invalid/vod/movie01.wmv#Autumn%20Rain".encode(),
        b"mms://media.example.invalid/vod/movie02.wmv",
        b"mms://media.example.invalid/vod/movie03.wmv#",
        b"mms://media.example.invalid/vod/movie04.wmv?x=1#T1#T2",
        b"mms://media.example.invalid/vod/a%2Bb%20c.wmv#A%2Bb+c%41%20d%2520%20%20e%2",
        b"mms://media.example.invalid/vod/m.wmv?ip=10.0.0.5#T",
        b"mms://media.example.invalid/stream#Live",
        b"mms://media.example.invalid/authsvl/a.wmv#T",
        b"http://192.0.2.10:5560/authsvl?macaddr=001A2B3C4D5E&ipaddr=10.0.0.7&atype=0",
        b"#mms",
        b"mms:",
        b"MMS://upper.example/a.wmv#T",
        "mms://h/\uc601\ud654/\uac00\uc744.wmv#\uac00\uc744%20\ube44".encode(),
    ],
    "portal_address": [
        b"http://192.0.2.10:5560/authsvl\n1\nT1\nkim01\nM\n25\n\n\n001a2b3c4d5e 10.0.0.7",
        b"http://vod.example.org:5560/authsvl\n2\n\n\n\n\nPC-101\n101\n000000000000 10.0.0.9\n001a2b3c4d5e 0.0.0.0\n"
        b"0a0b0c0d0e0f 172.16.0.4",
        b"http://x/authsvl\n0\n\n\n\n\n\n\n",
        b"mms://x/a.wmv#T\n7\n",
        b"http://x/authsvl\n-2147483648\n\n\n\n\n\n\n0102030405060708 255.255.255.255xxxx",
        b"http://x/authsvl\n1\n&\n#\n?\n%20\n\n\n00 1.2.3.4\n1a2b 5.6.7.8",
    ],
    "ansi": [
        bytes([CP949]) + b"\xB1\xE8\xC3\xB6\xBC\xF6 kim",
        bytes([CP949]) + b"\xB1",
        bytes([CP1252]) + b"caf\xe9 \x80\x81\x8d",
        bytes([UTF8]) + "\ud55c\uad6d\uc5b4 \U0001F3AC".encode(),
        bytes([UTF8]) + b"\xed\xa0\x80\xc0\xaf\xf8\x88\x80\x80\x80",
        bytes([CP932]) + b"\x82\xa0\x82",
        bytes([4]) + utf16("\u4e2d\u6587", False),
        bytes([UTF8]) + b"\x00\xd8\x00\xdc\x3d\xd8",
        bytes([9]) + bytes(range(256)),
    ],
}


def main():
    for target, seeds in SEEDS.items():
        folder = os.path.join(HERE, "corpus", target)
        os.makedirs(folder, exist_ok=True)
        for old in os.listdir(folder):
            if old.startswith("seed-"):
                os.remove(os.path.join(folder, old))
        for i, seed in enumerate(seeds):
            with open(os.path.join(folder, "seed-%02d" % i), "wb") as out:
                out.write(seed)


if __name__ == "__main__":
    main()
