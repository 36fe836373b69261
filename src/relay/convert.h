// Number conversions and formats of the frequency relay and the settings: text to number in the
// user's regional format, banker's rounding to 16/32 bit, the MHz and kHz formats, and the
// loose number reading used for HRD texts.
#pragma once

#include "platform/system.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace veltaro {

// A decimal number with optional sign, digits with the regional decimal separator and an
// optional exponent, blanks allowed around it. Raises ConversionError otherwise.
double parseNumber(std::string_view text, NumberFormat fmt);

// Round to nearest, exact halves to the even neighbour. Raises OverflowError out of range.
std::int16_t roundToInt16(double v);
std::int32_t roundToInt32(double v);
std::int16_t textToInt16(std::string_view text, NumberFormat fmt);
std::int32_t textToInt32(std::string_view text, NumberFormat fmt);

// Largest integer not above mhz * 1000 (product in double). Raises OverflowError out of range.
std::int32_t floorKHzFromMHz(double mhz);

// a - b in 32 bit, raising OverflowError on overflow.
std::int32_t checkedSub(std::int32_t a, std::int32_t b);

// "##.000000"-style: integer part without leading zeros (nothing when it is 0), separator, and
// exactly `decimals` rounded decimals; a leading minus for negative values.
std::string formatFixed(double v, int decimals, NumberFormat fmt);

// The relayed frequency as MHz text from a value in MHz: "0" prefix below 10, six decimals
// below 100, five from 100 up.
std::string formatMHzText(double mhz, NumberFormat fmt);

// "00000000": at least eight digits, zero-padded, minus sign in front for negative values.
std::string formatKHzDigits(std::int32_t khz);

// Rounded to 15 significant digits, no trailing zeros, no trailing separator.
std::string formatDecimal15(double v, NumberFormat fmt);
// The value that formatDecimal15's text reads back as: readings pass through this rounding.
// Raises OverflowError for a value that is not finite.
double roundTo15Digits(double v);

// A 32-bit float with at most 7 significant digits, trailing zeros dropped, no separator when
// whole ("-60", "1200").
std::string formatSingle(float v, NumberFormat fmt);

// The loose reading of a number at the start of a text: optional sign, digits, "." fraction,
// exponent, &H/&O radix prefixes, blanks, tabs and line feeds skipped; 0 when there is none.
double leadingNumber(std::string_view text);

} // namespace veltaro
