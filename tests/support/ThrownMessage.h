#pragma once
// The message of the FException an action throws, or "(no exception)", so a
// test can compare failure texts in one expectation.

#include "foundation/FException.h"

#include <string>
#include <utility>

namespace testsupport {

template <class Action>
std::string ThrownMessage(Action&& action)
{
    try {
        std::forward<Action>(action)();
    } catch (const FException& e) {
        return e.GetMessage();
    }
    return "(no exception)";
}

} // namespace testsupport
