// What the file services do the same way on every system, over each
// backend's own calls.
#include "orvcommon/platform/files.hpp"

#include <random>
#include <utility>

#include "orvcommon/platform/backend.hpp"

namespace orv::platform {

std::string backend::randomSuffix() {
    static constexpr char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device source;
    std::string out;
    for (int i = 0; i < 12; ++i)
        out += kDigits[source() % (sizeof kDigits - 1)];
    return out;
}

File::~File() {
    (void)close();  // a file whose writes matter was closed and checked before
}
File::File(File&& o) noexcept
    : handle_(o.handle_),
      temporaryPrefix_(std::move(o.temporaryPrefix_)),
      temporaryName_(std::move(o.temporaryName_)) {
    o.handle_ = kClosed;
    o.temporaryName_.clear();
}
File& File::operator=(File&& o) noexcept {
    if (this != &o) {
        (void)close();
        handle_ = o.handle_;
        temporaryPrefix_ = std::move(o.temporaryPrefix_);
        temporaryName_ = std::move(o.temporaryName_);
        o.handle_ = kClosed;
        o.temporaryName_.clear();
    }
    return *this;
}

Result<std::string> File::readAll() {
    std::string out;
    if (auto n = size(); n && *n > 0) out.reserve(static_cast<size_t>(*n));
    Status read =
        backend::readToEnd([this](char* buffer, size_t n) { return readInto(buffer, n); }, out);
    if (!read) return read.failure();
    return out;
}

Status SharedLogFile::append(std::string_view line, int64_t switchSize) {
    return run(&line, switchSize);
}

Status SharedLogFile::rotate(int64_t switchSize) {
    return run(nullptr, switchSize);
}

bool fileExists(TextView path) {
    auto k = pathKind(path);
    return k == PathKind::File || k == PathKind::Other;
}
bool folderExists(TextView path) {
    return pathKind(path) == PathKind::Folder;
}
bool pathExists(TextView path) {
    return pathKind(path) != PathKind::Missing;
}

Status copyFile(TextView from, TextView to) {
    auto in = File::open(from, OpenMode::Read);
    if (!in) return in.failure();
    auto bytes = in->readAll();
    if (!bytes) return bytes.failure();
    auto out = File::open(to, OpenMode::WriteTruncate);
    if (!out) return out.failure();
    if (Status written = out->writeAll(*bytes); !written) return written;
    return out->close();
}

}  // namespace orv::platform
