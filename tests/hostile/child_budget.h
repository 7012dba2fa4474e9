// Runs a piece of work in a child process under an address-space limit and a time limit, and
// reports what it cost. An allocation over the limit fails (or kills) the child instead of
// exhausting the machine, and the parent sees it as a failure of the case.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "tests/support/test_support.h"

namespace mw::test {

struct ChildCost {
  bool finished = false;  // the work returned and reported; otherwise `failure` says what happened
  std::string failure;
  bool result = false;    // what the work returned
  std::int64_t held = 0;  // bytes the work says it kept at the end (an image, a scene)
  std::int64_t peak = 0;  // highest resident memory above the child's own at the start, in bytes
  double seconds = 0;
};

// The work gets `held` to fill in. `addressBytes` is the address space allowed on top of what the
// child has mapped when it starts; `seconds` the wall-clock time after which it is killed.
ChildCost RunInChild(const std::function<bool(std::int64_t& held)>& work, std::int64_t addressBytes, double seconds);

}  // namespace mw::test
