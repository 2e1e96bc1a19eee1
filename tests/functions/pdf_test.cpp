// createPdfFile and createPdfStream through the real engine loading, against
// a stand-in engine whose behaviour the command text chooses.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <string>
#include <tuple>
#include <utility>

#include "orvcommon/base/cp1252.hpp"
#include "orvcommon/functions/funzioni.hpp"
#include "orvcommon/functions/funzioni_detail.hpp"
#include "orvcommon/platform/clock.hpp"
#include "orvcommon/platform/files.hpp"
#include "orvcommon/platform/module.hpp"
#include "orvcommon/platform/paths.hpp"
#include "support/environment.hpp"
#include "support/sandbox.hpp"

namespace orv {
namespace {

// A sandbox whose temporary folder, engine and engine log are its own.
class PdfSandbox : public test::Sandbox {
  public:
    explicit PdfSandbox(const char* engine = ORV_FAKE_ENGINE)
        : engine_("ORV_TVPDF", engine),
          log_("ORV_FAKE_ENGINE_LOG", path("engine.log").c_str()),
          tmp_("TMPDIR", dir().c_str()),
          tmpWindows_("TMP", dir().c_str()) {}
    std::string engineCalls() const { return test::readBytes(path("engine.log")); }

  private:
    test::ScopedEnv engine_, log_, tmp_, tmpWindows_;  // TMP: Windows' temporary folder
    test::ReplacedCall random_{"random", [] { return 0.7055f; }};
};

struct Expected {
    int32_t number;
    const char16_t* description;
    int16_t type;
    size_t logged;
};

void expectResult(const ErrInfo& r, const Expected& e, const char16_t* location,
                  const Text& classInfo = platform::moduleName()) {
    EXPECT_EQ(r.numberInfo(), e.number);
    EXPECT_EQ(r.descriptionInfo(), Text(e.description));
    EXPECT_EQ(r.typeInfo(), e.type);
    if (e.number == 0) {
        EXPECT_EQ(r.locationInfo(), Text());
        EXPECT_EQ(r.classInfo(), Text());
    } else {
        EXPECT_EQ(r.locationInfo(), Text(location));
        EXPECT_EQ(r.classInfo(), classInfo);
    }
}

// What the stand-in engine does, and the result both operations report.
struct EngineCase {
    const char* commands;
    Expected file;    // createPdfFile: success is the cleared object
    Expected stream;  // createPdfStream: success is readBinaryFile's object
};

// The stream writes its command text in code page 1252, in binary (a lone
// LF and a Ctrl-Z stay as they are), and reads the PDF back byte for byte.
const EngineCase kEngineCases[] = {
    {"OK \xc3\xa9\xe2\x82\xac\xc5\xb8\x1a\n\x01", {0, u"", eiDEBUGTYPE, 0}, {0, u"", 0, 0}},
    {"PADDED",
     {eiABORTED, u"Engine failed: padded", eiERRORTYPE, 1},
     {eiABORTED, u"Engine failed: padded", eiERRORTYPE, 1}},
    {"NUL",
     {eiABORTED, u"Engine failed: nul", eiERRORTYPE, 1},
     {eiABORTED, u"Engine failed: nul", eiERRORTYPE, 1}},
    {"SILENT", {eiABORTED, u"", eiERRORTYPE, 1}, {eiABORTED, u"", eiERRORTYPE, 1}},
    // The engine says it wrote the PDF but did not: readBinaryFile's 53.
    {"NOPDF", {0, u"", eiDEBUGTYPE, 0}, {53, u"File not found", eiERRORTYPE, 1}},
};

TEST(CreatePdf, FileAndStreamReportTheEngineAnswer) {
    for (const EngineCase& c : kEngineCases) {
        SCOPED_TRACE(c.commands);
        {
            PdfSandbox box;
            test::writeBytes(box.path("in.cmd"), c.commands);
            const ErrInfo r =
                Funzioni().createPdfFile(box.textPath("in.cmd"), box.textPath("out.pdf"));
            expectResult(r, c.file, u"createPdfFile");
            EXPECT_EQ(box.logLines(), c.file.logged);
            // The paths as given, and a message buffer of 150 spaces.
            EXPECT_EQ(box.engineCalls(), box.path("in.cmd") + "|" + box.path("out.pdf") + "|1\n");
        }
        PdfSandbox box;
        Variant pdf(Text(u"untouched"));
        const ErrInfo r = Funzioni().createPdfStream(Variant(fromUtf8(c.commands)), pdf);
        if (c.stream.number == 53)
            expectResult(r, c.stream, u"readBinaryFile", u"FileUtility");
        else
            expectResult(r, c.stream, u"createPdfStream");
        EXPECT_EQ(box.logLines(), c.stream.logged);
        // The temporary folder ends in the system's own separator.
        const std::string folder = box.dir() + (platform::kPathSeparator == u'/' ? "/" : "\\");
        const std::string cmd = folder + "cmd.7055", out = folder + "pdf.7055";
        EXPECT_EQ(box.engineCalls(), cmd + "|" + out + "|1\n");
        // The command file holds the text and CR LF; it stays, as does the PDF.
        EXPECT_EQ(test::readBytes(cmd), cp1252::encode(fromUtf8(c.commands)) + "\r\n");
        EXPECT_EQ(pdf, r.isSuccess() ? Variant(ByteString{test::readBytes(out)})
                                     : Variant(Text(u"untouched")));
    }
}

TEST(CreatePdf, SuffixTexts) {
    const std::pair<float, const char16_t*> cases[] = {
        {0.5f, u".5"}, {0.03f, u".03"},  {0.12344f, u".1234"}, {0.12346f, u".1235"},
        {0.0f, u"0"},  {0.00004f, u"0"}, {0.99996f, u"1"},     {0.9999f, u".9999"},
    };
    for (const auto& [random, suffix] : cases)
        EXPECT_EQ(funzioni_detail::pdfSuffix(random), Text(suffix)) << random;
}

// Loading is the same for createPdfFile, whose trap the next test checks.
TEST(CreatePdf, TrappedFailuresLeaveTheOutputAlone) {
    const std::string missing = "/nonexistent-folder/libnothing.so";
    // The engine, the commands, the error and whether the command file was written.
    const std::tuple<const char*, Variant, int32_t, std::string, bool> cases[] = {
        {ORV_FAKE_ENGINE, Variant(Null{}), 94, "Invalid use of Null", false},
        {missing.c_str(), Variant(Text(u"OK")), 53, "File not found: " + missing, true},
        {ORV_FAKE_ENGINE_NO_ENTRY, Variant(Text(u"OK")), 453,
         std::string("Can't find DLL entry point Tvpdfrun in ") + ORV_FAKE_ENGINE_NO_ENTRY, true},
    };
    for (const auto& [engine, commands, number, description, commandFileWritten] : cases) {
        PdfSandbox box(engine);
        Variant pdf(Text(u"untouched"));
        const ErrInfo r = Funzioni().createPdfStream(commands, pdf);
        expectResult(r, {number, fromUtf8(description).c_str(), eiERRORTYPE, 1},
                     u"createPdfStream");
        EXPECT_EQ(box.logLines(), 1u);
        EXPECT_EQ(test::exists(box.path("cmd.7055")), commandFileWritten) << number;
        EXPECT_EQ(pdf, Variant(Text(u"untouched")));
    }
}

TEST(CreatePdf, AFileThatIsNotALibraryFailsToLoad) {
    PdfSandbox probe;
    test::writeBytes(probe.path("fake.so"), "not a shared library");
    PdfSandbox box(probe.path("fake.so").c_str());
    const ErrInfo r = Funzioni().createPdfFile(u"in.cmd", u"out.pdf");
    EXPECT_EQ(r.numberInfo(), 48);
    EXPECT_EQ(r.locationInfo(), u"createPdfFile");
}

TEST(CreatePdf, StreamStopsEarlyWithoutATemporaryFolder) {
    for (const bool root : {true, false}) {
#ifdef _WIN32
        if (root) continue;  // Windows answers a drive root for "/": never one character
#endif
        PdfSandbox box;
        const std::string folder = root ? "/" : box.path("missing");
        test::ScopedEnv tmp("TMPDIR", folder.c_str()), tmpWindows("TMP", folder.c_str());
        Variant pdf(Text(u"untouched"));
        const ErrInfo r = Funzioni().createPdfStream(Variant(Text(u"OK")), pdf);
        // One character counts as none: the cleared object. A missing folder is writeFile's
        // own failure, logged once.
        ErrInfo expected = test::cleared();
        if (!root)
            expected.fill(76, standardMessage(76), eiERRORTYPE, u"writeFile", Text(u"FileUtility"),
                          Text(u"orvcommon"));
        EXPECT_EQ(r, expected);
        EXPECT_EQ(box.logLines(), root ? 0u : 1u);
        EXPECT_EQ(box.engineCalls(), "");
        EXPECT_EQ(pdf, Variant(Text(u"untouched")));
    }
}

#ifndef _WIN32
// Names a stream would use, already taken in its temporary folder: a link
// (to a file of someone else's), a FIFO, a file with a second name, a pair
// another call holds. None is written through or used: every target keeps
// its bytes, and the stream draws another suffix and makes its own pair,
// for its owner alone.
TEST(CreatePdf, StreamNeverUsesFilesThatAreNotItsOwn) {
    enum Plant { kCommandLink, kCommandFifo, kPdfHardLink, kCommandHeld };
    for (Plant plant : {kCommandLink, kCommandFifo, kPdfHardLink, kCommandHeld}) {
        SCOPED_TRACE(plant);
        PdfSandbox box;
        const std::string tmp = box.path("tmp"), secret = box.path("secret");
        ASSERT_EQ(::mkdir(tmp.c_str(), 0700), 0);
        test::ScopedEnv folder("TMPDIR", tmp.c_str());
        test::writeBytes(secret, "secret");
        const std::string cmd = tmp + "/cmd.7055", pdf = tmp + "/pdf.7055";
        int held = -1;
        switch (plant) {
            case kCommandLink:
                ASSERT_EQ(::symlink(secret.c_str(), cmd.c_str()), 0);
                break;
            case kCommandFifo:
                ASSERT_EQ(::mkfifo(cmd.c_str(), 0600), 0);
                break;
            case kPdfHardLink:
                ASSERT_EQ(::link(secret.c_str(), pdf.c_str()), 0);
                break;
            case kCommandHeld:
                test::writeBytes(cmd, "secret");
                held = ::open(cmd.c_str(), O_RDONLY | O_CLOEXEC);
                ASSERT_EQ(::flock(held, LOCK_EX), 0);
                break;
        }
        // The first draw gives .7055, every later one .5.
        static int draws;
        draws = 0;
        test::ReplacedCall random("random", [] { return draws++ == 0 ? 0.7055f : 0.5f; });
        Variant out;
        const ErrInfo r = Funzioni().createPdfStream(Variant(Text(u"OK")), out);
        ASSERT_TRUE(r.isSuccess()) << toUtf8(r.descriptionInfo());
        EXPECT_EQ(test::readBytes(secret), "secret");
        if (held >= 0) {
            EXPECT_EQ(test::readBytes(cmd), "secret");
        }
        EXPECT_EQ(box.engineCalls(), tmp + "/cmd.5|" + tmp + "/pdf.5|1\n");
        for (const std::string& made : {tmp + "/cmd.5", tmp + "/pdf.5"}) {
            struct stat st {};
            ASSERT_EQ(::lstat(made.c_str(), &st), 0) << made;
            EXPECT_EQ(st.st_mode & (S_IFMT | 0777), S_IFREG | 0600u) << made;
        }
        if (held >= 0) ::close(held);
    }
}
#endif

TEST(CreatePdf, OurEngineIsFoundBesideTheLibrary) {
    // No ORV_TVPDF: the engine built beside the library answers (how an
    // engine's message reaches the result is the stand-in engine's case).
    PdfSandbox box;
    test::ScopedEnv engine("ORV_TVPDF", nullptr);
    Variant pdf;
    const ErrInfo r = Funzioni().createPdfStream(
        Variant(Text(u"FONT \"Arial\" 12\r\nTEXT 10 10 \"Hello\"")), pdf);
    ASSERT_TRUE(r.isSuccess()) << toUtf8(r.descriptionInfo());
    ASSERT_TRUE(pdf.is<ByteString>());
    EXPECT_EQ(pdf.get<ByteString>().bytes.rfind("%PDF-", 0), 0u);
}

}  // namespace
}  // namespace orv
