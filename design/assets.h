// The designer page's files (design/web/), compiled into kpl by
// design/embed.cmake: nothing to install, nothing fetched.
#pragma once

#include <cstddef>
#include <string>

struct WebAsset {
    const char* name; // "main.js"
    const char* contentType;
    const char* bytes;
    std::size_t size;
};

extern const WebAsset kWebAssets[];
extern const std::size_t kWebAssetCount;

// Null when no file has that name.
const WebAsset* FindWebAsset(const std::string& name);
