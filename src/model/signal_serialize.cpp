// SPDX-License-Identifier: GPL-3.0-or-later
// The record of one signal in the document file, version 2 as written;
// versions 1 and 2 are read.

#include <algorithm>
#include <memory>

#include "model/archive.h"
#include "model/errors.h"
#include "model/signal.h"

namespace {

void StoreRecord(const CSignal& s, CArchiveWriter& w)
{
    const int32_t count = std::max(s.m_count, 0);
    w.WriteInt32(2);
    w.WriteInt32(count);
    w.WriteUInt32Array(s.m_samples, static_cast<size_t>(count));
    w.WriteString(s.m_name);
    w.WriteInt32(s.m_numBits);
    w.WriteInt32(s.m_firstBit);
    w.WriteBool(s.m_allBits);
    w.WriteBool(s.m_expanded);
    w.WriteBool(s.m_selected);
    w.WriteBool(s.m_freeze);
    w.WriteInt32(s.m_colorTheme);
    w.WriteBool(s.m_analog);
    w.WriteInt32(s.m_min);
    w.WriteInt32(s.m_max);
    w.WriteInt32(s.m_graphHeight);
    w.WriteInt32(s.m_radix);
    w.WriteBool(s.m_spectrum);
    w.WriteDouble(s.m_sampleFreq);
    w.WriteDouble(s.m_minDb);
    w.WriteDouble(s.m_maxDb);
    w.WriteDoubleArray(s.m_peakHold, CSignal::kSpectrumBins);
}

void LoadRecord(CSignal& s, CArchiveReader& r)
{
    // An unknown record version cannot be skipped (a record carries no
    // length), so reading on would turn the following bytes into garbage
    // signals: the file is rejected instead.
    const int32_t version = r.ReadInt32();
    if (version != 1 && version != 2)
        throw CFileFormatException();

    // The count must fit the rest of the file before anything is allocated.
    const int32_t count = r.ReadInt32();
    if (count < 0 || static_cast<size_t>(count) > r.Remaining() / 4)
        throw CFileFormatException();
    s.EnsureCapacity(count);
    r.ReadUInt32Array(s.m_samples, static_cast<size_t>(count));
    s.m_count = count;

    s.m_name = r.ReadString();
    s.m_numBits = r.ReadInt32();
    s.m_firstBit = r.ReadInt32();
    s.m_allBits = r.ReadBool();
    s.m_expanded = r.ReadBool();
    s.m_selected = r.ReadBool();
    s.m_freeze = r.ReadBool();
    s.m_colorTheme = r.ReadInt32();
    s.m_analog = r.ReadBool();
    s.m_min = r.ReadInt32();
    s.m_max = r.ReadInt32();
    s.m_graphHeight = r.ReadInt32();
    s.m_radix = static_cast<SignalRadix>(r.ReadInt32());
    if (version == 2) {
        s.m_spectrum = r.ReadBool();
        s.m_sampleFreq = r.ReadDouble();
        s.m_minDb = r.ReadDouble();
        s.m_maxDb = r.ReadDouble();
        r.ReadDoubleArray(s.m_peakHold, CSignal::kSpectrumBins);
    }
    s.UpdateMask();
}

}   // namespace

void CSignal::Serialize(CArchive& ar)
{
    if (ar.IsStoring())
        StoreRecord(*this, ar.Writer());
    else
        LoadRecord(*this, ar.Reader());
}
