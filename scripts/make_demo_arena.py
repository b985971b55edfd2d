#!/usr/bin/env python3
"""Lays out a second demo game, shaped as OpenArena lays itself out: its base
archive and three mods in baseoa. Usage: make_demo_arena.py GAMEFOLDER"""
import os
import sys
import zipfile

STAMP = (2008, 10, 30, 20, 0, 0)

ARCHIVES = {
    "pak0.pk3": {"default.cfg": b"// OpenArena\n", "maps/oasago2.bsp": b"BSP" * 300,
                 "scripts/oasago2.arena": b'{ map "oasago2" longname "Sago\'s Castle" }\n'},
    "pak1-maps.pk3": {"maps/oa_dm1.bsp": b"BSP" * 100},
    "zz-instagib.pk3": {"tarrow.ini": b"[Tarrow]\r\nNAME=Instagib\r\nVERSION=1.0\r\nAUTHOR=Rail Fan\r\n",
                        "scripts/instagib.cfg": b"set g_instagib 1\n"},
    "ctf-flags.pk3": {"models/flags/red.md3": b"md3", "maps/oasago2.bsp": b"BSP" * 301},
    "oldhud.dis": {"ui/hud.menu": b"menu"},
}


def main():
    base = os.path.join(sys.argv[1], "baseoa")
    os.makedirs(base, exist_ok=True)
    for name, files in ARCHIVES.items():
        with zipfile.ZipFile(os.path.join(base, name), "w", zipfile.ZIP_DEFLATED) as archive:
            for path, data in files.items():
                archive.writestr(zipfile.ZipInfo(path, STAMP), data)


main()
