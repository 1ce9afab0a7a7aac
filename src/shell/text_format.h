#pragma once

#include <string>
#include <string_view>

namespace daylume {

// A translated text as printf would show it with no arguments, without handing it to printf:
// "%%" becomes "%", any other "%" stays as it is (a conversion without its argument would be
// undefined behaviour, and the text comes from the translation tables).
std::string formatWithoutArguments(std::string_view text);

// The text with its first `placeholder` replaced by `value`.
std::string filledIn(std::string text, std::string_view placeholder, std::string_view value);

// A file name for a copy of a picture called `title`: what a file system takes, without folders,
// hidden-file dots or control characters, at most 200 bytes of whole UTF-8 characters.
std::string fileNameFor(std::string_view title, std::string_view extension);

}  // namespace daylume
