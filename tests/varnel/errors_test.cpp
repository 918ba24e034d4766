#include <gtest/gtest.h>

#include <string>

#include "varnel/varnel.h"

namespace {

std::string MessageOf(int32_t code, const std::string& before = "untouched") {
  std::string text = before;
  vnlErrorString(code, text);
  return text;
}

TEST(ErrorString, EveryCodeWithAMessageWritesItExactly) {
  struct Case {
    int32_t code;
    const char* message;
  };
  const Case cases[] = {
      {1, "no memory pointer provided"},
      {2, "no file handle available"},
      {3, "no file name specified"},
      {4, "file no found"},
      {5, "file is empty"},
      {6, "general i/o error"},
      {7, "file type unsupported"},
      {8, "not enough memory"},
      {10, "file is not a Quake PAK"},
      {11, "Quake PAK corrupted"},
      {12, "file is not a Quake WAD2"},
      {13, "Quake WAD2 corrupted"},
      {14, "member name unfit for a pack"},
      {15, "member name repeated, case aside"},
      {16, "lump name unfit for a WAD2"},
      {17, "lump name repeated, case aside"},
      {20, "file is not a Quake MDL"},
      {21, "model version unsupported"},
      {22, "no skin found"},
      {23, "skin size invalid"},
      {24, "skin size invalid"},
      {25, "no vertex found"},
      {26, "no face found"},
      {27, "no frame found"},
      {28, "face uses a vertex that does not exist"},
      {30, "file is not a Quake PALETTE"},
      {31, "file is not a Quake COLORMAP"},
      {32, "file is not a Quake PICTURE"},
      {33, "tried to load the colormap before the palette"},
      {34, "colormap already loaded for this palette"},
      {35, "picture size unfit for the format"},
      {40, "scope too high (higher than 2)"},
      {41, "scope too low (lower than 0)"},
      {42, "statements found on the root scope"},
      {43, "corrupted entity definition"},
      {50, "file is not a Quake SPRITE"},
      {51, "sprite version unsupported"},
      {52, "sprite width invalid"},
      {53, "sprite height invalid"},
      {54, "no frame found"},
      {55, "group intervals not rising from above 0"},
      {60, "count too large for the model format"},
      {61, "frame name longer than 15 bytes"},
      {62, "interval of 0 or less"},
      {63, "position outside the model lattice"},
  };
  for (const Case& c : cases) EXPECT_EQ(MessageOf(c.code), c.message) << "code " << c.code;
}

TEST(ErrorString, CodesWithoutAMessageLeaveTheTextAsItWas) {
  const int32_t codes[] = {0, 9, 18, 19, 29, 36, 44, 49, 56, 99, -1, INT32_MIN, INT32_MAX};
  for (int32_t code : codes) {
    EXPECT_EQ(MessageOf(code), "untouched") << "code " << code;
    EXPECT_EQ(MessageOf(code, ""), "") << "code " << code;
  }
}

TEST(ErrorString, AMessageReplacesTheWholeText) {
  EXPECT_EQ(MessageOf(24, "a much longer text than the message itself"), "skin size invalid");
}

}  // namespace
