#include "text/text.h"

namespace text {

std::string char_codes(std::initializer_list<int> codes) {
    std::string out;
    out.reserve(codes.size());
    for (int code : codes) {
        if (code == -1) continue;  // placeholder for "no character"
        out.push_back(static_cast<char>(static_cast<unsigned char>(code & 0xFF)));
    }
    return out;
}

}  // namespace text
