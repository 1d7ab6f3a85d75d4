// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The error kinds that the model and document layers raise. The texts are the
// ones the user sees in the message box, so they are fixed.

#include <stdexcept>

// An operation was asked of an object that cannot perform it (for example
// UpdateFromSource on a document without signals).
class CInvalidArgumentException : public std::runtime_error {
public:
    CInvalidArgumentException() : std::runtime_error("Encountered an improper argument.") {}
};

// A document file whose structure is not the one we write (truncated, corrupt,
// counts that do not fit the file, unknown document version).
class CFileFormatException : public std::runtime_error {
public:
    CFileFormatException() : std::runtime_error("Unexpected file format.") {}
};

// Writing a document file failed; the previous file on disk is left intact.
class CFileSaveException : public std::runtime_error {
public:
    CFileSaveException() : std::runtime_error("Failed to save document.") {}
};

// A file could not be opened, read or created (missing file, permissions).
// The text names the failure and the path.
class CFileAccessException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
