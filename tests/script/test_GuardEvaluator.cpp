#include "script/GuardEvaluator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct GuardCase {
    const char* guard;
    bool expected;
};

void ExpectGuards(const std::vector<GuardCase>& cases) {
    for (const GuardCase& c : cases)
        EXPECT_EQ(EvaluateCondition(c.guard), c.expected) << "guard: \"" << c.guard << "\"";
}

TEST(Guards, SingleValuesAndParentheses) {
    ExpectGuards({
        {"", false},
        {"   ", false},
        {"1", true},
        {"(((1)))", true},
        {"0", false},
        {"2", false},
        {"007", false}, // unwrapped to 7, not a truth value
        {"001", true},  // unwrapped to 1
        {"(1", true},   // balanced by the wrapping step
        {"1)", true},
        {"((1", true},
        {"()1", true},  // "()" vanishes
        {"{1}", false}, // "{" becomes "(", the "}" stays
        {"{1", true},
        {" 1 ", true},
    });
}

TEST(Guards, Comparisons) {
    ExpectGuards({
        {"1=1", true},
        {"10>9", true},
        {"2<=2", true},
        {"3|4", true},
        {"3<>4", true},
        {"5=>5", true},
        {"5=<6", true},
        {"2>=10", false}, // numbers, not texts, are compared
        {"3|3", false},
        {"9<10", true},
        {"010=10", true},
        {"1 = 1", true},
        {"1 =< 0", false},
        {"1= >0", false}, // "=>" is turned round only before the blanks go
        {"1==1", false},
        {"(2=2)=1", true},
    });
}

TEST(Guards, ArithmeticAndOtherCharactersBlock) {
    ExpectGuards({
        {"1+1=2", false},
        {"-1<0", false},
        {"2*1=2", false},
        {"1=1-0", false},
        {"1.5>1", false},
        {"1 AND 1", false}, // words are matched in lower case only
        {"true", false},
        {"1 and x", false},
        {std::string("1\x03"
                     "1")
             .c_str(),
         false}, // a raw code character is no operator
        {"1}", false},
    });
}

// A number too large for a double used to read as infinity, so two different
// huge numbers compared equal and "1e400 = 2e400" was true. A number that does
// not fit is a failure of the evaluation, and the guard is false.
TEST(Guards, NumbersBeyondRangeMakeTheGuardFalse) {
    const std::string big1 = "1" + std::string(400, '0');
    const std::string big2 = "2" + std::string(400, '0');
    ExpectGuards({
        {(big1 + "=" + big2).c_str(), false},
        {(big1 + "=" + big1).c_str(), false},
        {(big1 + "<>" + big2).c_str(), false},
        {("not " + big1 + "<" + big2).c_str(), false},
        {(big1 + ">1").c_str(), false},
        {("(" + big1 + ")").c_str(), false},
        {("1 or " + big1 + "=1").c_str(), false},
        // Long numbers that still fit are compared as doubles.
        {("1" + std::string(300, '0') + ">9").c_str(), true},
    });
    std::string sweep = "(" + big1 + "=" + big2 + ")";
    EXPECT_FALSE(EvaluateComparisons(sweep, "="));
    std::string small = "(1=1)";
    EXPECT_TRUE(EvaluateComparisons(small, "="));
    EXPECT_EQ(small, "(1)");
}

TEST(Guards, LogicAndBinding) {
    ExpectGuards({
        {"not 0", true},
        {"not 1", false},
        {"not not 1", true},
        {"1 and not 0", true},
        {"1 or 0 and 0", true}, // and binds tighter than or
        {"1 and 0 or 0", false},
        {"0 eqv 0", true},
        {"1 eqv 0", false},
        {"1 xor 0", true},
        {"1 xor 1", false},
        {"0 or 0 or 1", true},
        {"1 and 1 and 1 and 0", false},
        {"1 and 1 and 1 and 1", true},
        {"2 and 1", false}, // only 0 and 1 are truth values
        {"n o t 0", true},  // blanks go before words are looked for
        {"no()t 0", true},  // "()" vanishing joins a word
        {"1 x()or 1", false},
        {"1 x()or 0", true},
        {"(1 or 0) and (0 or 0)", false},
        {"not (1=2) and 3>2", true},
        {"1=1 and 2=2 or 0", true},
        {"1 or 0 eqv 0", false}, // or binds tighter than eqv
        {"0 or", false},
    });
}

