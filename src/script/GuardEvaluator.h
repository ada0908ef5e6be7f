// Guards of the install script: a text reducer that rewrites the expression
// until nothing changes and calls it true when "1" is left, and the lenient
// number reading shared by all script languages.
#pragma once

#include <cstdint>
#include <string>

// Operator codes while a pass runs; the logical ones are also their binding
// levels (a higher code binds tighter).
inline constexpr char kCodeEqv = 0;
inline constexpr char kCodeXor = 1;
inline constexpr char kCodeOr = 2;
inline constexpr char kCodeAnd = 3;
inline constexpr char kCodeNot = 4;
inline constexpr char kCodeGreaterEqual = 5;
inline constexpr char kCodeLessEqual = 6;
inline constexpr char kCodeNotEqual = 7;

// Reads an optional sign, digits, one decimal point and an exponent, skipping
// blanks, tabs and line feeds anywhere ("3 2" is 32); stops at the first other
// character; a text without digits is 0.
double NumberValue(const std::string& text);

// The integer a script uses for a number: nearest, halves to the even
// neighbour; NaN is 0 and values beyond 32 bits saturate.
int32_t RoundHalfEven(double value);

// Replaces the first occurrence of find, searching from the start each time,
// until find no longer occurs.
void ReplaceAll(std::string& text, const std::string& find, const std::string& replacement);

// Non-overlapping occurrences of find, counted from the left.
int32_t CountOccurrences(const std::string& text, const std::string& find);

// One left-to-right sweep that replaces "number op number" by "1" or "0".
// False when a number is too large for a double: such a guard cannot be
// reduced (text is then left part-way).
bool EvaluateComparisons(std::string& text, const std::string& op);

// One left-to-right sweep for the logical operator with the given code
// (kCodeEqv ... kCodeNot) and truth table.
void EvaluateLogic(std::string& text, int code, const std::string& table);

// True when the guard reduces to "1"; anything else, including every malformed
// guard, is false.
bool EvaluateCondition(const std::string& text);
