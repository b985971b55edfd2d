#pragma once
// The names that Windows keeps for devices. A file of such a name, with any
// extension and with blanks before it, opens the device instead: CON, PRN, AUX,
// NUL, CONIN$, CONOUT$, and COM0 to COM9 and LPT0 to LPT9, in any letter case.
// Portable, so that the archive reader can use it on the fuzzer's host.
#include <string_view>

template <class Char>
bool IsDeviceName(std::basic_string_view<Char> component) {
    std::basic_string_view<Char> stem = component.substr(0, component.find(Char('.')));
    while (!stem.empty() && stem.back() == Char(' ')) stem.remove_suffix(1);
    if (stem.size() < 3 || stem.size() > 7) return false;
    char upper[8] = {};
    for (std::size_t i = 0; i < stem.size(); ++i) {
        const auto c = stem[i];
        if (static_cast<unsigned long>(c) > 0x7F) return false;
        upper[i] = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    }
    const std::string_view u(upper, stem.size());
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
        if (u == device) return true;
    }
    return u.size() == 4 && (u.substr(0, 3) == "COM" || u.substr(0, 3) == "LPT") && u[3] >= '0' && u[3] <= '9';
}
