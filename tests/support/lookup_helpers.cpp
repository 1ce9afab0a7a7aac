#include "support/lookup_helpers.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace daylume::test {

std::string readFixture(std::string_view name) {
    std::ifstream in(std::string(DAYLUME_FIXTURES) + "/" + std::string(name), std::ios::binary);
    if (!in) throw std::runtime_error("missing fixture " + std::string(name));
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace daylume::test
