#include "json_text.h"

#include <cstdio>

namespace {

std::string Joined(const std::vector<std::string>& parts, char open, char close) {
    std::string out(1, open);
    for (size_t i = 0; i < parts.size(); ++i) out += (i > 0 ? "," : "") + parts[i];
    return out + close;
}

}  // namespace

std::string JsonString(const std::wstring& text) {
    std::string out = "\"";
    for (wchar_t c : text) {
        if (c == L'"' || c == L'\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        }
    }
    return out + "\"";
}

std::string JsonBool(bool value) { return value ? "true" : "false"; }

std::string JsonMember(const char* name, const std::string& json) {
    return "\"" + std::string(name) + "\":" + json;
}

std::string JsonObject(const std::vector<std::string>& members) {
    return Joined(members, '{', '}');
}

std::string JsonArray(const std::vector<std::string>& items) { return Joined(items, '[', ']'); }
