// Condition numbers raised while reading list-directed input.
#pragma once

namespace tgram::recio::input {

inline constexpr int kIntegerOverflow = 6100;    // integer out of range
inline constexpr int kInvalidInteger = 6101;     // not an integer
inline constexpr int kRealOverflow = 6102;       // beyond the double range
inline constexpr int kInvalidReal = 6103;        // not a real number
inline constexpr int kRealOutOfRange = 6104;     // beyond the single range
inline constexpr int kSecondBaseMark = 6302;     // "#" twice in a based integer
inline constexpr int kBadBase = 6303;            // base outside 2..36
inline constexpr int kReadFailed = 6500;         // the system refused a read
inline constexpr int kEndOfFile = 6501;          // no more data in the file
inline constexpr int kBadRepeatCount = 6502;     // zero, negative or missing
inline constexpr int kRepeatAfterRepeat = 6503;  // "2*3*4"
inline constexpr int kNotANumber = 6504;         // quoted or parenthesized

}  // namespace tgram::recio::input
