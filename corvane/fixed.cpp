#include "fixed.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "text_rules.h"

namespace {

constexpr int kSignificant = 7;

// The value rounded to 7 significant digits, as "%.7g" rounds it: the sign, the
// digits and the number of them that stand before the decimal point (0 or less
// for a magnitude below 1).
struct Digits {
  bool negative = false;
  char digit[kSignificant];
  int point = 0;
};

// The slow, general way: std::to_chars rounds the exact binary value like printf
// does, into "d.dddddde+XX".
Digits RoundToSevenByText(double value) {
  char text[32];
  auto done = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific, kSignificant - 1);
  const char* p = text;
  Digits d;
  if (*p == '-') {
    d.negative = true;
    ++p;
  }
  d.digit[0] = p[0];
  std::memcpy(d.digit + 1, p + 2, kSignificant - 1);
  const char* e = p + 1 + kSignificant + 1;  // past "d.dddddd" and the 'e'
  bool negativeExponent = *e == '-';
  int exponent = 0;
  std::from_chars(e + 1, done.ptr, exponent);
  d.point = (negativeExponent ? -exponent : exponent) + 1;
  return d;
}

constexpr uint64_t kPowersOfTen[] = {1ull,           10ull,           100ull,          1000ull,      10000ull,
                                     100000ull,      1000000ull,      10000000ull,     100000000ull, 1000000000ull,
                                     10000000000ull, 100000000000ull, 1000000000000ull};
constexpr int kMaxPower = 12;
constexpr uint64_t kSmallestSeven = 1000000;  // 10^6
constexpr uint64_t kBeyondSeven = 10000000;   // 10^7

// magnitude x 10^power, rounded to an integer half to even, computed exactly for
// magnitude = mantissa x 2^exponent. False when the product does not fit 64 bits.
bool ScaleExactly(uint64_t mantissa, int exponent, int power, uint64_t& rounded) {
  if (power < -kMaxPower || power > kMaxPower) return false;
  uint64_t quotient, remainder, half;
  bool tie;
  if (power >= 0) {
    uint64_t product = mantissa * kPowersOfTen[power];  // < 2^24 x 10^12 < 2^64
    if (exponent >= 0) {
      if (exponent > 63 || product > (UINT64_MAX >> exponent)) return false;
      rounded = product << exponent;  // a whole number: nothing to round
      return true;
    }
    if (exponent < -63) return false;
    int shift = -exponent;
    quotient = product >> shift;
    remainder = product & ((uint64_t(1) << shift) - 1);
    half = uint64_t(1) << (shift - 1);
    tie = remainder == half;
  } else {
    if (exponent < 0 || exponent > 39) return false;
    uint64_t whole = mantissa << exponent;  // < 2^63
    uint64_t divisor = kPowersOfTen[-power];
    quotient = whole / divisor;
    remainder = whole % divisor;
    half = divisor / 2;  // divisors are even: a tie is exactly half
    tie = remainder == half;
  }
  bool up = remainder > half || (tie && (quotient & 1) != 0);
  rounded = quotient + (up ? 1 : 0);
  return true;
}

// floor(binary x log10(2)) without floating point: 78913 / 2^18 is close enough
// to log10(2) for every binary exponent of a float.
int FloorTimesLog10Of2(int binary) {
  int scaled = binary * 78913;
  return scaled >= 0 ? scaled >> 18 : -((-scaled + (1 << 18) - 1) >> 18);
}

// The float's own bits give its value as mantissa x 2^exponent; scaling that by a
// power of ten in 64-bit integers rounds exactly as printf does (ties to even), at
// a fraction of the cost of the general conversion. Magnitudes too small or too
// large for 64 bits return false and take the general way.
bool RoundToSevenExactly(float value, Digits& d) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  d.negative = (bits >> 31) != 0;
  uint32_t biased = (bits >> 23) & 0xFF;
  uint64_t mantissa = bits & 0x7FFFFF;
  if (biased == 0xFF) return false;
  if (biased == 0) {
    if (mantissa == 0) {  // zero, of either sign: "0.000000e+00"
      std::memset(d.digit, '0', kSignificant);
      d.point = 1;
      return true;
    }
    return false;  // subnormal: far below what the fast way covers
  }
  mantissa |= 0x800000;
  int exponent = int(biased) - 150;
  // floor(log2 |value|) = exponent + 23; the decimal exponent is this times
  // log10(2) rounded down, or one more.
  int decimal = FloorTimesLog10Of2(exponent + 23);
  uint64_t rounded = 0;
  if (!ScaleExactly(mantissa, exponent, kSignificant - 1 - decimal, rounded)) return false;
  if (rounded >= kBeyondSeven) {
    ++decimal;
    if (!ScaleExactly(mantissa, exponent, kSignificant - 1 - decimal, rounded)) return false;
  }
  if (rounded == kBeyondSeven) {  // 9999999.5 and above carry into the next power of ten
    rounded = kSmallestSeven;
    ++decimal;
  }
  if (rounded < kSmallestSeven || rounded >= kBeyondSeven) return false;  // cannot happen; stay safe
  for (int i = kSignificant - 1; i >= 0; --i) {
    d.digit[i] = char('0' + rounded % 10);
    rounded /= 10;
  }
  d.point = decimal + 1;
  return true;
}

Digits RoundToSeven(float value) {
  Digits d;
  if (RoundToSevenExactly(value, d)) return d;
  return RoundToSevenByText(double(value));
}

// nan and the infinities cannot be written as digits; they take the whole field,
// right-aligned, in the words that strtod and model importers read back.
void AppendNotFinite(std::string& out, double value, int intWidth, int decimals) {
  const char* word = std::isnan(value) ? "nan" : (value < 0 ? "-inf" : "inf");
  size_t width = size_t(intWidth) + (decimals > 0 ? size_t(decimals) + 1 : 0);
  AppendBlanks(out, width, std::strlen(word));
  out += word;
}

}  // namespace

void AppendFixed(std::string& out, float value, int intWidth, int decimals) {
  if (intWidth < 0) intWidth = 0;
  if (decimals < 0) decimals = 0;
  double wide = value;
  if (!std::isfinite(wide)) {
    AppendNotFinite(out, wide, intWidth, decimals);
    return;
  }
  Digits d = RoundToSeven(value);

  // Integer part: a float has at most 39 integer digits, plus the sign.
  char integer[48];
  int length = 0;
  if (d.negative) integer[length++] = '-';
  if (d.point <= 0) {
    integer[length++] = '0';
  } else {
    for (int i = 0; i < d.point; ++i) integer[length++] = i < kSignificant ? d.digit[i] : '0';
  }
  // An integer part wider than its field widens the field: no digit is ever lost.
  AppendBlanks(out, size_t(intWidth), size_t(length));
  out.append(integer, static_cast<size_t>(length));

  if (decimals == 0) return;
  out.push_back('.');
  // Fraction digit k is significant digit point + k; beyond the seven it is zero.
  // Taking exactly `decimals` of them cuts without rounding and pads with zeros.
  for (int k = 0; k < decimals; ++k) {
    int i = d.point + k;
    out.push_back(i >= 0 && i < kSignificant ? d.digit[i] : '0');
  }
}

void AppendCoordinate(std::string& out, float value) {
  out.push_back(' ');
  AppendFixed(out, value, 4, 8);
}

std::string FormatFixed(float value, int intWidth, int decimals) {
  std::string text;
  AppendFixed(text, value, intWidth, decimals);
  return text;
}
