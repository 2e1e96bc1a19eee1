// Funzioni: PDF documents through the external engine. The library carries
// the client's command text to the engine and reports its answer; it never
// reads the command language itself.
#include <cmath>
#include <cstring>

#include "orvcommon/base/cp1252.hpp"
#include "orvcommon/core/convert.hpp"
#include "orvcommon/functions/funzioni.hpp"
#include "orvcommon/functions/funzioni_detail.hpp"
#include "orvcommon/operations/file_steps.hpp"
#include "orvcommon/platform/clock.hpp"
#include "orvcommon/platform/files.hpp"
#include "orvcommon/platform/module.hpp"
#include "orvcommon/platform/pdf_engine.hpp"
#include "orvcommon/results/trap.hpp"

namespace orv {
namespace {

// Runs the engine on the two paths. Returns its code; on failure `message`
// holds the buffer's text (up to the first NUL or all 150 bytes) without
// the spaces around it. The buffer starts as spaces, so an engine that
// writes nothing leaves an empty message.
int16_t runEngine(const Text& commandFile, const Text& pdfFile, Text& message) {
    const platform::PdfEntryPoint entry = platform::pdfEngine();
    const std::string cmd = cp1252::encode(commandFile);
    const std::string pdf = cp1252::encode(pdfFile);
    char buffer[platform::kPdfMessageSize];
    std::memset(buffer, ' ', sizeof buffer);
    const int16_t code = entry(cmd.c_str(), pdf.c_str(), buffer);
    if (code != 0)
        message =
            trimSpaces(cp1252::decode(std::string_view(buffer, strnlen(buffer, sizeof buffer))));
    return code;
}

// Suffixes drawn for one stream before giving up (each is taken only when
// its files are another user's or another call holds them).
constexpr int kPairAttempts = 64;

// An engine failure is the operation's own finding, yet it is logged.
void fillEngineFailure(ErrInfo& result, const Trap& trap, const Text& message) {
    fillDetectedFailure(result, trap, eiABORTED, message);
    result.writeLog();
}

}  // namespace

namespace funzioni_detail {

Text pdfSuffix(float random) {
    // Nearest multiple of 0.0001, written without a leading zero and without
    // trailing zeros: ".7055", ".5", ".03"; "0" and "1" at the ends.
    const long n = std::lround(static_cast<double>(random) * 10000.0);
    if (n <= 0) return u"0";
    if (n >= 10000) return u"1";
    std::string digits = std::to_string(n);
    digits.insert(0, 4 - digits.size(), '0');
    while (digits.back() == '0')
        digits.pop_back();
    return u"." + fromUtf8(digits);
}

}  // namespace funzioni_detail

ErrInfo Funzioni::createPdfFile(const Text& sCommandFile, const Text& sPdfFile) {
    const Trap trap{u"createPdfFile", moduleOrigin(), Description::Own};
    return trapped(trap, [&](ErrInfo& result) {
        result.clear();
        Text message;
        if (runEngine(sCommandFile, sPdfFile, message) != 0)
            fillEngineFailure(result, trap, message);
    });
}

ErrInfo Funzioni::createPdfStream(const Variant& vntCommandStream, Variant& vntPdfStream) {
    const Trap trap{u"createPdfStream", moduleOrigin(), Description::Own};
    return trapped(trap, [&](ErrInfo& result) {
        result.clear();
        const Text suffix = funzioni_detail::pdfSuffix(platform::randomUnit());

        // The system's temporary folder; a length of 0 or 1 counts as none
        // and ends the call with the cleared result. The folder ends in the
        // platform's separator ("/" here where Windows has a backslash).
        Text folder = trimSpaces(platform::tempFolder());
        if (folder.size() <= 1) return;
        if (folder.back() != platform::kPathSeparator) folder.push_back(platform::kPathSeparator);
        Text commandFile = folder + u"cmd" + suffix;
        Text pdfFile = folder + u"pdf" + suffix;

        // Null raises error 94 here, before any file is written.
        const Text commands = toText(vntCommandStream);

        // The pair is this call's alone: neither file is a link or another
        // user's, and the command file stays locked until the PDF is read
        // back, so that a concurrent call draws another suffix.
        platform::File held;
        bool pdfMade = false;
        for (int attempt = 1;; ++attempt) {
            auto command = platform::File::openWorkFile(commandFile, true);
            Result<platform::File> pdf = Failure{err::kFileAlreadyExists};
            if (command) pdf = platform::File::openWorkFile(pdfFile, false, &pdfMade);
            if (command && pdf) {
                held = std::move(*command);
                break;
            }
            const int32_t error = command ? pdf.error() : command.error();
            if (error != err::kFileAlreadyExists) {
                // The folder cannot be written, or the like: FileUtility's
                // writeFile reports it as it reports any write failure.
                result = operations::writeTextFile(commandFile, 0, commands);
                if (result.isSuccess()) raise(error);
                return;
            }
            if (attempt == kPairAttempts) raise(err::kFileAlreadyExists);
            const Text next = funzioni_detail::pdfSuffix(platform::randomUnit());
            commandFile = folder + u"cmd" + next;
            pdfFile = folder + u"pdf" + next;
        }

        result = operations::writeTextFile(commandFile, 0, commands);
        if (!result.isSuccess()) return;

        Text message;
        const int16_t code = runEngine(commandFile, pdfFile, message);
        // The empty file made here for the engine, when it wrote nothing
        // into it, is no PDF: it goes.
        if (pdfMade && platform::fileSize(pdfFile).valueOr(-1) == 0)
            (void)platform::removeFile(pdfFile);
        if (code != 0) {
            fillEngineFailure(result, trap, message);
            return;
        }
        Variant bytes;
        result = operations::readFileBytes(pdfFile, bytes);
        if (result.isSuccess()) vntPdfStream = std::move(bytes);
        // Both files stay where they are, whatever the outcome.
    });
}

}  // namespace orv
