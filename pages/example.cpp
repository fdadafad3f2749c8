#include "pages/project.h"

// pages/example.toml's bytes, compiled in (see pages/CMakeLists.txt).
extern const unsigned char kExampleProject[];
extern const std::size_t kExampleProjectSize;

std::string ExampleProjectText() {
    return std::string(reinterpret_cast<const char*>(kExampleProject), kExampleProjectSize);
}
