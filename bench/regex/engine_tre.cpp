#include "engines.h"

#if defined(WQ_HAVE_TRE)
#include <tre/tre.h>

namespace {
class Tre : public BenchEngine {
  public:
    ~Tre() override {
        if (ok_)
            tre_regfree(&re_);
    }
    bool compile(const std::string& pattern, bool basic) override {
        ok_ = tre_regcomp(&re_, pattern.c_str(), basic ? 0 : REG_EXTENDED) == 0;
        return ok_;
    }
    bool match(const char* line) override {
        regmatch_t m[1];
        return tre_regexec(&re_, line, 1, m, 0) == 0;
    }

  private:
    regex_t re_{};
    bool ok_ = false;
};
}  // namespace

std::unique_ptr<BenchEngine> makeTre() {
    return std::make_unique<Tre>();
}
#else
std::unique_ptr<BenchEngine> makeTre() {
    return nullptr;
}
#endif
