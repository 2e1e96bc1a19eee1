#include <gtest/gtest.h>

#include <string>

#include "orvcommon/base/result.hpp"

namespace orv {
namespace {

TEST(ErrorList, NumbersAndMessagesStayPaired) {
    struct Case {
        int32_t number;
        const char16_t* message;
    } cases[] = {
        {err::kFileNotFound, u"File not found"},
        {err::kPathFileAccess, u"Path/File access error"},
        {err::kCannotCreateObject, u"ActiveX component can't create object"},
        {err::kWrongArgumentCount, u"Wrong number of arguments or invalid property assignment"},
        {0, u"Application-defined or object-defined error"},
        {1000, u"Application-defined or object-defined error"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(standardMessage(c.number), Text(c.message)) << c.number;
        EXPECT_EQ(RuntimeError(c.number).description(), Text(c.message)) << c.number;
    }
}

TEST(Result, CarriesValueOrErrorNumber) {
    Result<std::string> good(std::string("bytes"));
    Result<std::string> bad(Failure{err::kDiskFull});
    ASSERT_TRUE(good.ok());
    EXPECT_EQ(*good, "bytes");
    EXPECT_EQ(good.error(), 0);
    EXPECT_FALSE(bad.ok());
    EXPECT_EQ(bad.error(), err::kDiskFull);
    EXPECT_EQ(bad.valueOr("none"), "none");
    try {
        (void)std::move(bad).orRaise();
        FAIL() << "no run-time error";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), err::kDiskFull);
    }
    Status done;
    Status failed(Failure{err::kDeviceIo});
    EXPECT_TRUE(done.ok());
    EXPECT_EQ(failed.error(), err::kDeviceIo);
    EXPECT_THROW(failed.orRaise(), RuntimeError);
}

}  // namespace
}  // namespace orv
