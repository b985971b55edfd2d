#!/usr/bin/env python3
"""Lays out a demo game's main folder: the base archives and eleven sample
mods, enabled and disabled, one of them a pack of two maps with their
pictures. Usage: make_demo_game.py MAINFOLDER"""
import os
import sys
import math
import struct
import zipfile

STAMP = (2004, 3, 1, 20, 0, 0)


def info(name, version, author, description):
    return ("[Tarrow]\r\nNAME=%s\r\nVERSION=%s\r\nAUTHOR=%s\r\nDescription=%s\r\n"
            % (name, version, author, description)).encode("cp1252")


MODS = {
    "sniper.pk3": {
        "tarrow.ini": info("Sniper Pack", "1.2", "Ann Marksman", "Sharper scopes and a quieter rifle."),
        "maps/mp_sniper.bsp": b"BSP" * 200, "sound/weapons/rifle.wav": b"RIFF" * 100,
        "weapons/sp/kar98k_sniper": b"weapon",
    },
    "realism.pk3": {
        "weapons/sp/kar98k_sniper": b"realistic", "sound/weapons/rifle.wav": b"RIFF" * 90,
        "weapons/sp/thompson": b"thompson",
    },
    "BetterHUD.pk3": {
        "tarrow.ini": info("Better HUD", "0.9", "Hud Smith", "A cleaner compass.\\parWorks with every map."),
        "ui/hud.menu": b"menu", "gfx/hud/compass.tga": b"tga",
    },
    "skins.pk3": {
        "tarrow.ini": info("Winter Skins", "2.0", "Frost", "White camouflage for the snow maps."),
        "skins/winter/body.tga": b"tga", "maps/mp_sniper.bsp": b"BSP" * 201,
    },
    "voices.pk3": {"sound/voices/allies.wav": b"RIFF", "sound/voices/axis.wav": b"RIFF"},
    "tanks.dis": {
        "tarrow.ini": info("Tank Battles", "1.0", "Panzer Pete", "Adds drivable tanks to two maps."),
        "maps/tank.bsp": b"BSP", "vehicles/tiger.veh": b"veh",
    },
    "nightmaps.dis": {
        "tarrow.ini": info("Night Maps", "3.1", "Owl", "Every map after dark."),
        "maps/mp_sniper.bsp": b"night",
    },
    "extras.dis": {"readme.txt": b"no information file here"},
    # Loses every file to voices.pk3, which loads after it.
    "oldvoices.pk3": {"sound/voices/allies.wav": b"RIFF old", "sound/voices/axis.wav": b"RIFF old"},
    # Sorts before pak0.pk3, so the game's own default.cfg replaces its copy.
    "aaa_tweaks.pk3": {"default.cfg": b"// faster menus\n", "ui/fast.menu": b"menu"},
}


def levelshot(ground):
    """A 160 x 120 picture as a 24-bit TGA, top row first: a sky over the ground
    that ground(x) draws, the height of the land at column x."""
    width, height = 160, 120
    rows = []
    for y in range(height):
        row = bytearray()
        for x in range(width):
            if y < ground(x):
                shade = 255 - y
                row += bytes((255, 200 + y // 4, shade - 60))  # blue and bright, BGR
            elif y < ground(x) + 4:
                row += bytes((40, 90, 60))
            else:
                row += bytes((30 + (x * 7 + y * 3) % 20, 110 - y // 3, 70 - y // 4))
        rows.append(bytes(row))
    header = struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, width, height, 24, 0x20)
    return header + b"".join(rows)


MAPS = {
    # Call of Duty's maps are IBSP version 59.
    "maps/mp_harbour.bsp": b"IBSP" + struct.pack("<i", 59) + b" harbour",
    "maps/mp_ridge.bsp": b"IBSP" + struct.pack("<i", 59) + b" ridge",
    "levelshots/mp_harbour.tga": levelshot(lambda x: 80 - (12 if 60 < x < 100 else 0)),
    "levelshots/mp_ridge.tga": levelshot(lambda x: int(70 + 25 * math.sin(x / 18.0))),
    "scripts/mappack.arena": b'{ map "mp_harbour" longname "Harbour at Dawn" type "dm" }\n'
                             b'{ map "mp_ridge" longname "Windy Ridge" type "dm" }\n',
    "tarrow.ini": info("Map Pack", "1.0", "Cartographer", "Two small maps, each with its picture."),
}
MODS["mappack.pk3"] = MAPS


def main(folder):
    os.makedirs(folder, exist_ok=True)
    for base in ("pak0.pk3", "localized_english_pak0.pk3"):
        with zipfile.ZipFile(os.path.join(folder, base), "w") as z:
            z.writestr(zipfile.ZipInfo("default.cfg", STAMP), b"// the game's own\n")
            if base == "pak0.pk3":
                z.writestr(zipfile.ZipInfo("maps/mp_sniper.bsp", STAMP), b"BSP")
    for archive, entries in MODS.items():
        with zipfile.ZipFile(os.path.join(folder, archive), "w", zipfile.ZIP_DEFLATED) as z:
            for name, data in entries.items():
                z.writestr(zipfile.ZipInfo(name, STAMP), data, zipfile.ZIP_DEFLATED)


if __name__ == "__main__":
    main(sys.argv[1])
