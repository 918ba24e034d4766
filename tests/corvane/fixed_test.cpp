#include "fixed.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace {

struct FixedCase {
  float value;
  int intWidth;
  int decimals;
  const char* expected;
};

const float kNan = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

const FixedCase kCases[] = {
    // coordinates: a 13-character field
    {0.0f, 4, 8, "   0.00000000"},
    {-0.0f, 4, 8, "  -0.00000000"},
    {1.5f, 4, 8, "   1.50000000"},
    {-12.25f, 4, 8, " -12.25000000"},
    {123.4567f, 4, 8, " 123.45670000"},
    {-0.5f, 4, 8, "  -0.50000000"},
    {12.5f, 4, 8, "  12.50000000"},
    {-3.75f, 4, 8, "  -3.75000000"},
    {0.125f, 4, 8, "   0.12500000"},
    {9999.99f, 4, 8, "9999.99000000"},
    {-999.5f, 4, 8, "-999.50000000"},
    // 0.1f is 0.100000001490116... when widened: seven digits hide the tail
    {0.1f, 4, 8, "   0.10000000"},
    // seven significant digits, then zeros: 0.3333333432... is 0.3333333
    {1.0f / 3.0f, 4, 8, "   0.33333330"},
    // where "%.7g" would use an exponent the digits are written plainly and cut
    {0.000015f, 4, 8, "   0.00001500"},
    {0.0000095367432f, 4, 8, "   0.00000953"},
    {0.001234567f, 4, 8, "   0.00123456"},
    {-1e-10f, 4, 8, "  -0.00000000"},
    {1e-45f, 4, 8, "   0.00000000"},
    // rounding at the seventh digit carries into the integer part
    {1.9999999f, 4, 8, "   2.00000000"},
    {0.0001f, 4, 8, "   0.00010000"},   // 0.0000999999974...
    {0.00001f, 4, 8, "   0.00001000"},  // 0.00000999999997...
    // 999.9999389... has seven digits 999.9999: the rest are zeros, not its own digits
    {999.99994f, 4, 8, " 999.99990000"},
    {-999.99994f, 4, 8, "-999.99990000"},
    // an integer part wider than its field widens the field, sign and digits kept
    {10000.0f, 4, 8, "10000.00000000"},
    {-1000.0f, 4, 8, "-1000.00000000"},
    {99999997952.0f, 4, 8, "100000000000.00000000"},
    {9999999.5f, 4, 8, "10000000.00000000"},
    {123456789.0f, 4, 8, "123456800.00000000"},
    {3.4028235e38f, 4, 8, "340282300000000000000000000000000000000.00000000"},
    // values that have no digits fill the whole field
    {kNan, 4, 8, "          nan"},
    {kInf, 4, 8, "          inf"},
    {-kInf, 4, 8, "         -inf"},
    {kNan, 3, 0, "nan"},
    {-kInf, 1, 2, "-inf"},
    // the report's fields
    {254.0f / 255.0f, 1, 2, "0.99"},
    {1.0f, 1, 2, "1.00"},
    {255.0f, 3, 0, "255"},
    {7.0f, 3, 0, "  7"},
    {2.75f, 3, 0, "  2"},
    {12.345f, 2, 2, "12.34"},
    {0.5f, 2, 2, " 0.50"},
    {1.5f, 3, 2, "  1.50"},
    {100.0f, 3, 2, "100.00"},
    // widths of zero
    {1.5f, 0, 0, "1"},
    {-0.25f, 0, 3, "-0.250"},
};

TEST(FormatFixed, WritesEveryTableValueExactly) {
  for (const FixedCase& c : kCases) {
    SCOPED_TRACE(testing::Message() << "value " << c.value << " (" << c.intWidth << ", " << c.decimals << ")");
    EXPECT_EQ(FormatFixed(c.value, c.intWidth, c.decimals), c.expected);
  }
}

TEST(FormatFixed, AppendAddsTheSameFieldBehindExistingText) {
  std::string text = "v";
  AppendFixed(text, -3.75f, 4, 8);
  AppendFixed(text, 24.0f, 4, 8);
  EXPECT_EQ(text, "v  -3.75000000  24.00000000");
}

