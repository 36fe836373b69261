// Responsibilities: numbers as the user's regional format writes them, and the program's fixed
// number formats: reading a decimal text, rounding to whole numbers with exact halves to the
// even neighbour, the MHz text and the kHz digits of a relay, the HRD text's loose reading, and
// the window position's short float text. Nothing here throws: a text that is not a number, or
// a value out of range, gives nothing.
// Collaborations: the relay (tracker, controller command), the sources (HRD and TRX-Manager
// readings), the settings (box states, port number, positions) and the keep-above placement.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace veltaro {

// The user's regional number format.
struct NumberFormat {
    char decimal = '.';
};

// A decimal number with optional sign, digits with the regional decimal separator and an
// optional exponent, blanks allowed around it. Nothing when the text is not one, or is too
// large for a double (a value too small to tell from zero reads as zero).
std::optional<double> parseNumber(std::string_view text, NumberFormat fmt);

// Nearest whole number, an exact half to the even neighbour; nothing out of range.
std::optional<std::int16_t> roundToInt16(double v);
std::optional<std::int32_t> roundToInt32(double v);
// parseNumber, then rounded as above.
std::optional<std::int16_t> parseRoundedInt16(std::string_view text, NumberFormat fmt);

// Largest whole kHz not above mhz * 1000 (the product in double); nothing out of range.
std::optional<std::int32_t> floorKHzFromMHz(double mhz);

// a - b, nothing when it overflows 32 bits.
std::optional<std::int32_t> checkedSub(std::int32_t a, std::int32_t b);

// "##.000000"-style: integer part without leading zeros (nothing when it is 0), separator, and
// exactly `decimals` rounded decimals; a leading minus for negative values. Nothing when the
// value is not finite.
std::optional<std::string> formatFixed(double v, int decimals, NumberFormat fmt);

// The relayed frequency as MHz text from a value in MHz: "0" prefix below 10, six decimals
// below 100, five from 100 up.
std::optional<std::string> formatMHzText(double mhz, NumberFormat fmt);

// "00000000": at least eight digits, zero-padded, minus sign in front for negative values.
std::string formatKHzDigits(std::int32_t khz);

// Rounded to 15 significant digits: the value the text "%.15G" of it reads back as. Nothing
// for a value that is not finite or rounds past the largest double.
std::optional<double> roundTo15Digits(double v);

// A window position in twips as a 32-bit float with at most 7 significant digits, trailing
// zeros dropped, no separator when whole ("-60", "1200"). Nothing when not finite.
std::optional<std::string> formatTwips(float v, NumberFormat fmt);

// The loose reading of a number at the start of a text: optional sign, digits, "." fraction,
// exponent, &H/&O radix prefixes, blanks, tabs and line feeds skipped; 0 when there is none.
// Nothing when the number is too large for a double.
std::optional<double> leadingNumber(std::string_view text);

} // namespace veltaro
