#pragma once

#include <string>
#include <string_view>

namespace daylume {

// A translated text as printf would show it with no arguments, without handing it to printf:
// "%%" becomes "%", any other "%" stays as it is (a conversion without its argument would be
// undefined behaviour, and the text comes from the translation tables).
std::string formatWithoutArguments(std::string_view text);

}  // namespace daylume
