#include <gtest/gtest.h>

#include <string>

#include "orvcommon/base/result.hpp"
#include "support/errors.hpp"

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
    EXPECT_EQ(RuntimeError(5, u"own").description(), u"own");
    EXPECT_EQ(static_cast<uint32_t>(automationErrorCode(53)), 0x800A0035u);
}

TEST(Result, CarriesValueOrErrorNumber) {
    Result<std::string> good(std::string("bytes"));
    Result<std::string> bad(Failure{err::kDiskFull});
    ASSERT_TRUE(good.ok());
    EXPECT_EQ(*good, "bytes");
    EXPECT_EQ(good.error(), 0);
    EXPECT_FALSE(bad.ok());
    EXPECT_EQ(bad.valueOr("none"), "none");
    EXPECT_EQ(test::errorNumberOf([&] { (void)std::move(bad).orRaise(); }), err::kDiskFull);
    EXPECT_TRUE(Status().ok());
    EXPECT_EQ(test::errorNumberOf([] { Status(Failure{err::kDeviceIo}).orRaise(); }),
              err::kDeviceIo);
}

}  // namespace
}  // namespace orv
