#include "fixed.h"

#include <charconv>
#include <cmath>
#include <cstring>

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

Digits RoundToSeven(double value) {
  // "d.dddddde+XX": std::to_chars rounds the exact binary value like printf does.
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

void AppendBlanks(std::string& out, long count) {
  if (count > 0) out.append(static_cast<size_t>(count), ' ');
}

// nan and the infinities cannot be written as digits; they take the whole field,
// right-aligned, in the words that strtod and model importers read back.
void AppendNotFinite(std::string& out, double value, int intWidth, int decimals) {
  const char* word = std::isnan(value) ? "nan" : (value < 0 ? "-inf" : "inf");
  long width = long(intWidth) + (decimals > 0 ? long(decimals) + 1 : 0);
  AppendBlanks(out, width - static_cast<long>(std::strlen(word)));
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
  Digits d = RoundToSeven(wide);

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
  AppendBlanks(out, intWidth - length);
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

std::string FormatFixed(float value, int intWidth, int decimals) {
  std::string text;
  AppendFixed(text, value, intWidth, decimals);
  return text;
}
