#include "script/GuardEvaluator.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsNumberBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

bool IsTruth(char c) {
    return c == '0' || c == '1';
}

// Arithmetic is never evaluated: a number that touches one of these (or a
// parenthesis on the outer side) is not compared.
bool BlocksLeft(char c) {
    return c == '-' || c == '^' || c == '*' || c == '/' || c == '#' || c == '+' || c == ')';
}
bool BlocksRight(char c) {
    return c == '-' || c == '^' || c == '*' || c == '/' || c == '#' || c == '+' || c == '(';
}

// Characters that some rewrite can take out of a guard: digits, parentheses,
// the comparison characters and the letters of the operator words. Any other
// character stays to the end, so the guard can never become "1".
bool CanReduce(char c) {
    if (IsDigit(c)) return true;
    switch (c) {
    case '(':
    case ')':
    case '=':
    case '<':
    case '>':
    case '|':
    case 'n':
    case 'o':
    case 't':
    case 'a':
    case 'd':
    case 'x':
    case 'r':
    case 'e':
    case 'q':
    case 'v':
        return true;
    default:
        return false;
    }
}

std::string TrimBlanks(const std::string& s) {
    const size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    const size_t last = s.find_last_not_of(' ');
    return s.substr(first, last - first + 1);
}

const std::string kWordNot = "not";
const std::string kWordAnd = "and";
const std::string kWordXor = "xor";
const std::string kWordOr = "or";
const std::string kWordEqv = "eqv";

std::string Code(char c) {
    return std::string(1, c);
}

// "xor" goes before "or", so that it is never read as "x" and "or".
void EncodeWords(std::string& t) {
    ReplaceAll(t, kWordNot, Code(kCodeNot));
    ReplaceAll(t, kWordAnd, Code(kCodeAnd));
    ReplaceAll(t, kWordXor, Code(kCodeXor));
    ReplaceAll(t, kWordOr, Code(kCodeOr));
    ReplaceAll(t, kWordEqv, Code(kCodeEqv));
}

void DecodeWords(std::string& t) {
    ReplaceAll(t, Code(kCodeNot), kWordNot);
    ReplaceAll(t, Code(kCodeAnd), kWordAnd);
    ReplaceAll(t, Code(kCodeOr), kWordOr);
    ReplaceAll(t, Code(kCodeXor), kWordXor);
    ReplaceAll(t, Code(kCodeEqv), kWordEqv);
}

enum class Unwrapped { Nothing, Number, EmptyGroup };

// Replaces the first "(digits)" by the number without leading zeros, "()" by
// nothing. Such groups cannot overlap, so the first "(" that opens one belongs
// to the first ")" that closes one; ")" is found faster than "(" is tested.
Unwrapped UnwrapFirstGroup(std::string& t) {
    size_t from = 0;
    for (;;) {
        const size_t close = t.find(')', from);
        if (close == std::string::npos) return Unwrapped::Nothing;
        size_t digits = close;
        while (digits > 0 && IsDigit(t[digits - 1]))
            --digits;
        if (digits > 0 && t[digits - 1] == '(') {
            const size_t open = digits - 1;
            size_t first = digits;
            while (first + 1 < close && t[first] == '0')
                ++first;
            const std::string number = t.substr(first, close - first);
            t.replace(open, close - open + 1, number);
            return number.empty() ? Unwrapped::EmptyGroup : Unwrapped::Number;
        }
        from = close + 1;
    }
}

bool Compare(const std::string& op, double left, double right) {
    if (op == ">=" || op == "=>") return left >= right;
    if (op == "<=" || op == "=<") return left <= right;
    if (op == "<>" || op == "|") return left != right;
    if (op == "=") return left == right;
    if (op == "<") return left < right;
    if (op == ">") return left > right;
    return false;
}

} // namespace

namespace {

// The digits of a number as read, without its point, and how many of them
// came after the point.
struct Mantissa {
    std::string digits;
    long fractionDigits = 0;
    bool anyDigit = false;
};

size_t SkipNumberBlanks(const std::string& text, size_t i) {
    while (i < text.size() && IsNumberBlank(text[i]))
        ++i;
    return i;
}

Mantissa ReadMantissa(const std::string& text, size_t& i) {
    Mantissa m;
    bool point = false;
    for (;;) {
        i = SkipNumberBlanks(text, i);
        if (i >= text.size()) break;
        const char c = text[i];
        if (IsDigit(c)) {
            m.anyDigit = true;
            m.digits += c;
            if (point) ++m.fractionDigits;
        } else if (c != '.' || point) {
            break;
        } else {
            point = true;
        }
        ++i;
    }
    return m;
}

// The exponent counts only when digits follow the "e"; it is held within a
// range wide enough to overflow or underflow any double.
long ReadExponent(const std::string& text, size_t i) {
    i = SkipNumberBlanks(text, i);
    if (i >= text.size() || (text[i] != 'e' && text[i] != 'E')) return 0;
    i = SkipNumberBlanks(text, i + 1);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long exponent = 0;
    bool digits = false;
    for (;;) {
        i = SkipNumberBlanks(text, i);
        if (i >= text.size() || !IsDigit(text[i])) break;
        digits = true;
        if (exponent < 100000) exponent = exponent * 10 + (text[i] - '0');
        ++i;
    }
    if (!digits) return 0;
    return negative ? -exponent : exponent;
}

} // namespace

