#pragma once
// UTF-16 <-> UTF-8 on the Windows API. Malformed input does not fail: the
// platform substitutes U+FFFD for what it cannot convert. Only a failing
// platform call raises std::runtime_error, with the message
// "Failure to execute toUTF8: conversion failed." or
// "Failure to execute toUTF16: conversion failed.".

#include <string>

namespace tenvik {

// The UTF-8 bytes of text, without a terminator; empty for empty text.
std::string toUTF8(const std::wstring& text);

// The UTF-16 form of text up to, not including, its first zero byte; empty
// when that leaves nothing.
std::wstring toUTF16(const std::string& text);

}  // namespace tenvik