TEST(Guards, LongGuardsEnd) {
    std::string chain = "1";
    while (chain.size() < 10000)
        chain += " and 1";
    EXPECT_TRUE(EvaluateCondition(chain));
    std::string nested = std::string(5000, '(') + "1" + std::string(4999, ')');
    EXPECT_TRUE(EvaluateCondition(nested));
    std::string swaps;
    while (swaps.size() < 10000)
        swaps += "=>";
    EXPECT_FALSE(EvaluateCondition(swaps));
    EXPECT_FALSE(EvaluateCondition(std::string(10000, '(')));
    EXPECT_FALSE(EvaluateCondition(std::string(10000, '9')));
}

TEST(NumberValue, ReadsLeniently) {
    struct {
        const char* text;
        double value;
    } cases[] = {
        {"", 0},       {"abc", 0},          {"12", 12},    {"  12", 12},    {"3 2", 32},
        {"-5", -5},    {"- 5", -5},         {"+7", 7},     {"1.5", 1.5},    {"1.5.3", 1.5},
        {".25", 0.25}, {"12abc", 12},       {"1e3", 1000}, {"1E+2", 100},   {"2e-1", 0.2},
        {"1e", 1},     {"\t4\n2", 42},      {"--3", 0},    {"1,5", 1},      {"7]", 7},
        {"0009", 9},   {"1 e 2", 100},      {"\r5", 0},    {"12.5e1", 125}, {"0.0001e4", 1},
        {"5.", 5},     {"1.25e-2", 0.0125},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(NumberValue(c.text), c.value) << c.text;
    EXPECT_TRUE(std::isinf(NumberValue("1e999")));
    EXPECT_EQ(NumberValue("1e-999"), 0.0);
    EXPECT_TRUE(std::isinf(NumberValue(std::string(400, '9'))));
    // Exact: correctly rounded, and the smallest doubles kept, not flushed to 0.
    EXPECT_EQ(NumberValue("0.30000000000000004"), 0.1 + 0.2);
    EXPECT_EQ(NumberValue("1e-310"), 1e-310);
    EXPECT_EQ(NumberValue("0." + std::string(330, '0') + "1e330"), 0.1);
}

TEST(NumberValue, RoundsHalfToEven) {
    EXPECT_EQ(RoundHalfEven(0.5), 0);
    EXPECT_EQ(RoundHalfEven(1.5), 2);
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(2.6), 3);
    EXPECT_EQ(RoundHalfEven(-1.5), -2);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(1e300), 2147483647);
    EXPECT_EQ(RoundHalfEven(-1e300), -2147483647 - 1);
    EXPECT_EQ(RoundHalfEven(std::nan("")), 0);
}

TEST(TextHelpers, ReplaceAllSearchesFromTheStartEachTime) {
    std::string t = "==>>";
    ReplaceAll(t, "=>", ">=");
    EXPECT_EQ(t, ">>==");
    t = "a  b ";
    ReplaceAll(t, " ", "");
    EXPECT_EQ(t, "ab");
    t = "xyz";
    ReplaceAll(t, "q", "r");
    EXPECT_EQ(t, "xyz");
    t = "aa";
    ReplaceAll(t, "a", "aa"); // would never end: each original occurrence once
    EXPECT_EQ(t, "aaaa");
    EXPECT_EQ(CountOccurrences("((a)(", "("), 3);
    EXPECT_EQ(CountOccurrences("aaaa", "aa"), 2);
    EXPECT_EQ(CountOccurrences("abc", ""), 0);
}

// Searching from the start after every replacement, as simply as it reads.
std::string NaiveReplaceAll(std::string text, const std::string& find, const std::string& with) {
    for (size_t at; (at = text.find(find)) != std::string::npos;)
        text.replace(at, find.size(), with);
    return text;
}

TEST(TextHelpers, ReplaceAllMatchesTheNaiveLoop) {
    const std::vector<std::pair<std::string, std::string>> rules = {
        {"=>", ">="}, {"=<", "<="}, {" ", ""}, {"not", "\x04"}, {"\x02", "or"}, {"ab", "b"}};
    std::mt19937 random(99);
    const std::string alphabet = "=>< abnot\x02";
    for (int round = 0; round < 5000; ++round) {
        std::string text;
        const size_t length = random() % 24;
        for (size_t i = 0; i < length; ++i)
            text += alphabet[random() % alphabet.size()];
        for (const auto& [find, with] : rules) {
            std::string fast = text;
            ReplaceAll(fast, find, with);
            ASSERT_EQ(fast, NaiveReplaceAll(text, find, with)) << text << " / " << find;
        }
    }
}

