// Scripts of the typical rule shapes (those the writer tests check byte for byte), for the
// benchmarks and the side-by-side run.
#pragma once

#include <string>

namespace wq::rules::bench {

// `count` rules shaped like the named Junk rule (about 88 bytes each).
inline std::string junkScript(int count) {
    std::string s;
    for (int i = 0; i < count; ++i) {
        std::string n = std::to_string(i);
        s += "#!1 Junk rule " + n + "\nif header :contains \"Subject\" \"offer " + n +
             "\" \n {\n  fileinto \"Junk\";\n}\n";
    }
    return s;
}

// `count` rules cycling through every typical shape: named, switched off, two conditions and
// two actions, the recipient list, notify and vacation, and an if/elsif/else chain.
inline std::string mixedScript(int count) {
    static const char* const shapes[] = {
        "#!1 Junk %\nif header :contains \"Subject\" \"offer %\" \n {\n  fileinto \"Junk\";\n}\n",
        "#!0 \n# if header :contains \"Subject\" \"offer %\" \n#  {\n#   fileinto \"Junk\";\n# }\n",
        "if allof (address :all :contains \"From\" \"boss%\" , size :over 102400) \n {\n"
        "  redirect \"deputy\";\n  stop;\n}\n",
        "#!1 Team %\nif address :all :contains [\"To\", \"Cc\"] \"team%\" \n {\n"
        "  notify :options \"ops\" :message \"$from$: $subject$\\r\\n$text$\";\n"
        "  vacation :subject \"Away\" \"back soon\";\n}\n",
        "if header :is \"Subject\" \"a%\" \n {\n  keep;\n}\nelsif size :under 10\n {\n"
        "  discard;\n}\nelse {\n  stop;\n}\n",
    };
    std::string s;
    for (int i = 0; i < count; ++i) {
        std::string n = std::to_string(i);
        for (const char* p = shapes[i % 5]; *p; ++p) {
            if (*p == '%') {
                s += n;
            } else {
                s += *p;
            }
        }
    }
    return s;
}

}  // namespace wq::rules::bench
