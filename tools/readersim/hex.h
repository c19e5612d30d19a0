// Bytes as the reader's transcript writes them: two hex digits each, space-separated.
#pragma once
#include <cstddef>
#include <cstdio>
#include <string>

inline std::string HexOf(const unsigned char* bytes, size_t length) {
    std::string text;
    char part[4];
    for (size_t i = 0; i < length; ++i) {
        std::snprintf(part, sizeof part, i ? " %02X" : "%02X", bytes[i]);
        text += part;
    }
    return text;
}