TEST(TextHelpers, ComparisonSweep) {
    struct {
        const char* before;
        const char* op;
        const char* after;
    } cases[] = {
        {"(1=1)", "=", "(1)"},         {"(1=1=1)", "=", "(1)"}, // the result is compared again
        {"(3=3)(4=5)", "=", "(1)(0)"}, {"1=1", "=", "1=1"},     // the right operand ends the text
        {"(=1)", "=", "(=1)"},         {"(12>=12)", ">=", "(1)"}, {"(1+2=3)", "=", "(1+2=3)"},
        {")2=2)", "=", ")2=2)"},       {"(2=2(", "=", "(2=2("},
    };
    for (const auto& c : cases) {
        std::string t = c.before;
        EvaluateComparisons(t, c.op);
        EXPECT_EQ(t, c.after) << c.before << " " << c.op;
    }
}

TEST(TextHelpers, LogicSweep) {
    const std::string andCode(1, kCodeAnd);
    const std::string orCode(1, kCodeOr);
    const std::string notCode(1, kCodeNot);
    struct {
        std::string before;
        int code;
        const char* table;
        std::string after;
    } cases[] = {
        {"(1" + andCode + "1)", kCodeAnd, "0001", "(1)"},
        // Of a chain the left operator goes first, once per sweep.
        {"(1" + andCode + "1" + andCode + "0)", kCodeAnd, "0001", "(1" + andCode + "0)"},
        // Or waits for a tighter and on its right.
        {"(1" + orCode + "0" + andCode + "0)", kCodeOr, "0111",
         "(1" + orCode + "0" + andCode + "0)"},
        {"(" + notCode + "0)", kCodeNot, "10", "(1)"},
        {"(" + notCode + "0" + andCode + "1)", kCodeNot, "10", "(1" + andCode + "1)"},
        {"(" + notCode + "2)", kCodeNot, "10", "(" + notCode + "2)"},
    };
    for (const auto& c : cases) {
        std::string t = c.before;
        EvaluateLogic(t, c.code, c.table);
        EXPECT_EQ(t, c.after);
    }
}

// The reducer as written down, with helpers of its own (none of the
// evaluator's), one pass after another with every word encoded and decoded
// again: the oracle for the faster pass loop. Positions are 0-based here.
namespace plain {

void ReplaceAll(std::string& t, const std::string& find, const std::string& with) {
    for (size_t at; (at = t.find(find)) != std::string::npos;)
        t.replace(at, find.size(), with);
}

int Count(const std::string& t, char c) {
    return static_cast<int>(std::count(t.begin(), t.end(), c));
}

bool Digit(char c) {
    return c >= '0' && c <= '9';
}

bool Compare(const std::string& op, double l, double r) {
    if (op == ">=") return l >= r;
    if (op == "<=") return l <= r;
    if (op == "<>" || op == "|") return l != r;
    if (op == "=") return l == r;
    return op == "<" ? l < r : l > r;
}

void Comparisons(std::string& t, const std::string& op) {
    const std::string blockLeft = "-^*/#+)", blockRight = "-^*/#+(";
    size_t from = 0;
    for (size_t i; (i = t.find(op, from)) != std::string::npos;) {
        if (i < 1 || i + 3 > t.size()) return;
        size_t l = i, r = i + op.size() - 1;
        while (l > 0 && Digit(t[l - 1]))
            --l;
        while (r + 1 < t.size() && Digit(t[r + 1]))
            ++r;
        const bool ok = l < i && r > i + op.size() - 1 && r + 1 < t.size() &&
                        (l == 0 || blockLeft.find(t[l - 1]) == std::string::npos) &&
                        blockRight.find(t[r + 1]) == std::string::npos;
        if (!ok) {
            from = i + 1;
            continue;
        }
        const double left = std::strtod(t.substr(l, i - l).c_str(), nullptr);
        const double right =
            std::strtod(t.substr(i + op.size(), r + 1 - i - op.size()).c_str(), nullptr);
        t.replace(l, r - l + 1, Compare(op, left, right) ? "1" : "0");
        from = l + 1;
    }
}

bool Truth(char c) {
    return c == '0' || c == '1';
}

void Logic(std::string& t, char code, const std::string& table) {
    for (size_t b = 0; (b = t.find(code, b)) != std::string::npos; ++b) {
        if (b + 2 >= t.size()) continue;
        const auto below = [&](char c, bool orEqual) {
            return c >= 0 && c <= 4 && (orEqual ? c <= code : c < code);
        };
        if (code == 4) {
            if (Truth(t[b + 1]) && (t[b + 2] == ')' || below(t[b + 2], true)))
                t.replace(b, 2, 1, table[static_cast<size_t>(t[b + 1] - '0')]);
        } else if (b >= 2 && Truth(t[b - 1]) && Truth(t[b + 1]) &&
                   (t[b - 2] == '(' || below(t[b - 2], false)) &&
                   (t[b + 2] == ')' || below(t[b + 2], true))) {
            t.replace(b - 1, 3, 1,
                      table[static_cast<size_t>(2 * (t[b - 1] - '0') + (t[b + 1] - '0'))]);
        }
    }
}

void Unwrap(std::string& t) {
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i] != '(') continue;
        size_t j = i + 1;
        while (j < t.size() && Digit(t[j]))
            ++j;
        if (j < t.size() && t[j] == ')') {
            std::string digits = t.substr(i + 1, j - i - 1);
            while (digits.size() > 1 && digits[0] == '0')
                digits.erase(0, 1);
            t.replace(i, j - i + 1, digits);
            return;
        }
        i = j - 1;
    }
}

