// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Hand-off of the link's front capture into the signals of one document: each
// non-frozen signal receives (word >> first bit) AND mask of every sample word,
// and the document the capture's trigger position and id. A held document
// (see CVexlarDoc::IsLive) takes nothing. Runs on the user-interface thread
// (CCaptureDistributor, at every hand-over).

#include <cstdint>

struct CaptureFrame;
class CCaptureLink;
class CVexlarDoc;

// Copies `front` into every non-frozen signal of a live `doc`, sets the
// trigger position and id and returns true; a held document is left
// untouched (false). When samples changed, the document notes that it took a
// capture since it was last saved (it is then modified). Sample arrays grow
// to the capture's depth and are given back when a much smaller capture
// follows. The frame must not change meanwhile (HandOffCapture takes it out
// of the link for the copy).
bool CopyCaptureIntoDocument(const CaptureFrame& front, CVexlarDoc& doc);

// For a live document whose capture id differs from the link's front capture
// id: records the new id, takes the front capture out of the link (under its
// lock, which is not held for the copy), copies it, gives it back and returns
// true. Otherwise copies nothing and returns false; a held document records
// nothing, so that made live it takes the newest capture at once.
bool HandOffCapture(CCaptureLink& link, CVexlarDoc& doc, int32_t& lastCaptureId);

// (word >> shift) AND mask for n little-endian sample words into out; shift is
// taken modulo 32. Four words at a time where the processor has vector
// instructions, with exactly the plain loop's result.
void ExtractBitField(const uint8_t* words, int32_t n, int32_t shift, uint32_t mask, uint32_t* out);