// The field built independently from snprintf's "%.7g", the reference for how the
// seven digits are rounded: exponent forms are spelled out from their mantissa.
std::string Oracle(float value, int intWidth, int decimals) {
  char printed[64];
  std::snprintf(printed, sizeof printed, "%.7g", double(value));
  std::string text = printed;
  size_t e = text.find('e');
  if (e != std::string::npos) {
    int exponent = std::atoi(text.c_str() + e + 1);
    std::string mantissa = text.substr(0, e);
    bool negative = mantissa[0] == '-';
    if (negative) mantissa.erase(0, 1);
    std::string digits;
    for (char c : mantissa)
      if (c != '.') digits += c;
    int point = exponent + 1;
    if (point <= 0)
      text = "0." + std::string(size_t(-point), '0') + digits;
    else if (size_t(point) >= digits.size())
      text = digits + std::string(size_t(point) - digits.size(), '0');
    else
      text = digits.substr(0, size_t(point)) + "." + digits.substr(size_t(point));
    if (negative) text = "-" + text;
  }
  if (!text.empty() && text.back() == '.') text.pop_back();
  size_t dot = text.find('.');
  std::string integer = text.substr(0, dot);
  std::string fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
  fraction.resize(size_t(decimals), '0');
  std::string field;
  if (integer.size() < size_t(intWidth)) field.assign(size_t(intWidth) - integer.size(), ' ');
  field += integer;
  if (decimals > 0) field += "." + fraction;
  return field;
}

void ExpectMatchesOracle(float value, int& mismatches) {
  static const int kWidths[][2] = {{4, 8}, {1, 2}, {3, 0}, {2, 2}, {3, 2}};
  for (const auto& w : kWidths) {
    std::string got = FormatFixed(value, w[0], w[1]);
    std::string want = Oracle(value, w[0], w[1]);
    if (got != want && ++mismatches <= 5) {
      ADD_FAILURE() << "value " << std::hexfloat << value << " (" << w[0] << ", " << w[1] << "): got \"" << got
                    << "\", want \"" << want << "\"";
    }
  }
}

TEST(FormatFixed, AgreesWithPrintfOnRandomBitPatterns) {
  std::mt19937 random(20240611);
  int mismatches = 0;
  int tried = 0;
  while (tried < 200000) {
    uint32_t bits = random();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    if (!std::isfinite(value)) continue;
    ExpectMatchesOracle(value, mismatches);
    ++tried;
  }
  EXPECT_EQ(mismatches, 0);
}

TEST(FormatFixed, AgreesWithPrintfOnModelSizedValues) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> coordinates(-1000.0f, 10000.0f);
  std::uniform_real_distribution<float> fractions(0.0f, 1.0f);
  std::uniform_int_distribution<int> bytes(0, 255);
  int mismatches = 0;
  for (int i = 0; i < 100000; ++i) {
    ExpectMatchesOracle(coordinates(random), mismatches);
    ExpectMatchesOracle(fractions(random), mismatches);
    // decoded vertices: byte x scale + origin, rounded once to float
    ExpectMatchesOracle(float(bytes(random) * double(fractions(random)) - 100.0 * double(fractions(random))),
                        mismatches);
  }
  EXPECT_EQ(mismatches, 0);
}

TEST(FormatFixed, AgreesWithPrintfNextToRoundingBoundaries) {
  // Floats next to n.5 units of the seventh digit and next to powers of ten,
  // where the rounding decides or carries.
  int mismatches = 0;
  for (int exponent = -12; exponent <= 12; ++exponent) {
    double power = std::pow(10.0, exponent);
    for (double mantissa : {1.0, 9.9999995, 1.0000005, 2.5000005, 9.9999985, 5.0000015}) {
      float value = float(mantissa * power);
      for (int step = 0; step < 4; ++step) {
        ExpectMatchesOracle(value, mismatches);
        ExpectMatchesOracle(-value, mismatches);
        value = std::nextafter(value, 0.0f);
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
