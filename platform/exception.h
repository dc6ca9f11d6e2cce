// The application class library's exception: what its routines raise for faults met while
// working (bad arguments, failed resources). Drawing code catches exactly this type, turns it
// into a false result and lets every other type pass.
#pragma once
#include <stdexcept>
#include <string>

namespace plat {

class Exception : public std::runtime_error {
  public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace plat
