#include "package/text_conversion.h"

#include <windows.h>

#include <climits>
#include <cstring>
#include <stdexcept>

namespace tenvik {

std::string toUTF8(const std::wstring& text) {
  const char* const failure = "Failure to execute toUTF8: conversion failed.";
  if (text.size() > INT_MAX) throw std::runtime_error(failure);
  const int units = static_cast<int>(text.size());
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), units, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string result(static_cast<size_t>(size), '\0');
  if (WideCharToMultiByte(CP_UTF8, 0, text.data(), units, &result[0], size, nullptr, nullptr) < 1) {
    throw std::runtime_error(failure);
  }
  return result;
}

std::wstring toUTF16(const std::string& text) {
  const char* const failure = "Failure to execute toUTF16: conversion failed.";
  const size_t length = std::strlen(text.c_str());
  if (length > INT_MAX) throw std::runtime_error(failure);
  const int bytes = static_cast<int>(length);
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), bytes, nullptr, 0);
  if (size <= 0) return std::wstring();
  std::wstring result(static_cast<size_t>(size), L'\0');
  if (MultiByteToWideChar(CP_UTF8, 0, text.data(), bytes, &result[0], size) < 1) {
    throw std::runtime_error(failure);
  }
  return result;
}

}  // namespace tenvik
