// Times in the exported documents: local time with its offset from UTC, whichever side of UTC and
// with offsets that are not whole hours. Names in them: one text per name, the window's unchanged.

#include <time.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "common/shown_name.h"
#include "detect/scan_export.h"

using namespace tessaly;

namespace {

TEST(ScanExportTest, TimesCarryTheLocalOffset)
{
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    const struct {
        const char* tz;
        std::int64_t t;
        const char* expected;
    } cases[] = {
        {"UTC0", 1299318067, "2011-03-05T09:41:07+00:00"},
        {"JST-9", 1299318067, "2011-03-05T18:41:07+09:00"},       // east of UTC, next to a day change
        {"NST3:30", 1299318067, "2011-03-05T06:11:07-03:30"},     // west, half an hour
        {"JST-9", 1293807600, "2011-01-01T00:00:00+09:00"},       // local midnight is UTC's previous day
        {"NST3:30", 0, "1969-12-31T20:30:00-03:30"},
    };
    for (const auto& c : cases) {
        ::setenv("TZ", c.tz, 1);
        ::tzset();
        EXPECT_EQ(IsoLocalTime(c.t), c.expected) << c.tz << " " << c.t;
    }
    if (old)
        ::setenv("TZ", saved.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

// Names that the window's escaping shows alike must come out of an export apart; the window keeps
// a backslash as it is (a Windows path).
TEST(ScanExportTest, ExportedNamesAreOneToOne)
{
    const struct {
        std::string name, exported, shown;
    } cases[] = {
        {"new\\nline", "new\\\\nline", "new\\nline"},
        {"new\nline", "new\\nline", "new\\nline"},
        {"C:\\dir\\x.txt", "C:\\\\dir\\\\x.txt", "C:\\dir\\x.txt"},
        {"\\xff", "\\\\xff", "\\xff"},
        {"\xff", "\\xff", "\\xff"},
        {"a\xe2\x80\xae", "a\\u202e", "a\\u202e"},
        {"\\u202e", "\\\\u202e", "\\u202e"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExportedName(c.name), c.exported) << c.name;
        EXPECT_EQ(ShownName(c.name), c.shown) << c.name;
    }
}

}  // namespace
