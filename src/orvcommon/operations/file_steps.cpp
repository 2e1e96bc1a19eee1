#include "orvcommon/operations/file_steps.hpp"

#include "orvcommon/base/cp1252.hpp"
#include "orvcommon/platform/files.hpp"
#include "orvcommon/results/trap.hpp"

namespace orv::operations {
namespace {

const char16_t* const kClass = u"FileUtility";

}  // namespace

std::string readWholeFile(const Text& path) {
    platform::File f = platform::File::open(path, platform::OpenMode::Read).orRaise();
    std::string bytes = f.readAll().orRaise();
    (void)f.close();  // read only: nothing to lose
    return bytes;
}

ErrInfo writeTextFile(const Text& sFileName, int32_t attributeFile, const Text& sTextFile) {
    const Trap trap{u"writeFile", classOrigin(kClass), Description::Standard};
    return trapped(trap, [&](ErrInfo& result) {
        // An existing read-only, hidden or system file is made plain first so
        // that it can be replaced.
        if (platform::pathKind(sFileName) == platform::PathKind::File)
            platform::setAttributes(sFileName, platform::attr::kArchive).orRaise();
        {
            platform::File f =
                platform::File::open(sFileName, platform::OpenMode::WriteTruncate).orRaise();
            std::string bytes = cp1252::encode(sTextFile);
            bytes.append("\r\n");
            f.writeAll(bytes).orRaise();
            // Some file systems report a failed write only when the file closes.
            f.close().orRaise();
        }
        platform::setAttributes(sFileName, attributeFile).orRaise();
        fillSuccess(result, trap, kFileSuccessText);
    });
}

ErrInfo readFileBytes(const Text& sFileName, Variant& vntTextFile) {
    const Trap trap{u"readBinaryFile", classOrigin(kClass), Description::Standard};
    return trapped(trap,
                   [&](ErrInfo&) { vntTextFile = Variant(ByteString{readWholeFile(sFileName)}); });
}

}  // namespace orv::operations
