// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The 8-bit code page of names read from old files and of every text export:
// Windows-1252 on every platform, '?' for characters it lacks.

#include <cstddef>
#include <string>

#include <QString>

QString DecodeWindows1252(const char* data, size_t size);
std::string EncodeWindows1252(const QString& text);
// Appends the encoding of `text` to `out`.
void AppendWindows1252(std::string& out, const QString& text);
