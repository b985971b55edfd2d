#pragma once
// Globals: the values the whole program shares, and the path and text helpers
// that several features call.
#include <string>

namespace Globals {

// The game folder in long form, without a trailing backslash. Empty when the
// stored folder does not exist; a single "\" when the registry value is absent.
extern std::wstring GamePath;
extern std::wstring VersionText;
extern std::wstring ChangesText;

// Fills the three values above; GamePath from the game's registry value.
void InitGlobals();

// Rebuilds a path from the names the file system stores: short components come
// back long, in their stored letter case. A missing component gives the empty
// text; the empty path gives "\".
std::wstring GetLongPath(const std::wstring& path);
// The short (8.3) form of an existing path; the empty text for a missing one.
std::wstring GetShortPath(const std::wstring& path);
// The text before the first delimiter. The rest is kept, program-wide, for the
// next call with an empty text.
std::wstring NextToken(const std::wstring& text, const std::wstring& delimiter);
// Deletes a folder with its contents; read-only entries are kept. Throws AppError.
void RemoveFolder(const std::wstring& path);

}  // namespace Globals
