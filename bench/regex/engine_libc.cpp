#include <regex.h>

#include "engines.h"

namespace {
class Libc : public BenchEngine {
  public:
    ~Libc() override {
        if (ok_)
            regfree(&re_);
    }
    bool compile(const std::string& pattern, bool basic) override {
        ok_ = regcomp(&re_, pattern.c_str(), basic ? 0 : REG_EXTENDED) == 0;
        return ok_;
    }
    bool match(const char* line) override {
        regmatch_t m[1];
        return regexec(&re_, line, 1, m, 0) == 0;
    }

  private:
    regex_t re_{};
    bool ok_ = false;
};
}  // namespace

std::unique_ptr<BenchEngine> makeLibc() {
    return std::make_unique<Libc>();
}
