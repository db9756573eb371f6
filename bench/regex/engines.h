// The engines the benchmark compares, behind one small interface.
#pragma once

#include <memory>
#include <string>

class BenchEngine {
  public:
    virtual ~BenchEngine() = default;
    // An extended expression, or a basic one (the syntax with back-references) when `basic`.
    virtual bool compile(const std::string& pattern, bool basic) = 0;
    // Whether line matches; the whole-match offsets are asked for, as a caller would.
    virtual bool match(const char* line) = 0;
};

std::unique_ptr<BenchEngine> makeOurs();
std::unique_ptr<BenchEngine> makeLibc();
std::unique_ptr<BenchEngine> makeTre();  // null when TRE was not found at build time
