#include "stored_value.h"

#include <cstdio>

std::string TypeName(DWORD type) {
    const char* const kNames[] = {"REG_NONE",  "REG_SZ", "REG_EXPAND_SZ", "REG_BINARY",
                                  "REG_DWORD", nullptr,  nullptr,         "REG_MULTI_SZ",
                                  nullptr,     nullptr,  nullptr,         "REG_QWORD"};
    if (type < sizeof kNames / sizeof kNames[0] && kNames[type] != nullptr) return kNames[type];
    return "REG_" + std::to_string(type);
}

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

std::wstring WideFromStored(const std::vector<BYTE>& data) {
    std::wstring wide;
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
        wide += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    }
    return wide;
}

std::wstring StoredString(const std::vector<BYTE>& data) {
    const std::wstring wide = WideFromStored(data);
    return wide.substr(0, wide.find(L'\0'));
}

unsigned long DwordOf(const std::vector<BYTE>& data) {
    return data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<unsigned long>(data[3]) << 24);
}

std::string HexText(DWORD type, const std::vector<BYTE>& data) {
    char tag[24];
    std::snprintf(tag, sizeof tag, "hex(%lx):", static_cast<unsigned long>(type));
    std::string out = type == REG_BINARY ? "hex:" : tag;
    for (size_t i = 0; i < data.size(); ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, i + 1 < data.size() ? "%02x," : "%02x", data[i]);
        out += byte;
    }
    return out;
}

Utf8Text Utf8FromStored(DWORD type, const std::vector<BYTE>& data) {
    if (IsStringType(type)) return Utf8FromWide(StoredString(data));
    if (type == REG_DWORD && data.size() == sizeof(DWORD)) return std::to_string(DwordOf(data));
    return HexText(type, data);
}

std::wstring StoredText(const SettingValue& value) {
    if (IsStringType(value.type)) return StoredString(value.stored);
    if (value.type == REG_NONE && value.stored.empty()) return WideFromAnsi(value.text);
    return WideFromUtf8(Utf8FromStored(value.type, value.stored));
}
