// Times the compatibility check's work without a window (inventory, walk,
// pairing) on synthetic mods, and prints it against the floor and the
// alternatives. Usage: compat_bench [mods] [files per mod]
#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <zlib.h>

#include "archive/unzip.h"
#include "archive/zip_reader.h"
#include "compat/conflicts.h"
#include "core/globals.h"
#include "core/text.h"

namespace {

double Seconds(const std::function<void()>& work) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    work();
    QueryPerformanceCounter(&end);
    return static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Best(int runs, const std::function<void()>& work) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) best = std::min(best, Seconds(work));
    return best;
}

void Put16(std::string& out, unsigned v) { out += static_cast<char>(v & 0xFF), out += static_cast<char>(v >> 8 & 0xFF); }
void Put32(std::string& out, unsigned long v) {
    Put16(out, static_cast<unsigned>(v & 0xFFFF));
    Put16(out, static_cast<unsigned>(v >> 16));
}

// A stored zip archive of small files.
std::string MakeZip(const std::vector<std::string>& names) {
    std::string out, central;
    for (const auto& name : names) {
        const std::string data = "data of " + name;
        const unsigned long crc = crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()));
        const unsigned long offset = static_cast<unsigned long>(out.size());
        Put32(out, 0x04034b50); Put16(out, 20); Put16(out, 0); Put16(out, 0); Put16(out, 0); Put16(out, 0x3021);
        Put32(out, crc); Put32(out, static_cast<unsigned long>(data.size())); Put32(out, static_cast<unsigned long>(data.size()));
        Put16(out, static_cast<unsigned>(name.size())); Put16(out, 0);
        out += name + data;
        Put32(central, 0x02014b50); Put16(central, 20); Put16(central, 20); Put16(central, 0); Put16(central, 0);
        Put16(central, 0); Put16(central, 0x3021); Put32(central, crc); Put32(central, static_cast<unsigned long>(data.size()));
        Put32(central, static_cast<unsigned long>(data.size())); Put16(central, static_cast<unsigned>(name.size()));
        Put16(central, 0); Put16(central, 0); Put16(central, 0); Put16(central, 0); Put32(central, 0); Put32(central, offset);
        central += name;
    }
    const unsigned long cdOffset = static_cast<unsigned long>(out.size());
    out += central;
    Put32(out, 0x06054b50); Put16(out, 0); Put16(out, 0);
    Put16(out, static_cast<unsigned>(names.size())); Put16(out, static_cast<unsigned>(names.size()));
    Put32(out, static_cast<unsigned long>(central.size())); Put32(out, cdOffset); Put16(out, 0);
    return out;
}

std::string ReadAll(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary | std::ios::ate);
    std::string bytes(static_cast<size_t>(in.tellg()), '\0');
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    const int mods = argc > 1 ? std::atoi(argv[1]) : 40;
    const int files = argc > 2 ? std::atoi(argv[2]) : 500;

    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring game = std::wstring(temp) + L"tarrow-bench-" + std::to_wstring(GetCurrentProcessId());
    const std::wstring main = game + L"\\main\\";
    CreateDirectoryW(game.c_str(), nullptr);
    CreateDirectoryW(main.c_str(), nullptr);

    // About one path in ten is one that every mod shares.
    std::vector<std::wstring> names;
    for (int m = 0; m < mods; ++m) {
        std::vector<std::string> entries;
        for (int f = 0; f < files; ++f) {
            const bool shared = f % 10 == 0;
            entries.push_back(shared ? "maps/shared/map" + std::to_string(f) + ".bsp"
                                     : "mod" + std::to_string(m) + "/sub" + std::to_string(f % 7) + "/file" +
                                           std::to_string(f) + ".dat");
        }
        names.push_back(L"mod" + std::to_wstring(m));
        std::ofstream((main + names.back() + L".pk3").c_str(), std::ios::binary) << MakeZip(entries);
    }

    WorkLists lists;
    auto inventory = [&] {
        lists = WorkLists{};
        for (int m = 0; m < mods; ++m) {
            UnpackMod(game, names[static_cast<size_t>(m)] + L".pk3");
            FindFiles(lists, game, m == 0, names[static_cast<size_t>(m)], main + names[static_cast<size_t>(m)], L"*");
            Globals::RemoveFolder(main + names[static_cast<size_t>(m)]);
        }
    };
    const double check = Best(10, [&] {
        inventory();
        PairConflicts(lists);
    });
    const size_t conflicts = lists.List3.size();

    WorkLists nested = lists;
    nested.List3.clear();
    WorkLists indexed = nested;
    const double pairIndexed = Best(5, [&] {
        indexed.List3.clear();
        PairConflicts(indexed);
    });
    const double pairNested = Seconds([&] { PairConflictsNested(nested); });

    const double floor = Best(10, [&] {
        for (const auto& name : names) {
            const std::string bytes = ReadAll(main + name + L".pk3");
            zip::MemorySource source(bytes);
            zip::Directory directory;
            zip::ReadDirectory(source, directory);
        }
    });

    const double disk = Seconds([&] {
        WorkLists onDisk;
        for (int m = 0; m < mods; ++m) {
            using namespace VBUnzBas;
            Options = UnzipOptions{};
            Options.noflag = 1;
            Options.ndflag = 1;
            IncludeCount = 0;
            const std::wstring folder = std::wstring(temp) + L"tarrow-bench-disk-" + std::to_wstring(m);
            ZipFileName = main + names[static_cast<size_t>(m)] + L".pk3";
            ExtractDir = folder;
            RunUnzip();
            FindFiles(onDisk, game, m == 0, names[static_cast<size_t>(m)], folder, L"*");
            Globals::RemoveFolder(folder);
        }
    });

    for (const auto& name : names) DeleteFileW((main + name + L".pk3").c_str());
    RemoveDirectoryW(main.c_str());
    RemoveDirectoryW(game.c_str());

    std::printf("mods %d x %d files, %zu conflict lines, %zu + %zu inventory entries\n", mods, files, conflicts,
                lists.list1.size(), lists.list2.size());
    std::printf("whole check (inventory, walk, pairing): %.3f s (target <= 0.300 s)\n", check);
    std::printf("floor (read every central directory):   %.3f s; check / floor = %.2f (target <= 3)\n", floor,
                check / floor);
    std::printf("pairing: indexed %.4f s, nested loop %.3f s; nested / indexed = %.0f (target >= 100)\n",
                pairIndexed, pairNested, pairNested / pairIndexed);
    std::printf("for reference, unpacking to a real folder and walking it: %.3f s (%.1f x the check)\n", disk,
                disk / check);
    std::printf("identical List3 from both pairings: %s\n", nested.List3 == indexed.List3 ? "yes" : "NO");
    return nested.List3 == indexed.List3 ? 0 : 1;
}
