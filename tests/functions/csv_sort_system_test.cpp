#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "orvcommon/functions/funzioni.hpp"
#include "orvcommon/platform/files.hpp"
#include "support/csv_reference.hpp"
#include "support/sandbox.hpp"

namespace orv {
namespace {

using test::cleared;
using test::Sandbox;

// The field rules and the field count limit are checked against the
// reference splitter below; this table holds the capacity limits and the
// result objects: the name of the case, the line, the upper bound of the
// array, the error (0, eiABORTED or a run-time error) and the fields read.
TEST(GetValueFromCsvString, CapacityAndLimits) {
    const std::vector<std::tuple<const char*, Text, int32_t, int32_t, std::vector<Text>>> cases = {
        {"empty line", u"", 1, 0, {u""}},
        {"empty line, no room", u"", 0, eiABORTED, {}},
        {"single quote field", u"a;\"", 2, 5, {u"a"}},
        {"no dimensions", u"a", -99, 9, {}},
        {"upper bound too large", u"a", 32767, 6, {}},
        {"upper bound -1", u"a", -1, 9, {}},
        {"line at the limit", Text(32766, u'x'), 1, 0, {Text(32766, u'x')}},
        {"line too long", Text(32767, u'x'), 1, 6, {}},
    };
    for (const auto& [name, line, upper, number, fields] : cases) {
        SCOPED_TRACE(name);
        Sandbox sb;
        Funzioni f;
        Array<Text> arr;
        if (upper != -99) arr.redim({0, upper});
        for (auto& s : arr.elements())
            s = u"old";
        std::vector<Text> want = arr.storage();
        int32_t found = 42;
        ErrInfo expected = cleared();
        if (number)
            expected.fill(number,
                          number == eiABORTED ? Text(u"Array di input sottodimensionato")
                                              : standardMessage(number),
                          eiERRORTYPE, u"getValueFromCsvString", Text(u"Funzioni"),
                          Text(u"orvcommon"));
        EXPECT_EQ(f.getValueFromCsvString(line, arr, found), expected);
        EXPECT_EQ(found, static_cast<int32_t>(fields.size()));
        EXPECT_EQ(sb.logLines(), number && number != eiABORTED ? 1u : 0u);
        // The fields from index 1; index 0 and the elements past them are never written.
        std::copy(fields.begin(), fields.end(), want.begin() + (want.empty() ? 0 : 1));
        EXPECT_EQ(arr.storage(), want);
    }
}

// Random lines against the rules written out one character at a time.
TEST(GetValueFromCsvString, FollowsTheReferenceSplitter) {
    Sandbox sb;
    std::mt19937 rng(7);
    const char16_t kAlphabet[] = {u'a', u' ', u'"', u';', u'\u00e9', u'\r', u'\n'};
    Funzioni f;
    for (int i = 0; i < 3000; ++i) {
        Text line(rng() % 40, u'a');
        for (char16_t& c : line)
            c = kAlphabet[rng() % std::size(kAlphabet)];
        const int32_t upper = static_cast<int32_t>(rng() % 7);
        const test::NaiveSplit want = test::naiveSplit(line, upper);
        Array<Text> fields({0, upper});
        int32_t found = -1;
        const ErrInfo r = f.getValueFromCsvString(line, fields, found);
        SCOPED_TRACE(toUtf8(line));
        ASSERT_EQ(r.numberInfo(), want.number);
        ASSERT_EQ(found, static_cast<int32_t>(want.fields.size()));
        for (int32_t k = 1; k <= found; ++k)
            ASSERT_EQ(fields.at(k), want.fields[static_cast<size_t>(k - 1)]);
    }
}

// Random elements sorted on the key at character 2, elements 10 to 490, against
// an independent sort: the keys in order, the range a permutation of itself,
// the rest untouched. Keys short and long (the packed and the buffered
// comparison), both case rules. Half the elements start with a piece of one
// 16-character prefix, so keys often agree on their first 8 or 16 characters
// and differ after, in case, in length or not at all.
TEST(QuickSortArray, AgreesWithAReferenceSortOfTheKeys) {
    Sandbox sb;
    std::mt19937 rng(11);
    const Text prefix = u"ArtCode-2024/xyz";
    for (int16_t len : {1, 2, 3, 8, 9, 20, 30}) {
        for (bool keepCase : {false, true}) {
            Array<Text> arr({0, 499});
            for (Text& s : arr.elements()) {
                s = u"#" + (rng() % 2 ? prefix.substr(0, rng() % (prefix.size() + 1)) : Text());
                for (size_t n = rng() % 16; n > 0; --n)
                    s += u"aAbBzZ\u00e9\u00c9"[rng() % 8];
            }
            const auto keys = [&](std::vector<Text> all) {
                std::vector<Text> out;
                for (auto it = all.begin() + 10; it != all.begin() + 491; ++it) {
                    const Text k = it->size() >= 2 ? it->substr(1, len) : Text();
                    out.push_back(keepCase ? k : toUpper(k));
                }
                return out;
            };
            std::vector<Text> want = keys(arr.storage()), a = arr.storage();
            std::sort(want.begin(), want.end());
            const ErrInfo r = Funzioni().quickSortArray(arr, 10, 490, 2, len, keepCase);
            ASSERT_EQ(r.numberInfo(), 0);
            EXPECT_EQ(r.typeInfo(), eiINFORMATIONTYPE);
            EXPECT_TRUE(r.processInfo().empty());
            EXPECT_EQ(keys(arr.storage()), want) << "len " << len << " keepCase " << keepCase;
            std::vector<Text> b = arr.storage();
            std::sort(a.begin() + 10, a.begin() + 491);
            std::sort(b.begin() + 10, b.begin() + 491);
            EXPECT_EQ(a, b);
        }
    }
    EXPECT_EQ(sb.logLines(), 0u);
}
TEST(QuickSortArray, Failures) {
    // Low, high, start and length of the key, the error.
    const std::tuple<int32_t, int32_t, int16_t, int16_t, int32_t> cases[] = {
        {1, 3, 0, 1, 5}, {1, 3, 1, -1, 5}, {1, 2, 0, 1, 5},  {0, 3, 1, 1, 9},
        {1, 4, 1, 1, 9}, {2, 2, 0, 1, 0},  {3, 1, 0, -1, 0},
    };
    for (const auto& [low, high, start, len, number] : cases) {
        Sandbox sb;
        Funzioni f;
        Array<Text> arr({1, 3});
        arr.at(1) = u"c";
        arr.at(2) = u"b";
        arr.at(3) = u"a";
        ErrInfo r = f.quickSortArray(arr, low, high, start, len, false);
        EXPECT_EQ(r.numberInfo(), number);
        EXPECT_EQ(r.locationInfo(), u"quickSortArray");
        EXPECT_EQ(r.classInfo(), u"orvcommon");
        EXPECT_EQ(sb.logLines(), number ? 1u : 0u);
        EXPECT_EQ(arr.storage(), (std::vector<Text>{u"c", u"b", u"a"}));  // nothing moved
    }
    Sandbox sb;
    Funzioni f;
    Array<Text> none;
    EXPECT_EQ(f.quickSortArray(none, 1, 2, 1, 1, false).numberInfo(), 9);
}

TEST(SystemInformation, DirectoriesAndSerial) {
    Sandbox sb;
    Funzioni f;
    Text win = u"w", sys = u"s";
    EXPECT_EQ(f.getWinAndSistemDir(win, sys), cleared());
    EXPECT_EQ(std::tie(win, sys),
              std::make_tuple(platform::windowsFolder(), platform::systemFolder()));
    EXPECT_FALSE(win.empty());

    int32_t serial = -5;
    EXPECT_EQ(f.getSerialNumber(u"/no/such/volume", serial), cleared());
    EXPECT_EQ(serial, 5);  // kept as passed, made non-negative
    serial = -1;
    ASSERT_TRUE(f.getSerialNumber(u"/", serial).isSuccess());
    const auto raw = platform::volumeSerial(u"/");
    ASSERT_TRUE(raw.ok());
    const int32_t s = static_cast<int32_t>(*raw);
    if (s != INT32_MIN) {
        EXPECT_EQ(serial, s < 0 ? -s : s);
    }
    serial = INT32_MIN;
    ErrInfo r = f.getSerialNumber(u"/no/such/volume", serial);
    EXPECT_EQ(r.numberInfo(), 6);
    EXPECT_EQ(r.locationInfo(), u"getSerialNumber");
    EXPECT_EQ(r.classInfo(), u"orvcommon");
    EXPECT_EQ(sb.logLines(), 1u);
}

}  // namespace
}  // namespace orv
