// The games Tarrow knows, one profile each. Where a fact comes from is said
// beside it; "unsure" marks what only one source gives. A wrong guess costs
// the player nothing: an own archive that is not recognised is shown as a mod
// (and Fix never renames the game's own), a registry value that is not there
// finds nothing, and a program that is not found is asked for.
//
// Sources: the open engines' files.c (ioquake3, iortcw, ET: Legacy, OpenJK,
// openmohaa, ioEF-cMod, Urban Terror 4.2), Debian's game-data-packager and the
// games' retail console logs.
#include "games/game.h"

namespace {

// One folder holds both RTCW programs' archives, and each program's are the
// game's own to the other too: renaming one breaks that program.
// game-data-packager: pak0, sp_pak1-sp_pak4, sp_pakG, mp_pak0-mp_pak5,
// mp_pakmaps0-mp_pakmaps6, mp_bin; iortcw adds mp_bin0 and the rend2 shaders.
std::vector<std::wstring_view> RtcwOwnArchives() {
    return {L"pak0.pk3", L"sp_pak*.pk3", L"mp_pak*.pk3", L"mp_bin*.pk3", L"*_rend2_shaders*.pk3"};
}

}  // namespace

const std::vector<GameProfile>& GameProfiles() {
    static const std::vector<GameProfile> profiles = {
        {
            .id = L"cod-demo",
            .name = L"Call of Duty Single Player Demo",
            .archiveFolder = L"main",
            // The demo's installer lays out these two.
            .ownArchives = {L"pak0.pk3", L"localized_english_pak0.pk3"},
            .ownNamesExact = true,
            // Retail console log: localized_*.pk3 are searched after everything else.
            .rule = OrderRule::Localized,
            .programs = {L"CoDSP*.exe"},
            .registry = {{L"SOFTWARE\\Activision\\Call of Duty Single Player Demo", L"InstallPath"}},
            // The demo has no mod folders.
            .modFolders = false,
        },
        {
            .id = L"cod",
            .name = L"Call of Duty",
            .archiveFolder = L"main",
            // Patch 1.3 adds paka and pakb; pak7 was never shipped.
            .ownArchives = {L"pak0.pk3", L"pak1.pk3", L"pak2.pk3", L"pak3.pk3", L"pak4.pk3", L"pak5.pk3", L"pak6.pk3",
                            L"pak8.pk3", L"pak9.pk3", L"paka.pk3", L"pakb.pk3", L"localized_*_pak*.pk3"},
            .rule = OrderRule::Localized,
            .programs = {L"CoDSP.exe", L"CoDMP.exe"},
            .registry = {{L"SOFTWARE\\Activision\\Call of Duty", L"InstallPath"}},
            // Unsure.
            .steamApp = 2620,
            // Mods\<name>, started with +set fs_game mods/<name> (unsure).
            .modsFolder = L"Mods",
        },
        {
            .id = L"coduo",
            .name = L"Call of Duty: United Offensive",
            // The expansion's folder is searched before main; the localized
            // archives of both come last, uo's first (retail console log).
            .archiveFolder = L"uo",
            .baseFolders = {L"main"},
            .ownArchives = {L"pakuo0*.pk3", L"localized_*_pakuo0*.pk3"},
            .rule = OrderRule::Localized,
            .programs = {L"CoDUOSP.exe", L"CoDUOMP.exe"},
            .registry = {{L"SOFTWARE\\Activision\\Call of Duty United Offensive", L"InstallPath"}},
            // Unsure.
            .steamApp = 2640,
            .modsFolder = L"Mods",
        },
        {
            .id = L"q3",
            .name = L"Quake III Arena",
            .archiveFolder = L"baseq3",
            // game-data-packager: pak0 from the CD, pak1-pak8 from point release 1.32.
            .ownArchives = {L"pak0.pk3", L"pak1.pk3", L"pak2.pk3", L"pak3.pk3", L"pak4.pk3", L"pak5.pk3", L"pak6.pk3",
                            L"pak7.pk3", L"pak8.pk3"},
            // Quake III 1.32 searches loose files after archives; ioquake3 before.
            .programs = {L"quake3.exe", L"ioquake3*.exe"},
            .openEngines = {L"ioquake3*.exe"},
            .registry = {{L"SOFTWARE\\Id\\Quake III Arena", L"INSTALLPATH"}},
            .steamApp = 2200,
            .gogId = L"1441704920",
            // ioquake3's.
            .userFolders = {L"%APPDATA%\\Quake3"},
        },
        {
            .id = L"q3ta",
            .name = L"Quake III: Team Arena",
            .archiveFolder = L"missionpack",
            .baseFolders = {L"baseq3"},
            .ownArchives = {L"pak0.pk3", L"pak1.pk3", L"pak2.pk3", L"pak3.pk3"},
            .programs = {L"quake3.exe", L"ioquake3*.exe"},
            .openEngines = {L"ioquake3*.exe"},
            // Team Arena installs into Quake III's folder and key.
            .registry = {{L"SOFTWARE\\Id\\Quake III Arena", L"INSTALLPATH"}},
            .steamApp = 2350,
            // ioquake3's.
            .userFolders = {L"%APPDATA%\\Quake3"},
        },
        {
            .id = L"openarena",
            .name = L"OpenArena",
            .archiveFolder = L"baseoa",
            // Debian's openarena-data and openarena-088-data.
            .ownArchives = {L"pak0.pk3", L"pak1-maps.pk3", L"pak2-players.pk3", L"pak2-players-mature.pk3",
                            L"pak4-textures.pk3", L"pak5-TA.pk3", L"pak6-misc.pk3", L"pak6-patch085.pk3",
                            L"pak6-patch088.pk3"},
            // Its engine is ioquake3's.
            .looseFilesFirst = true,
            .programs = {L"openarena*.exe"},
            .openEngines = {L"openarena*.exe", L"ioquake3*.exe"},
            .userFolders = {L"%APPDATA%\\OpenArena"},
        },
        {
            .id = L"rtcw-sp",
            .name = L"Return to Castle Wolfenstein (single player)",
            .archiveFolder = L"main",
            .ownArchives = RtcwOwnArchives(),
            // iortcw's FS_AddGameDirectory: sp_* sort as zz*, mp_* are skipped.
            .rule = OrderRule::RtcwSingle,
            .programs = {L"WolfSP.exe"},
            // iortcw.
            .openEngines = {L"iowolfsp*.exe"},
            .registry = {{L"SOFTWARE\\Activision\\Return to Castle Wolfenstein", L"InstallPath"},
                         {L"SOFTWARE\\Activision\\Return to Castle Wolfenstein - Game of The Year Edition",
                          L"InstallPath"}},
            .steamApp = 9010,
            .gogId = L"1441704976",
            // iortcw's.
            .userFolders = {L"%DOCUMENTS%\\RTCW"},
        },
        {
            .id = L"rtcw-mp",
            .name = L"Return to Castle Wolfenstein (multiplayer)",
            .archiveFolder = L"main",
            .ownArchives = RtcwOwnArchives(),
            // Held against Debian's rtcw-server: mp_* sort as zz*, sp_* and lowercase zz* do not load.
            .rule = OrderRule::RtcwMulti,
            .programs = {L"WolfMP.exe"},
            .openEngines = {L"iowolfmp*.exe"},
            .registry = {{L"SOFTWARE\\Activision\\Return to Castle Wolfenstein", L"InstallPath"},
                         {L"SOFTWARE\\Activision\\Return to Castle Wolfenstein - Game of The Year Edition",
                          L"InstallPath"}},
            .steamApp = 9010,
            .gogId = L"1441704976",
            // iortcw's.
            .userFolders = {L"%DOCUMENTS%\\RTCW"},
        },
        {
            .id = L"et",
            .name = L"Wolfenstein: Enemy Territory",
            .archiveFolder = L"etmain",
            .ownArchives = {L"pak0.pk3", L"pak1.pk3", L"pak2.pk3", L"mp_bin.pk3"},
            .programs = {L"ET.exe"},
            .openEngines = {L"etl*.exe"},
            .registry = {{L"SOFTWARE\\Activision\\Wolfenstein - Enemy Territory", L"InstallPath"}},
        },
        {
            .id = L"etl",
            .name = L"ET: Legacy",
            .archiveFolder = L"etmain",
            .ownArchives = {L"pak0.pk3", L"pak1.pk3", L"pak2.pk3", L"mp_bin.pk3"},
            // ET: Legacy's files.c searches loose files before archives (unsure).
            .looseFilesFirst = true,
            .programs = {L"etl.exe"},
            .openEngines = {L"etl*.exe"},
            .registry = {{L"SOFTWARE\\ETLegacy", L"InstallPath"}},
            .userFolders = {L"%DOCUMENTS%\\ETLegacy"},
        },
        {
            .id = L"mohaa",
            .name = L"Medal of Honor: Allied Assault",
            .archiveFolder = L"main",
            // The retail program's letter case; the file system ignores it.
            .ownArchives = {L"Pak0.pk3", L"Pak1.pk3", L"Pak2.pk3", L"Pak3.pk3", L"Pak4.pk3", L"Pak5.pk3", L"Pak6.pk3"},
            .programs = {L"MOHAA.exe"},
            .openEngines = {L"openmohaa*.exe"},
            // The value's name is unsure. Its ergc subkey holds the CD key: never read.
            .registry = {{L"SOFTWARE\\Electronic Arts\\EA GAMES\\Medal of Honor Allied Assault", L"InstallPath"}},
            // openmohaa's.
            .userFolders = {L"%APPDATA%\\openmohaa"},
        },
        {
            .id = L"mohsh",
            .name = L"Medal of Honor: Spearhead",
            .archiveFolder = L"mainta",
            .baseFolders = {L"main"},
            .ownArchives = {L"pak1.pk3", L"pak2.pk3", L"pak3.pk3", L"pak4.pk3", L"pak5.pk3"},
            .programs = {L"moh_spearhead.exe", L"MOHAA.exe"},
            .openEngines = {L"openmohaa*.exe"},
            // openmohaa's.
            .userFolders = {L"%APPDATA%\\openmohaa"},
        },
        {
            .id = L"mohbt",
            .name = L"Medal of Honor: Breakthrough",
            .archiveFolder = L"maintt",
            .baseFolders = {L"main"},
            .ownArchives = {L"pak1.pk3", L"pak2.pk3", L"pak3.pk3", L"pak4.pk3"},
            .programs = {L"moh_breakthrough.exe", L"MOHAA.exe"},
            .openEngines = {L"openmohaa*.exe"},
            // openmohaa's.
            .userFolders = {L"%APPDATA%\\openmohaa"},
        },
        {
            .id = L"jk2",
            .name = L"Star Wars Jedi Knight II: Jedi Outcast",
            .archiveFolder = L"base",
            .ownArchives = {L"assets0.pk3", L"assets1.pk3", L"assets2.pk3", L"assets5.pk3"},
            .programs = {L"jk2sp.exe", L"jk2mp.exe"},
            // OpenJO and JK2MV.
            .openEngines = {L"openjo*.exe", L"jk2mv*.exe"},
            // The installer writes "Install Path", Steam "InstallPath"; the game lies in GameData below it.
            .registry = {{L"SOFTWARE\\LucasArts Entertainment Company LLC\\Star Wars JK II Jedi Outcast\\1.0",
                          L"Install Path"},
                         {L"SOFTWARE\\LucasArts Entertainment Company LLC\\Star Wars JK II Jedi Outcast\\1.0",
                          L"InstallPath"}},
            .below = L"GameData",
            .steamApp = 6030,
            // OpenJO's and JK2MV's.
            .userFolders = {L"%DOCUMENTS%\\My Games\\OpenJO", L"%DOCUMENTS%\\jk2mv"},
        },
        {
            .id = L"jka",
            .name = L"Star Wars Jedi Knight: Jedi Academy",
            .archiveFolder = L"base",
            .ownArchives = {L"assets0.pk3", L"assets1.pk3", L"assets2.pk3", L"assets3.pk3"},
            .programs = {L"jasp.exe", L"jamp.exe"},
            // OpenJK.
            .openEngines = {L"openjk*.exe"},
            .registry = {{L"SOFTWARE\\LucasArts\\Star Wars Jedi Knight Jedi Academy\\1.0", L"Install Path"},
                         {L"SOFTWARE\\LucasArts\\Star Wars Jedi Knight Jedi Academy\\1.0", L"InstallPath"}},
            .below = L"GameData",
            .steamApp = 6020,
            // OpenJK's.
            .userFolders = {L"%DOCUMENTS%\\My Games\\OpenJK"},
        },
        {
            .id = L"ef",
            .name = L"Star Trek: Voyager Elite Force",
            .archiveFolder = L"BaseEF",
            .ownArchives = {L"pak0.pk3", L"pak1.pk3", L"pak2.pk3"},
            .programs = {L"stvoy.exe", L"stvoyHM.exe"},
            // ioEF-cMod.
            .openEngines = {L"cmod*.exe", L"ioEF*.exe"},
            // Unsure.
            .registry = {{L"SOFTWARE\\Activision\\Star Trek: Voyager - Elite Force\\v1.0", L"INSTALLPATH"}},
            // ioEF-cMod's.
            .userFolders = {L"%APPDATA%\\STVEF"},
        },
        {
            .id = L"urt",
            .name = L"Urban Terror",
            .archiveFolder = L"q3ut4",
            // 4.2 and 4.3.
            .ownArchives = {L"zpak000.pk3", L"zpak000_assets.pk3", L"zpak001_assets.pk3", L"zUrT43_*.pk3"},
            // Its 4.2 engine is ioquake3's of 2012.
            .looseFilesFirst = true,
            .programs = {L"Quake3-UrT*.exe"},
            .openEngines = {L"Quake3-UrT*.exe", L"ioq3*.exe"},
        },
        {
            .id = L"wop",
            .name = L"World of Padman",
            .archiveFolder = L"wop",
            .ownArchives = {L"wop_00*.pk3", L"wop_vms.pk3"},
            .looseFilesFirst = true,
            .programs = {L"wop*.exe"},
            .openEngines = {L"wop*.exe"},
            .registry = {{L"SOFTWARE\\World Of Padman", L"Path"}},
            .userFolders = {L"%APPDATA%\\worldofpadman"},
        },
        {
            .id = L"smokinguns",
            .name = L"Smokin' Guns",
            .archiveFolder = L"smokinguns",
            .ownArchives = {L"sg_pak0.pk3", L"sg_textures0.pk3", L"sg_sounds.pk3", L"sg_maps0.pk3"},
            .looseFilesFirst = true,
            .programs = {L"smokinguns*.exe"},
            .openEngines = {L"smokinguns*.exe"},
            .userFolders = {L"%APPDATA%\\Smokin' Guns"},
        },
        {
            .id = L"tremulous",
            .name = L"Tremulous",
            .archiveFolder = L"base",
            .ownArchives = {L"data-1.1.0.pk3", L"map-*-1.1.0.pk3"},
            // Its engine is ioquake3's of 2006, before loose files came first.
            .programs = {L"tremulous*.exe"},
            // Tremulous 1.1 is 2006 ioquake3; its programs search loose files after archives.
            // Unsure.
            .registry = {{L"SOFTWARE\\Tremulous", L"InstallDir"}},
        },
    };
    return profiles;
}
