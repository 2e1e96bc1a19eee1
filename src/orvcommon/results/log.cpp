// The log system: settings from the registry, the log line, rotation and the
// append of one line per call.
#include <charconv>
#include <optional>

#include "orvcommon/base/cp1252.hpp"
#include "orvcommon/base/errors.hpp"
#include "orvcommon/core/convert.hpp"
#include "orvcommon/core/dates.hpp"
#include "orvcommon/core/regional.hpp"
#include "orvcommon/core/registry_as_text.hpp"
#include "orvcommon/platform/clock.hpp"
#include "orvcommon/platform/files.hpp"
#include "orvcommon/platform/module.hpp"
#include "orvcommon/platform/settings.hpp"
#include "orvcommon/platform/threads.hpp"
#include "orvcommon/results/errinfo.hpp"

namespace orv {
namespace {

constexpr int32_t kDefaultSwitch = 1024000;
constexpr const char16_t* kLogKey = u"SOFTWARE\\VELN\\LogSystem";

// Appends `line` to the log file at `path`, rotated to "<path>.old" past
// `switchSize` bytes (with `line` null only rotated). The platform's shared
// log file does it safely across processes; a failure leaves its step
// without effect and is handed back.
Status rotateAndAppend(const Text& path, const std::string* line, int32_t switchSize) {
    // The named log is most often the same file call after call.
    struct NamedLog {
        std::optional<platform::SharedLogFile> file;
    };
    auto& last = platform::perThread<NamedLog>().file;
    if (!last || last->path() != path) last.emplace(path, path + u".old");
    return line ? last->append(*line, switchSize) : last->rotate(switchSize);
}

// The main log file, its paths prepared once per change of the log folder.
platform::SharedLogFile& mainLog(const Text& folder) {
    struct MainLog {
        Text folder;
        std::optional<platform::SharedLogFile> file;
    };
    auto& [lastFolder, log] = platform::perThread<MainLog>();
    if (!log || folder != lastFolder) {
        static const Text name = mainLogFileName(platform::moduleName());
        lastFolder = folder;
        const Text path = folder + name;
        log.emplace(path, path + u".old");
    }
    return *log;
}

void appendNumber(std::string& out, long long v) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

// The log line's date, "d/m/yy h:mm" with the user's separators, in code
// page 1252. It changes once a minute, so the last one is kept per thread.
const std::string& logDate(const platform::LocalTime& t) {
    struct Cached {
        int y = -1, m = 0, d = 0, h = 0, n = 0;
        char16_t dateSep = 0, timeSep = 0;
        std::string text;
    };
    Cached& c = platform::perThread<Cached>();
    const Regional& r = Regional::current();
    if (t.year != c.y || t.month != c.m || t.day != c.d || t.hour != c.h || t.minute != c.n ||
        r.dateSeparator != c.dateSep || r.timeSeparator != c.timeSep) {
        const double ole = oleFromParts({t.year, t.month, t.day, t.hour, t.minute, 0, 0});
        c = Cached{t.year,          t.month,
                   t.day,           t.hour,
                   t.minute,        r.dateSeparator,
                   r.timeSeparator, cp1252::encode(formatDate(ole, u"d/m/yy h:mm", r))};
    }
    return c.text;
}

}  // namespace

Text mainLogFileName(TextView moduleName) {
    Text upper = toUpper(moduleName);
    if (upper == u"NXGENERAL") return u"tessaview.log";
    if (upper == u"ORVCOMMON") return u"orvmira.log";
    if (upper == u"QRTZGENERAL") return u"tessaviewweb.log";
    return u"veln_lof_file.log";
}

namespace {

struct LogSettings {
    Text folder;   // ends in the separator
    Text written;  // "Path" as written, spaces trimmed
    bool folderUnchecked = false;
    int16_t trace = 1;
    int32_t switchSize = kDefaultSwitch;
    bool ok = true;  // false when a numeric setting was out of range
};

// The values of "Path", "Trace" and "SwitchDimension", in this order, from
// one look at the settings store; nothing when the store cannot be read.
using RawValues = std::vector<std::optional<platform::RegValue>>;
RawValues readLogValues() {
    static const Text key = platform::fullKeyPath(kHkeyLocalMachine, kLogKey);
    auto read = platform::readValues(key, {u"Path", u"Trace", u"SwitchDimension"});
    return read ? std::move(*read) : RawValues(3);
}

// The log settings from those values. With `checkFolder` false the "Path"
// folder is taken as written and its existence is checked only if writing
// into it fails (writeLog's hot path saves a file-system lookup per line;
// what it writes where is the same).
LogSettings logSettingsFrom(const RawValues& raw, bool checkFolder) {
    // Each by the registry value reading rule.
    std::vector<RegistryText> values;
    for (const auto& v : raw)
        values.push_back(registryTextOf(v));
    LogSettings s;
    Text folder = trimSpaces(values[0].text);
    s.written = folder;
    if (folder.empty() || (checkFolder && !platform::pathExists(folder))) {
        folder = platform::moduleFolder();
    } else if (!checkFolder) {
        s.folderUnchecked = true;
    }
    // The folder always ends in a separator ("/" here where Windows has "\").
    if (folder.empty() || folder.back() != platform::kPathSeparator)
        folder.push_back(platform::kPathSeparator);
    s.folder = std::move(folder);
    try {
        if (isNumericText(values[1].text)) s.trace = toInt16(Variant(values[1].text));
        if (isNumericText(values[2].text)) s.switchSize = toInt32(Variant(values[2].text));
    } catch (const RuntimeError&) {
        s.ok = false;  // out of range: what was converted so far stands
    }
    return s;
}

// writeLog reads the settings afresh on every call; the settings drawn from
// them change only when the values or the regional separators do, so the
// last ones are kept per thread against what they were drawn from.
const LogSettings& currentLogSettings() {
    struct Drawn {
        RawValues values;
        char16_t decimal = 0, group = 0;
        LogSettings settings;
        bool known = false;
    };
    auto& [lastValues, lastDecimal, lastGroup, last, known] = platform::perThread<Drawn>();
    RawValues values = readLogValues();
    const Regional& r = Regional::current();
    if (!known || values != lastValues || r.decimalSeparator != lastDecimal ||
        r.groupSeparator != lastGroup) {
        last = logSettingsFrom(values, false);
        lastValues = std::move(values);
        lastDecimal = r.decimalSeparator;
        lastGroup = r.groupSeparator;
        known = true;
    }
    return last;
}

}  // namespace

bool ErrInfo::getInfoForLogSystem(Text& sLogPath, int16_t& iTrace, int32_t& lByteSwitch) {
    LogSettings s = logSettingsFrom(readLogValues(), true);
    logFolder_ = s.folder;
    sLogPath = s.folder;
    iTrace = s.trace;
    lByteSwitch = s.switchSize;
    return s.ok;
}

void ErrInfo::runInitialize() {
    Text folder;
    int16_t trace = 1;
    int32_t size = kDefaultSwitch;
    getInfoForLogSystem(folder, trace, size);
    trace_ = trace;
    switch_ = size <= 0 ? kDefaultSwitch : size;
}

void ErrInfo::appendLogRecord(std::string& out, const std::string& date) const {
    out.reserve(out.size() + 48 + date.size() + process_.size() + class_.size() + location_.size() +
                step_.size() + description_.size());
    out += "\"[";
    out += date;
    out += "] [";
    cp1252::encodeAppend(process_, out);
    out += "] [";
    cp1252::encodeAppend(class_, out);
    out += "] [";
    cp1252::encodeAppend(location_, out);
    out += "] [";
    cp1252::encodeAppend(step_, out);
    out += "] [";
    appendNumber(out, type_);
    out += "] [";
    appendNumber(out, number_);
    out += "] [";
    cp1252::encodeAppend(description_, out);
    out += "]\"\r\n";
}

Text ErrInfo::logLine(double oleNow) const {
    std::string bytes;
    appendLogRecord(bytes, cp1252::encode(formatDate(oleNow, u"d/m/yy h:mm")));
    // Without the quotes and the line end.
    return cp1252::decode(std::string_view(bytes).substr(1, bytes.size() - 4));
}

ErrInfo ErrInfo::writeLog(const Variant& sErrLogName) {
    ErrInfo result;
    // runInitialize, with the log folder's existence checked lazily.
    const LogSettings& settings = currentLogSettings();
    logFolder_ = settings.folder;
    trace_ = settings.trace;
    switch_ = settings.switchSize <= 0 ? kDefaultSwitch : settings.switchSize;
    const int16_t level = (type_ >= 1 && type_ <= 4) ? type_ : 0;
    std::string bytes;
    appendLogRecord(bytes, logDate(platform::now()));
    if (!sErrLogName.isMissing()) {
        try {
            Text named = toText(sErrLogName);
            if (!named.empty()) {
                (void)rotateAndAppend(named, trace_ >= level ? &bytes : nullptr, switch_);
            }
        } catch (const RuntimeError&) {
            // A name that is not text: that step has no effect.
        }
    }
    if (type_ == eiERRORTYPE || type_ == eiWARNINGTYPE) {
        Status written = mainLog(logFolder_).append(bytes, switch_);
        // "Path" naming nothing that exists means the library's own folder.
        // Naming a file is taken as a folder: writing fails and the line is
        // lost, as any failure to write the main log.
        if (!written && settings.folderUnchecked && !platform::pathExists(settings.written)) {
            logFolder_ = platform::moduleFolder() + platform::kPathSeparator;
            (void)mainLog(logFolder_).append(bytes, switch_);
        }
    }
    result.fill(eiSUCCESFULL, Text(), eiINFORMATIONTYPE, u"writeLog");
    return result;
}

}  // namespace orv
