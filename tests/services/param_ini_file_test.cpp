#include "services/param_ini_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "tests/platform/temp_folder.h"

namespace services {
namespace {

using platform::testing::TempFolder;
using platform::testing::WriteBytes;

struct GeneralCase {
  double value;
  const char* expected;
  const char* why;
};

TEST(FloatToGeneral7Test, WritesSevenSignificantDigitsInFixedOrExponentForm) {
  // Floats are widened to double before formatting, so their binary error must
  // vanish in the rounding to 7 digits.
  const std::vector<GeneralCase> cases = {
      {1.4125f, "1.4125", "1.41250002.. rounds to 1.412500, zeros dropped"},
      {0.1f, "0.1", "0.100000001.. rounds to 1.000000E-1"},
      {16.666666f, "16.66667", "16.6666660.. has 8 digits, the 8th rounds up"},
      {1.6666667E-5f, "0.00001666667",
       "1.666667E-5 is at least 0.00001 with no digit before the point: fixed"},
      {12345678.0f, "1.234568E7", "8 digits before the point: exponent form, rounded"},
      {1E8f, "1E8", "9 digits before the point; mantissa 1 without a point"},
      {1.2345E-6f, "1.2345E-6", "below 0.00001: exponent form, '-' only here"},
      {-273.15f, "-273.15", "-273.149993.. rounds to -273.1500, sign kept"},
      {0.0, "0", "zero has no digits to lay out"},
      {-0.0, "0", "negative zero is written as zero"},
      {9999999.5, "1E7", "rounding to 7 digits carries into an 8th digit"},
      {9999999.0, "9999999", "7 digits before the point is still fixed"},
      {1000000.0, "1000000", "zeros before the point are not trailing zeros"},
      {100.0f, "100", "no decimal point without decimals"},
      {0.00001, "0.00001", "the smallest fixed value"},
      {0.00001f, "0.00001", "9.99999974..E-6 rounds up to the threshold"},
      {9.999E-6, "9.999E-6", "just below the threshold"},
      {-1.5E-7, "-1.5E-7", "negative mantissa and exponent"},
      {123.456789, "123.4568", "rounded at the 7th digit"},
      {0.5, "0.5", "leading zero before the point"},
      {1.2578125f, "1.257813", "exact half after an even digit: away from zero"},
      {-1.2578125f, "-1.257813", "negative exact half: away from zero"},
      {1.1171875f, "1.117188", "exact half after an odd digit"},
      {1234566.5f, "1234567", "exact half at the first decimal"},
      {1.28125f, "1.28125", "fewer than 7 digits: nothing to round"},
      {1.2578124f, "1.257812", "the float nearest 1.2578124 lies below the half"},
      {std::numeric_limits<float>::max(), "3.402823E38", "largest float"},
      {std::numeric_limits<float>::denorm_min(), "1.401298E-45", "smallest float"},
      {std::numeric_limits<double>::quiet_NaN(), "NAN", "not a number"},
      {std::numeric_limits<double>::infinity(), "INF", "infinity"},
      {-std::numeric_limits<double>::infinity(), "-INF", "negative infinity"},
  };
  for (const GeneralCase& c : cases) {
    EXPECT_EQ(FloatToGeneral7(c.value), c.expected) << c.why;
  }
}

struct DigitsCase {
  double value;
  int digits;
  const char* expected;
  const char* why;
};

TEST(FloatToGeneralTest, RoundsToTheGivenDigitsAndMovesTheExponentLimitWithThem) {
  const std::vector<DigitsCase> cases = {
      {16.666666f, 5, "16.667", "rounded at the 5th digit"},
      {12345.0, 5, "12345", "5 digits before the point is still fixed"},
      {123456.0, 5, "1.2346E5", "6 digits before the point: exponent form"},
      {99999.5, 5, "1E5", "rounding carries into a 6th digit"},
      {0.000123456, 5, "0.00012346", "zeros after the point are not significant"},
      {-273.15f, 5, "-273.15", "a float's binary error vanishes at 5 digits as well"},
      {1.2345E-6, 5, "1.2345E-6", "below 0.00001 as with 7 digits"},
      {1.8, 1, "2", "one digit: no point in the mantissa"},
      {26.0, 1, "3E1", "one digit and two before the point: exponent form"},
      {0.1, 17, "0.10000000000000001", "17 digits show the double exactly"},
      {0.1, 30, "0.10000000000000001", "more than 17 digits are taken as 17"},
      {1.8, 0, "2", "fewer than one digit is taken as one"},
      {2.5, 1, "3", "exact half, one digit: away from zero"},
      {-0.125, 2, "-0.13", "negative exact half, two digits"},
      {9.5, 1, "1E1", "an exact half carries into the exponent"},
      {0.375, 2, "0.38", "exact half after an odd digit"},
  };
  for (const DigitsCase& c : cases) {
    EXPECT_EQ(FloatToGeneral(c.value, c.digits), c.expected) << c.why;
  }
}

// A parameter file with one section "S" holding key "K" = text.
class ReadValueTest : public ::testing::Test {
 protected:
  TParamIniFile File(const std::string& text) {
    const std::string path = dir_ / "values.PEG";
    WriteBytes(path, "[S]\r\nK=" + text + "\r\n");
    return TParamIniFile(path, false);
  }
  TempFolder dir_;
};

TEST_F(ReadValueTest, AcceptsDecimalNumbersWithPointOrOneComma) {
  const std::vector<std::pair<std::string, double>> cases = {
      {"1.5", 1.5},
      {"1,5", 1.5},
      {"-0,25", -0.25},
      {"1e5", 1e5},
      {"1E-5", 1e-5},
      {"2,5E3", 2500},
      {"1e+3", 1000},
      {".5", 0.5},
      {"7.", 7},
      {"  3  ", 3},
      {"\t-4\t", -4},
      {"12345678", 12345678},
      {"1.6666667E-5", 1.6666667E-5},
      {"+5", 5},
      {"+1", 1},
      {" +0,5 ", 0.5},
      {"+.5", 0.5},
      {"+2E3", 2000},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(File(text).ReadFloatValue("S", "K", "0"), expected) << text;
  }
}

TEST_F(ReadValueTest, MissingKeyTakesTheDefaultText) {
  const TParamIniFile ini = File("1");
  EXPECT_EQ(ini.ReadFloatValue("S", "Other", "100.0"), 100.0);
  EXPECT_EQ(ini.ReadFloatValue("Missing", "K", "0,5"), 0.5);
}

TEST_F(ReadValueTest, RejectsWhatIsNotAPlainDecimalNumber) {
  const std::vector<std::string> bad = {
      "nan", "NaN",   "inf",  "-inf",  "Infinity", "0x10", "0x1p3", "1.5abc", "",      "abc", "1 5",
      "+-1", "1,5,0", "1.5.", "1e999", "--1",      "1e",   ",",     "-",      "1e5.5", "5%",
      "+",   "++1",   "-+1",  "+ 1",   "+nan",     "+inf",
  };
  for (const std::string& text : bad) {
    try {
      File(text).ReadFloatValue("S", "K", "0");
      ADD_FAILURE() << "accepted \"" << text << "\"";
    } catch (const TParameterFileError& e) {
      EXPECT_EQ(e.ErrorKind(), TParameterFileError::Kind::kConversion) << text;
      EXPECT_EQ(e.Section(), "S");
      EXPECT_EQ(e.Key(), "K");
      EXPECT_EQ(e.Value(), text);
    }
  }
}

TEST_F(ReadValueTest, ErrorMessageNamesSectionKeyAndValue) {
  try {
    File("abc").ReadFloatValue("S", "K", "0");
    FAIL() << "no error";
  } catch (const TParameterFileError& e) {
    const std::string message = e.what();
    EXPECT_NE(message.find("\"S\""), std::string::npos) << message;
    EXPECT_NE(message.find("\"K\""), std::string::npos) << message;
    EXPECT_NE(message.find("\"abc\""), std::string::npos) << message;
  }
}

enum class Field { kByte, kWord, kInt, kSingle };

struct FitCase {
  Field field;
  const char* text;
  std::optional<double> expected;  // nullopt: range error
};

TEST_F(ReadValueTest, FieldReadersTruncateTowardZeroAndCheckTheRange) {
  const double float_max = std::numeric_limits<float>::max();
  const std::vector<FitCase> cases = {
      {Field::kByte, "0", 0},
      {Field::kByte, "3.9", 3},
      {Field::kByte, "-0.5", 0},  // truncates to 0, which fits
      {Field::kByte, "255.9", 255},
      {Field::kByte, "256", std::nullopt},
      {Field::kByte, "-1", std::nullopt},
      {Field::kByte, "1e30", std::nullopt},
      {Field::kWord, "65535", 65535},
      {Field::kWord, "65536", std::nullopt},
      {Field::kWord, "-1", std::nullopt},
      {Field::kInt, "-2147483648", -2147483648.0},
      {Field::kInt, "2147483647.5", 2147483647},
      {Field::kInt, "2147483648", std::nullopt},
      {Field::kInt, "-2147483649", std::nullopt},
      {Field::kSingle, "3.402823E38", 3.402823E38f},
      {Field::kSingle, "-3.4028235E38", -float_max},  // rounds to the largest float
      {Field::kSingle, "1e39", std::nullopt},
      {Field::kSingle, "-1e39", std::nullopt},
      {Field::kSingle, "1e-50", 0},  // underflows to zero, as any float conversion does
  };
  for (const FitCase& c : cases) {
    const TParamIniFile ini = File(c.text);
    const auto read = [&]() -> double {
      switch (c.field) {
        case Field::kByte:
          return ini.ReadByteValue("S", "K", "0");
        case Field::kWord:
          return ini.ReadWordValue("S", "K", "0");
        case Field::kInt:
          return ini.ReadIntValue("S", "K", "0");
        case Field::kSingle:
          return ini.ReadSingleValue("S", "K", "0");
      }
      return 0;
    };
    if (c.expected) {
      EXPECT_EQ(read(), *c.expected) << c.text;
    } else {
      try {
        read();
        ADD_FAILURE() << "accepted \"" << c.text << "\"";
      } catch (const TParameterFileError& e) {
        EXPECT_EQ(e.ErrorKind(), TParameterFileError::Kind::kRange) << c.text;
        EXPECT_EQ(e.Value(), c.text);
      }
    }
  }
}

}  // namespace
}  // namespace services
