// Guards of the install script on any bytes: the reducer must end and never
// read outside its text, whatever it is given.
#include <cstddef>
#include <cstdint>
#include <string>

#include "script/GuardEvaluator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const bool first = EvaluateCondition(text);
    // The reducer keeps no state between guards.
    if (EvaluateCondition(text) != first) __builtin_trap();
    (void)NumberValue(text);
    (void)RoundHalfEven(NumberValue(text));
    return 0;
}
