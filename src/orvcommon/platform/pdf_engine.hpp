// The external PDF engine: a shared library exporting, with C linkage,
//   int16_t Tvpdfrun(const char* commandFile, const char* pdfFile, char* message)
// (on Windows a WINAPI function, as engines for 32-bit clients are built)
// where `message` is a writable buffer of exactly kPdfMessageSize bytes.
// 0 means the PDF was written; any other value is a failure described by
// the buffer's text. Paths and message travel as code page 1252 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace orv::platform {

inline constexpr size_t kPdfMessageSize = 150;

// The entry point's calling convention: the standard one of DLL functions
// on Windows (__stdcall, which pops its arguments; the same as the default
// on 64-bit), the default elsewhere.
#ifdef _WIN32
#define ORV_PDF_ENGINE_CALL __stdcall
#else
#define ORV_PDF_ENGINE_CALL
#endif
using PdfEntryPoint = int16_t(ORV_PDF_ENGINE_CALL*)(const char*, const char*, char*);

// The engine's entry point. Where it is looked for: the path in the
// environment variable ORV_TVPDF when set; else the engine library in this
// library's own folder; else the system's library search. Raises run-time
// error 53 ("File not found: " and the name tried) when there is no such
// library, 48 when a file is there but does not load, and 453 ("Can't find
// DLL entry point Tvpdfrun in " and the name) when it lacks the entry point.
PdfEntryPoint pdfEngine();

// The name the engine library goes by on this system ("libtvpdf.so").
const char* pdfEngineFileName();

}  // namespace orv::platform
