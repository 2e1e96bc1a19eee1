// The log system: settings from the registry, the log line, rotation and the
// append of one line per call.
#include "orvcommon/core/convert.hpp"
#include "orvcommon/core/cp1252.hpp"
#include "orvcommon/core/dates.hpp"
#include "orvcommon/core/errors.hpp"
#include "orvcommon/platform/clock.hpp"
#include "orvcommon/platform/files.hpp"
#include "orvcommon/platform/module.hpp"
#include "orvcommon/results/errinfo.hpp"
#include "orvcommon/results/registry_value.hpp"

namespace orv {
namespace {

constexpr int32_t kDefaultSwitch = 1024000;
constexpr const char16_t* kLogKey = u"SOFTWARE\\VELN\\LogSystem";

// Appends `line` to `path` after rotating the file when it has grown past
// `switchSize` bytes; with `line` null the file is only rotated.
//
// Several processes may log to the same file. Each line goes out in one
// write on a descriptor opened for appending, and "check size, rotate,
// append" runs under an advisory lock on the file, so rotation happens once
// and no line is lost: a process that opened the file just before another
// renamed it to ".old" notices (the path names another file now) and opens
// the new file instead. Rotation renames the file to ".old" atomically,
// replacing an earlier copy, which ends in the same state as copy-then-
// delete; when the rename fails the file stays and the line is appended to
// it. Any failure leaves its step without effect.
void rotateAndAppend(const Text& path, const std::string* line, int32_t switchSize) {
    using platform::File;
    using platform::OpenMode;
    for (int attempt = 0; attempt < 8; ++attempt) {
        File f = File::open(path, line ? OpenMode::Append : OpenMode::AppendExisting);
        if (!f.isOpen()) return;  // missing folder, no rights: the line is lost
        f.lockExclusive();
        if (!f.isStillAt(path)) continue;  // rotated away meanwhile: reopen
        if (f.size() > switchSize) {
            if (platform::renameReplace(path, path + u".old")) {
                if (!line) return;
                File fresh = File::open(path, OpenMode::Append);
                if (!fresh.isOpen()) return;
                fresh.writeAll(*line);
                return;
            }
        }
        if (line) f.writeAll(*line);
        return;
    }
}

}  // namespace

Text mainLogFileName(TextView moduleName) {
    Text upper = toUpper(moduleName);
    if (upper == u"NXGENERAL") return u"tessaview.log";
    if (upper == u"ORVCOMMON") return u"orvmira.log";
    if (upper == u"QRTZGENERAL") return u"tessaviewweb.log";
    return u"veln_lof_file.log";
}

bool ErrInfo::getInfoForLogSystem(Text& sLogPath, int16_t& iTrace, int32_t& lByteSwitch) {
    iTrace = 1;
    lByteSwitch = kDefaultSwitch;
    const Text path = readRegistryText(HKEY_LOCAL_MACHINE, kLogKey, u"Path").text;
    const Text trace = readRegistryText(HKEY_LOCAL_MACHINE, kLogKey, u"Trace").text;
    const Text size = readRegistryText(HKEY_LOCAL_MACHINE, kLogKey, u"SwitchDimension").text;
    Text folder = trimSpaces(path);
    if (folder.empty() || !platform::pathExists(folder)) folder = platform::moduleFolder();
    // The folder always ends in a separator ("/" here where Windows has "\").
    if (folder.empty() || folder.back() != platform::kPathSeparator)
        folder.push_back(platform::kPathSeparator);
    logFolder_ = folder;
    sLogPath = folder;
    try {
        if (isNumericText(trace)) iTrace = toInt16(Variant(trace));
        if (isNumericText(size)) lByteSwitch = toInt32(Variant(size));
    } catch (const RuntimeError&) {
        return false;  // out of range: the arguments keep what they held
    }
    return true;
}

void ErrInfo::runInitialize() {
    Text folder;
    int16_t trace = 1;
    int32_t size = kDefaultSwitch;
    try {
        getInfoForLogSystem(folder, trace, size);
    } catch (...) {
        // runInitialize never fails; whatever was read so far stands.
    }
    trace_ = trace;
    switch_ = size <= 0 ? kDefaultSwitch : size;
}

Text ErrInfo::logLine(double oleNow) const {
    Text line;
    line.reserve(64 + description_.size() + location_.size());
    line += u"[";
    line += formatDate(oleNow, u"d/m/yy h:mm");
    line += u"] [";
    line += process_;
    line += u"] [";
    line += class_;
    line += u"] [";
    line += location_;
    line += u"] [";
    line += step_;
    line += u"] [";
    line += decimalText(type_);
    line += u"] [";
    line += decimalText(number_);
    line += u"] [";
    line += description_;
    line += u"]";
    return line;
}

ErrInfo ErrInfo::writeLog(const Variant& sErrLogName) {
    ErrInfo result;
    runInitialize();
    const int16_t level = (type_ >= 1 && type_ <= 4) ? type_ : 0;
    const Text mainName = mainLogFileName(platform::moduleName());
    const auto t = platform::now();
    const double now = oleFromParts({t.year, t.month, t.day, t.hour, t.minute, t.second, 0});
    std::string bytes = "\"";
    bytes += cp1252::encode(logLine(now));
    bytes += "\"\r\n";
    if (!sErrLogName.isMissing()) {
        try {
            Text named = toText(sErrLogName);
            if (!named.empty()) {
                rotateAndAppend(named, trace_ >= level ? &bytes : nullptr, switch_);
            }
        } catch (const RuntimeError&) {
            // A name that is not text: that step has no effect.
        }
    }
    if (type_ == eiERRORTYPE || type_ == eiWARNINGTYPE)
        rotateAndAppend(logFolder_ + mainName, &bytes, switch_);
    result.fill(eiSUCCESFULL, Text(), eiINFORMATIONTYPE, u"writeLog");
    return result;
}

}  // namespace orv
