// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one libsigrokdecode instance of the process. The library keeps global
// state (its decoder list, the embedded Python interpreter), so it is started
// once, on first use, and every caller that creates sessions or feeds them
// holds SrdLock() meanwhile. Library log messages of error level are collected
// while a CSrdErrorCapture exists, so that a decoder's exception reaches the
// caller as a message instead of only the terminal.

#include <mutex>
#include <string>

// Starts the library (once) without loading any decoder. Returns an empty
// string on success, otherwise why no decoder can be used.
const std::string& SrdInitError();
// Starts the library and loads every decoder it finds (once; the catalogue
// of the dialog needs them all, a single decode only its own).
const std::string& SrdStartError();

// Serialises every use of the library's sessions.
std::unique_lock<std::mutex> SrdLock();

// Collects the library's error messages from construction to destruction.
// Only one capture exists at a time (callers hold SrdLock()).
class CSrdErrorCapture {
public:
    CSrdErrorCapture();
    ~CSrdErrorCapture();
    CSrdErrorCapture(const CSrdErrorCapture&) = delete;
    CSrdErrorCapture& operator=(const CSrdErrorCapture&) = delete;

    // The messages so far, one a line, without trailing newline.
    std::string Text() const;
};
