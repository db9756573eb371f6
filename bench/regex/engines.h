// The engines the benchmark compares, behind one small interface.
#pragma once

#include <memory>
#include <string>

class BenchEngine {
  public:
    virtual ~BenchEngine() = default;
    virtual bool compile(const std::string& pattern) = 0;  // an extended expression
    // Whether line matches; the whole-match offsets are asked for, as a caller would.
    virtual bool match(const char* line) = 0;
};

std::unique_ptr<BenchEngine> makeOurs();
std::unique_ptr<BenchEngine> makeLibc();
std::unique_ptr<BenchEngine> makeTre();  // null when TRE was not found at build time
