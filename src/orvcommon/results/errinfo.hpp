// ErrInfo: the result object that nearly every operation returns, and the
// log writer that appends result objects to the rotating log files.
#pragma once

#include <cstdint>
#include <string>

#include "orvcommon/core/variant.hpp"
#include "orvcommon/results/enums.hpp"

namespace orv {

class ORV_API ErrInfo {
  public:
    ErrInfo() = default;

    // Operations in interface order. The first one is named "ErrInfo" on the
    // automation surface; C++ cannot give a member the class's name, so it
    // is `fill` here.

    // 1. Replaces all seven fields: number, description, type (error 6 if
    // outside 16 bits, after number and description were stored), location,
    // then process, class and step from the optional Variants (omitted: "").
    int32_t fill(int32_t lNumberInfo, const Text& sDescriptionInfo, int32_t iTypeInfo,
                 const Text& sLocationInfo, const Variant& vntClassInfo = Missing{},
                 const Variant& vntProcessInfo = Missing{}, const Variant& vntStepInfo = Missing{});
    // 2. Fills the fields from a record; 0, or eiABORTED if a number or type
    // was not numeric.
    int32_t ErrInfoNew(structError& structErrInfo);
    // 3. The attribute string (key="value" items, each followed by a space).
    Text getAttrEqualValue() const;
    // 4. Stores a copy of this object in `oObject`; returns a cleared object.
    ErrInfo clone(ErrInfo& oObject) const;
    // 5. Copies the fields out; the three optional Variants may be omitted.
    int32_t getInfo(int32_t& lNumberInfo, Text& sDescriptionInfo, int32_t& iTypeInfo,
                    Text& sLocationInfo, Variant* vntClassInfo = nullptr,
                    Variant* vntProcessInfo = nullptr, Variant* vntStepInfo = nullptr) const;
    // 6. Loads the log settings into the object; never fails.
    void runInitialize();
    // 7-12. Read-only properties.
    int32_t numberInfo() const { return number_; }
    const Text& descriptionInfo() const { return description_; }
    int16_t typeInfo() const { return type_; }
    const Text& locationInfo() const { return location_; }
    const Text& processInfo() const { return process_; }
    const Text& classInfo() const { return class_; }
    // 13. Reads the log settings (folder, trace level, rotation size).
    bool getInfoForLogSystem(Text& sLogPath, int16_t& iTrace, int32_t& lByteSwitch);
    // 14. The step marker as a text Variant.
    Variant stepInfo() const { return Variant(step_); }
    // 15. Number 0, type eiDEBUGTYPE, empty texts; log settings kept.
    void clear();
    // 16. True exactly when numberInfo is 0.
    bool isSuccess() const { return number_ == 0; }
    // 17. Appends this object's line to the main log (errors and warnings)
    // and to the named file (by trace level); always returns success.
    ErrInfo writeLog(const Variant& sErrLogName = Missing{});

    // The log settings stored by getInfoForLogSystem and runInitialize.
    const Text& logFolder() const { return logFolder_; }
    int16_t traceLevel() const { return trace_; }
    int32_t switchSize() const { return switch_; }

    // The log line of this object at the given local time (without quotes
    // and line end), as writeLog composes it in code page 1252.
    Text logLine(double oleNow) const;
    // Appends the quoted record with its CR LF, in code page 1252, with the
    // date text already formatted.
    void appendLogRecord(std::string& out, const std::string& date) const;

    friend bool operator==(const ErrInfo& a, const ErrInfo& b) {
        return a.number_ == b.number_ && a.description_ == b.description_ && a.type_ == b.type_ &&
               a.location_ == b.location_ && a.process_ == b.process_ && a.class_ == b.class_ &&
               a.step_ == b.step_;
    }

  private:
    int32_t number_ = 0;
    Text description_;
    int16_t type_ = 0;
    Text location_;
    Text process_;
    Text class_;
    Text step_;
    Text logFolder_;
    int16_t trace_ = 0;
    int32_t switch_ = 0;
};

// Name of the main log file for a module name ("orvmira.log" for orvcommon).
Text mainLogFileName(TextView moduleName);

}  // namespace orv
