// The text a Result fails with, or empty when it succeeded: what the callers show the user.
#pragma once
#include <string>

#include "platform/Result.h"

namespace kp::test {

template <class T>
std::string failureText(const Result<T>& result) {
    return result ? std::string() : result.failure().text;
}

} // namespace kp::test
