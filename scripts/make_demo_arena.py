#!/usr/bin/env python3
"""Lays out a second demo game, shaped as OpenArena lays itself out: its base
archive and three mods in baseoa, and a mod folder beside it.
Usage: make_demo_arena.py GAMEFOLDER"""
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

MOD_FOLDER = "excessive"
MOD_ARCHIVES = {"xp-core.pk3": {"xp.cfg": b"set xp_rails 1\n"}}


def lay_out(folder, archives):
    os.makedirs(folder, exist_ok=True)
    for name, files in archives.items():
        with zipfile.ZipFile(os.path.join(folder, name), "w", zipfile.ZIP_DEFLATED) as archive:
            for path, data in files.items():
                archive.writestr(zipfile.ZipInfo(path, STAMP), data)


def main():
    lay_out(os.path.join(sys.argv[1], "baseoa"), ARCHIVES)
    mod = os.path.join(sys.argv[1], MOD_FOLDER)
    lay_out(mod, MOD_ARCHIVES)
    with open(os.path.join(mod, "description.txt"), "wb") as description:
        description.write(b"Excessive Plus\n")


main()
