// The engine's files through Win32 calls (UTF-16 paths), its fonts through
// GDI: the font the font mapper picks for the family is accepted when its
// face name is the family asked for, and its tables are read back with
// GetFontData, which gives the tables of the chosen face even inside a
// collection.
#include <windows.h>

#include <cstdint>
#include <cwctype>
#include <vector>

#include "bytes.hpp"
#include "system.hpp"

namespace tvpdf::sys {
namespace {

std::wstring wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), n);
    return w;
}

std::wstring lower(std::wstring s) {
    for (wchar_t& c : s)
        c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

}  // namespace

ReadResult readRegularFile(const std::string& path, std::string& bytes) {
    HANDLE h = CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD why = GetLastError();
        return why == ERROR_FILE_NOT_FOUND || why == ERROR_PATH_NOT_FOUND ? ReadResult::Missing
                                                                          : ReadResult::Failed;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        CloseHandle(h);
        return ReadResult::NotRegular;
    }
    bytes.clear();
    char buf[65536];
    DWORD n = 0;
    bool ok = true;
    while ((ok = ReadFile(h, buf, sizeof buf, &n, nullptr) != 0) && n > 0)
        bytes.append(buf, n);
    CloseHandle(h);
    return ok ? ReadResult::Ok : ReadResult::Failed;
}

FILE* createFile(const std::string& path) {
    return _wfopen(wide(path).c_str(), L"wb");
}

bool findFont(const std::string& family, bool bold, bool italic, std::string& data, int& index) {
    const std::wstring name = wide(family);
    if (name.empty() || name.size() >= LF_FACESIZE) return false;
    LOGFONTW lf{};
    lf.lfHeight = -1000;
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = italic ? TRUE : FALSE;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfOutPrecision = OUT_TT_ONLY_PRECIS;
    lstrcpynW(lf.lfFaceName, name.c_str(), LF_FACESIZE);
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return false;
    HFONT font = CreateFontIndirectW(&lf);
    bool ok = false;
    if (font) {
        HGDIOBJ old = SelectObject(dc, font);
        wchar_t face[LF_FACESIZE] = {};
        GetTextFaceW(dc, LF_FACESIZE, face);
        if (lower(face) == lower(name)) {
            // A file of the face's tables, the layout of a TrueType file.
            static const char* const kTags[] = {"OS/2", "cmap", "cvt ", "fpgm", "gasp",
                                                "glyf", "head", "hhea", "hmtx", "loca",
                                                "maxp", "name", "post", "prep"};
            std::vector<std::pair<std::string, std::string>> tables;
            for (const char* tag : kTags) {
                const DWORD id = static_cast<DWORD>(static_cast<unsigned char>(tag[0])) |
                                 (static_cast<DWORD>(static_cast<unsigned char>(tag[1])) << 8) |
                                 (static_cast<DWORD>(static_cast<unsigned char>(tag[2])) << 16) |
                                 (static_cast<DWORD>(static_cast<unsigned char>(tag[3])) << 24);
                const DWORD size = GetFontData(dc, id, 0, nullptr, 0);
                if (size == GDI_ERROR || size == 0) continue;
                std::string body(size, '\0');
                if (GetFontData(dc, id, 0, body.data(), size) != size) continue;
                tables.emplace_back(tag, std::move(body));
            }
            std::string file;
            add32(file, 0x00010000);
            add16(file, static_cast<uint32_t>(tables.size()));
            add16(file, 0);
            add16(file, 0);
            add16(file, 0);
            uint32_t offset = 12 + 16 * static_cast<uint32_t>(tables.size());
            for (const auto& [tag, body] : tables) {
                file += tag;
                add32(file, 0);
                add32(file, offset);
                add32(file, static_cast<uint32_t>(body.size()));
                offset += static_cast<uint32_t>((body.size() + 3) / 4 * 4);
            }
            for (const auto& [tag, body] : tables) {
                file += body;
                file.append((4 - body.size() % 4) % 4, '\0');
            }
            data = std::move(file);
            index = 0;
            ok = true;
        }
        SelectObject(dc, old);
        DeleteObject(font);
    }
    DeleteDC(dc);
    return ok;
}

void releaseSystemResources() {}

}  // namespace tvpdf::sys
