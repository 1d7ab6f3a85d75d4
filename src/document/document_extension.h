// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The extension block of the document file: what a document holds beyond its
// signal records (sample rate, markers, zoom and position; later rows of
// other kinds). It is appended after the last signal record, so a reader that
// knows only the plain format (document version 1 and its records) reads the
// records and stops before it, unaffected.
//
// Layout (little-endian, no padding):
//
//   tag      4 bytes   'V' 'X' 'E' 'X'
//   version  int32     1 (the framing below; a new field needs no new version)
//   length   uint32    bytes of the fields that follow, up to the end of the file
//   fields   each:     uint32 id, uint32 length, `length` bytes of payload
//
// A reader skips fields whose id it does not know, and ignores bytes at the
// end of a payload beyond what it reads (a field may grow at its end). A
// block that breaks these rules, or a known field whose payload is too short
// or holds a value the document cannot take, makes the whole block count as
// absent: the signals still load and the document gets a warning.
//
// Fields of version 1:
//
//   1 sample rate   double Hz (written only when set)
//   2 markers       int32 M1, int32 M2 (-1: not set)
//   3 view          double zoom (pixels per sample), int32 first visible
//                   sample, int32 vertical scroll (0 or negative)
//
//  16 decoder row  string name, string decoder line (UTF-16 as the
//                  names), double sample rate in Hz (0: the document's),
//                  bool selected; one field per row, in display order
//
// Ids 17 to 31 are kept for more about decoder rows. A field of the same id given twice:
// the later one counts (a repeatable field, such as one per row, reads them
// all in order).

#include <cstdint>

#include <QString>

class CArchiveReader;
class CArchiveWriter;
class CVexlarDoc;

namespace DocumentExtension {

constexpr uint8_t kTag[4] = {'V', 'X', 'E', 'X'};
constexpr int32_t kVersion = 1;
// Largest block a reader takes into memory; the fields are a few bytes each.
constexpr uint32_t kMaxBlockBytes = 16u << 20;

enum FieldId : uint32_t {
    kSampleRateField = 1,
    kMarkersField = 2,
    kViewField = 3,
    kFirstDecoderField = 16,
    kDecoderRowField = 16,
    kLastDecoderField = 31,
};

// The warning a document gets when its block could not be read.
QString MalformedBlockWarning();

// Writes the block after the records when the document has anything to keep
// in it (a new document without rate, markers or a moved view writes none,
// so its file is exactly the plain format).
void Store(const CVexlarDoc& doc, CArchiveWriter& w);

// Reads the block that follows the records, if any, into the document's
// extension fields. Returns the warning text when the block is malformed
// (the fields then keep the values they had), empty otherwise. Never throws
// for anything in the block itself.
QString Load(CVexlarDoc& doc, CArchiveReader& r);

}   // namespace DocumentExtension