double NumberValue(const std::string& text) {
    size_t i = SkipNumberBlanks(text, 0);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const Mantissa m = ReadMantissa(text, i);
    if (!m.anyDigit) return 0.0;
    const long exponent = ReadExponent(text, i);
    // Digits and an exponent with no point: strtod reads that alike in every
    // locale, correctly rounded, to infinity past the largest double and to
    // zero below the smallest.
    const std::string literal = m.digits + "e" + std::to_string(exponent - m.fractionDigits);
    const double value = std::strtod(literal.c_str(), nullptr);
    return negative ? -value : value;
}

int32_t RoundHalfEven(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    double whole = std::floor(value);
    const double rest = value - whole;
    if (rest > 0.5 || (rest == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
    return static_cast<int32_t>(whole);
}

namespace {

// Swapping two neighbours ("=>" to ">=") ends, whatever the order, with every
// y in front of every x in each run made of the two: the runs are sorted
// instead of swapped one pair at a time.
void SortNeighbourRuns(std::string& text, char x, char y) {
    for (size_t i = 0; i < text.size();) {
        if (text[i] != x && text[i] != y) {
            ++i;
            continue;
        }
        size_t end = i;
        size_t ys = 0;
        while (end < text.size() && (text[end] == x || text[end] == y))
            ys += text[end++] == y;
        std::fill(text.begin() + static_cast<std::ptrdiff_t>(i),
                  text.begin() + static_cast<std::ptrdiff_t>(i + ys), y);
        std::fill(text.begin() + static_cast<std::ptrdiff_t>(i + ys),
                  text.begin() + static_cast<std::ptrdiff_t>(end), x);
        i = end;
    }
}

} // namespace

void ReplaceAll(std::string& text, const std::string& find, const std::string& replacement) {
    const size_t n = find.size();
    if (n == 0) return;
    if (replacement.find(find) != std::string::npos) {
        // Searching from the start would never end; each occurrence of the
        // original text is replaced once instead.
        std::string out;
        size_t from = 0;
        for (size_t at; (at = text.find(find, from)) != std::string::npos; from = at + n)
            out.append(text, from, at - from).append(replacement);
        text = out.append(text, from, std::string::npos);
        return;
    }
    size_t first = text.find(find);
    if (first == std::string::npos) return;
    if (n == 2 && find[0] != find[1] && replacement.size() == 2 && replacement[0] == find[1] &&
        replacement[1] == find[0]) {
        SortNeighbourRuns(text, find[0], find[1]);
        return;
    }
    // Same result as searching from the start after every replacement: the
    // text left of the replaced part never holds find, so the text is built
    // in `out` and a replacement goes back in front of the unread rest, where
    // it may form a new occurrence with the characters around it ("==>" turns
    // into ">==" in two steps). `pending` holds the unread rest reversed.
    std::string pending(text.rbegin(), text.rend() - static_cast<std::ptrdiff_t>(first));
    std::string out;
    out.reserve(text.size());
    out.assign(text, 0, first);
    // Each replacement either shortens the text or, for the equal-length and
    // longer ones this module uses, removes an inversion or a code character;
    // the budget bounds any other use.
    const uint64_t size = text.size();
    uint64_t budget = (size + 1) * (size + 1);
    while (!pending.empty()) {
        out += pending.back();
        pending.pop_back();
        if (out.size() >= n && out.compare(out.size() - n, n, find) == 0) {
            if (budget-- == 0) {
                out.append(pending.rbegin(), pending.rend());
                pending.clear();
                break;
            }
            out.resize(out.size() - n);
            pending.append(replacement.rbegin(), replacement.rend());
        }
    }
    text.swap(out);
}

int32_t CountOccurrences(const std::string& text, const std::string& find) {
    if (find.empty()) return 0;
    int32_t count = 0;
    for (size_t at = text.find(find); at != std::string::npos;
         at = text.find(find, at + find.size()))
        ++count;
    return count;
}

bool EvaluateComparisons(std::string& text, const std::string& op) {
    if (op.empty()) return true;
    const size_t opLen = op.size();
    size_t from = 0;
    for (;;) {
        const size_t p = text.find(op, from);
        const size_t len = text.size();
        // The operator needs a character before it and two from its start on.
        if (p == std::string::npos || p < 1 || p + 3 > len) return true;
        size_t l = p;
        while (l > 0 && IsDigit(text[l - 1]))
            --l;
        size_t r = p + opLen - 1;
        while (r + 1 < len && IsDigit(text[r + 1]))
            ++r;
        const bool evaluate = l < p && r > p + opLen - 1 && r + 1 < len &&
                              (l == 0 || !BlocksLeft(text[l - 1])) && !BlocksRight(text[r + 1]);
        if (!evaluate) {
            from = p + 1;
            continue;
        }
        const double left = NumberValue(text.substr(l, p - l));
        const double right = NumberValue(text.substr(p + opLen, r - (p + opLen) + 1));
        // A number beyond the range of a double cannot be compared: reading
        // both as infinity would make any two huge numbers equal.
        if (!std::isfinite(left) || !std::isfinite(right)) return false;
        text.replace(l, r - l + 1, 1, Compare(op, left, right) ? '1' : '0');
        from = l + 1;
    }
}

void EvaluateLogic(std::string& text, int code, const std::string& table) {
    if (code < kCodeEqv || code > kCodeNot) return;
    const char mark = static_cast<char>(code);
    const auto level = [](char c) { return static_cast<unsigned char>(c); };
    const auto ucode = static_cast<unsigned>(code);
    size_t from = 0;
    for (;;) {
        const size_t b = text.find(mark, from);
        if (b == std::string::npos) return;
        from = b + 1;
        const size_t len = text.size();
        if (code == kCodeNot) {
            if (b + 2 >= len) continue;
            if (!IsTruth(text[b + 1])) continue;
            if (text[b + 2] != ')' && level(text[b + 2]) > kCodeNot) continue;
            const size_t index = static_cast<size_t>(text[b + 1] - '0');
            if (index >= table.size()) continue;
            text.replace(b, 2, 1, table[index]);
        } else {
            if (b + 2 >= len || b <= 1) continue;
            if (!IsTruth(text[b - 1]) || !IsTruth(text[b + 1])) continue;
            // A tighter operator on either side goes first; of two equal
            // operators the left one does.
            if (text[b - 2] != '(' && level(text[b - 2]) >= ucode) continue;
            if (text[b + 2] != ')' && level(text[b + 2]) > ucode) continue;
            const size_t index = static_cast<size_t>(2 * (text[b - 1] - '0') + (text[b + 1] - '0'));
            if (index >= table.size()) continue;
            text.replace(b - 1, 3, 1, table[index]);
        }
    }
}

bool EvaluateCondition(const std::string& guard) {
    std::string t = TrimBlanks(guard);
    ReplaceAll(t, "=>", ">=");
    ReplaceAll(t, "=<", "<=");
    ReplaceAll(t, " ", "");
    ReplaceAll(t, "{", "(");
    if (t.empty()) return false;
    if (!std::all_of(t.begin(), t.end(), CanReduce)) return false;

    t = "(" + t + ")";
    const int32_t closing = CountOccurrences(t, ")");
    const int32_t opening = CountOccurrences(t, "(");
    if (opening <= closing)
        t.insert(0, static_cast<size_t>(closing - opening), '(');
    else
        t.append(static_cast<size_t>(opening - closing), ')');

    // The words stay encoded from one pass to the next: decoding and
    // encoding again give the same text, unless "()" vanished and joined
    // letters into a new word, which is then encoded afresh. The unwrap
    // step does not look at words, so it may run on the encoded text.
    EncodeWords(t);
    // Every pass that changes the text makes it shorter, so there are at
    // most as many passes as characters.
    for (size_t pass = 0, limit = t.size() + 1; pass < limit; ++pass) {
        const std::string start = t;
        if (UnwrapFirstGroup(t) == Unwrapped::EmptyGroup) {
            DecodeWords(t);
            EncodeWords(t);
        }
        // A number too large to compare makes the guard false.
        if (!EvaluateComparisons(t, ">=") || !EvaluateComparisons(t, "<=") ||
            !EvaluateComparisons(t, "<>"))
            return false;
        // The two-character comparisons are protected while the
        // one-character ones run.
        ReplaceAll(t, ">=", Code(kCodeGreaterEqual));
        ReplaceAll(t, "<=", Code(kCodeLessEqual));
        ReplaceAll(t, "<>", Code(kCodeNotEqual));
        if (!EvaluateComparisons(t, "=") || !EvaluateComparisons(t, "<") ||
            !EvaluateComparisons(t, ">") || !EvaluateComparisons(t, "|"))
            return false;
        ReplaceAll(t, Code(kCodeGreaterEqual), ">=");
        ReplaceAll(t, Code(kCodeLessEqual), "<=");
        ReplaceAll(t, Code(kCodeNotEqual), "<>");
        EvaluateLogic(t, kCodeEqv, "1001");
        EvaluateLogic(t, kCodeXor, "0110");
        EvaluateLogic(t, kCodeOr, "0111");
        EvaluateLogic(t, kCodeAnd, "0001");
        EvaluateLogic(t, kCodeNot, "10");
        if (t == start) break;
    }
    return t == "1";
}