bool Evaluate(std::string t) {
    const size_t a = t.find_first_not_of(' ');
    if (a == std::string::npos) return false;
    t = t.substr(a, t.find_last_not_of(' ') - a + 1);
    ReplaceAll(t, "=>", ">=");
    ReplaceAll(t, "=<", "<=");
    ReplaceAll(t, " ", "");
    ReplaceAll(t, "{", "(");
    if (t.empty()) return false;
    t = "(" + t + ")";
    const int closing = Count(t, ')');
    const int opening = Count(t, '(');
    if (opening <= closing)
        t.insert(0, static_cast<size_t>(closing - opening), '(');
    else
        t.append(static_cast<size_t>(opening - closing), ')');
    const std::vector<std::pair<std::string, char>> words = {
        {"not", 4}, {"and", 3}, {"xor", 1}, {"or", 2}, {"eqv", 0}};
    for (int pass = 0; pass < 100000; ++pass) {
        const std::string start = t;
        Unwrap(t);
        for (const auto& [word, code] : words)
            ReplaceAll(t, word, std::string(1, code));
        for (const char* op : {">=", "<=", "<>"})
            Comparisons(t, op);
        ReplaceAll(t, ">=", "\x05");
        ReplaceAll(t, "<=", "\x06");
        ReplaceAll(t, "<>", "\x07");
        for (const char* op : {"=", "<", ">", "|"})
            Comparisons(t, op);
        ReplaceAll(t, "\x05", ">=");
        ReplaceAll(t, "\x06", "<=");
        ReplaceAll(t, "\x07", "<>");
        Logic(t, 0, "1001");
        Logic(t, 1, "0110");
        Logic(t, 2, "0111");
        Logic(t, 3, "0001");
        Logic(t, 4, "10");
        for (auto it = words.rbegin(); it != words.rend(); ++it)
            ReplaceAll(t, std::string(1, it->second), it->first);
        if (t == start) break;
    }
    return t == "1";
}

} // namespace plain

TEST(Guards, AgreeWithThePlainReducer) {
    const std::vector<std::string> tokens = {
        "0", "1", "2",  "10", "(",  ")",  "()", "not", "and", "or", "xor", "eqv", "=", "<",
        ">", "|", "<=", ">=", "<>", "=>", "=<", " ",   "+",   "x",  "n",   "o",   "{", "00"};
    std::mt19937 random(12345);
    int trueCount = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string guard;
        const int length = 1 + static_cast<int>(random() % 14);
        for (int i = 0; i < length; ++i)
            guard += tokens[random() % tokens.size()];
        const bool expected = plain::Evaluate(guard);
        trueCount += expected;
        ASSERT_EQ(EvaluateCondition(guard), expected) << "guard: \"" << guard << "\"";
    }
    EXPECT_GT(trueCount, 100); // the sample reaches true guards too
}

} // namespace
