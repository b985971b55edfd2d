#!/usr/bin/env python3
"""Lays out a second demo game, shaped as OpenArena lays itself out: its base
archive and four mods in baseoa (one a map whose textures are in a disabled
pack), and a mod folder beside it.
Usage: make_demo_arena.py GAMEFOLDER"""
import os
import struct
import sys
import zipfile

STAMP = (2008, 10, 30, 20, 0, 0)


def bsp(shaders, entities):
    """A Quake III map (IBSP 46) whose surfaces draw these shaders; no geometry."""
    lumps = [b""] * 17
    lumps[0] = entities + b"\0"
    lumps[1] = b"".join(name.encode().ljust(64, b"\0") + bytes(8) for name in shaders)
    lumps[13] = b"".join(struct.pack("<i", index) + bytes(100) for index in range(len(shaders)))
    out, offset = b"IBSP" + struct.pack("<i", 46), 8 + 17 * 8
    for lump in lumps:
        out += struct.pack("<ii", offset, len(lump))
        offset += len(lump)
    return out + b"".join(lumps)


def levelshot():
    """A 128 x 96 TGA of grey ruins under an orange sky."""
    width, height = 128, 96
    rows = b""
    for y in range(height):
        for x in range(width):
            ruin = y > 50 - (20 if (x // 16) % 3 == 0 else 0)
            rows += bytes((110, 110, 120)) if ruin else bytes((40, 120 + y, 230))
    return struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, width, height, 24, 0x20) + rows


SKY = [f"env/ruins_{side}.jpg" for side in ("rt", "bk", "lf", "ft", "up", "dn")]

ARCHIVES = {
    "pak0.pk3": {"default.cfg": b"// OpenArena\n", "maps/oasago2.bsp": bsp(["textures/sago/stone"], b""),
                 "textures/sago/stone.jpg": b"jpg", "textures/sago/metal.tga": b"tga",
                 "scripts/oasago2.arena": b'{ map "oasago2" longname "Sago\'s Castle" }\n'},
    "pak1-maps.pk3": {"maps/oa_dm1.bsp": bsp(["textures/sago/metal", "noshader"], b"")},
    "zz-instagib.pk3": {"tarrow.ini": b"[Tarrow]\r\nNAME=Instagib\r\nVERSION=1.0\r\nAUTHOR=Rail Fan\r\n",
                        "scripts/instagib.cfg": b"set g_instagib 1\n"},
    "ctf-flags.pk3": {"models/flags/red.md3": b"md3",
                      "maps/oasago2.bsp": bsp(["textures/sago/stone"], b'{\n"classname" "worldspawn"\n}\n')},
    "oldhud.dis": {"ui/hud.menu": b"menu"},
    # A third-party map that needs a texture pack the player disabled.
    "oa-ruins.pk3": {
        "maps/oa_ruins.bsp": bsp(["textures/ruins/wall", "textures/ruins/floor", "textures/ruins/sky",
                                  "textures/ruins/pillar"],
                                 b'{\n"classname" "worldspawn"\n"music" "music/ruins.ogg"\n}\n'),
        "levelshots/oa_ruins.tga": levelshot(),
        "scripts/oa_ruins.arena": b'{ map "oa_ruins" longname "Ruins of Sago" type "ffa" }\n',
        "scripts/ruins.shader": b"textures/ruins/sky\n{\n\tskyparms env/ruins - -\n\tsurfaceparm sky\n}\n",
        "textures/ruins/pillar.tga": b"tga", "music/ruins.ogg": b"OggS",
        "tarrow.ini": b"[Tarrow]\r\nNAME=Ruins of Sago\r\nVERSION=1.0\r\nAUTHOR=Mapper\r\n",
    },
    "ruins-textures.dis": {"textures/ruins/wall.jpg": b"jpg", "textures/ruins/floor.jpg": b"jpg",
                           **{side: b"jpg" for side in SKY}},
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
