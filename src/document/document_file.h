// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Opening and saving "*.VEXLAR" files. The parser works on a byte buffer (so
// tests and the fuzzer need no files); the file functions around it only do
// the I/O. A failed open never changes the document it was meant for, and a
// failed save never destroys the previous file.

#include <cstddef>
#include <cstdint>
#include <vector>

#include <QString>

class CVexlarDoc;

// Replaces the content of `doc` with the document in `data`. An empty input
// gives the new-document content (the start-up signal). Throws
// CFileFormatException ("Unexpected file format.") for anything malformed and
// then leaves `doc` exactly as it was. Clears the modified flag on success.
void LoadDocumentBytes(CVexlarDoc& doc, const uint8_t* data, size_t size);

// The same from a source of `size` bytes read through a buffer (the samples go
// straight into the signals). A source that ends early is a format error.
class CByteSource;
void LoadDocumentStream(CVexlarDoc& doc, CByteSource& source, uint64_t size, size_t bufferSize = 1 << 18);

// The bytes of the saved document.
std::vector<uint8_t> StoreDocumentBytes(const CVexlarDoc& doc);

// Reads the file and loads it as LoadDocumentBytes does. A file that cannot be
// read throws CFileAccessException; a malformed one CFileFormatException.
void OpenDocumentFile(CVexlarDoc& doc, const QString& path);

// Writes the document through CAtomicOutput (atomic_output.h): a temporary
// file in the target's folder, flushed to the disk and renamed over the file
// that `path` names (through symbolic links), keeping its permissions. On any
// failure the temporary file is removed, the old file is left as it was and
// CFileSaveException ("Failed to save document.") is thrown. Clears the
// modified flag on success.
void SaveDocumentFile(CVexlarDoc& doc, const QString& path);

// The same without touching the modified flag: a copy of the document that
// is not its file (a recovery file).
void WriteDocumentFile(const CVexlarDoc& doc, const QString& path);
