// SPDX-License-Identifier: GPL-3.0-or-later
// Writes seed files for the document fuzzer into the folder given.

#include <fstream>
#include <string>

#include "document/document_file.h"
#include "document/vexlar_doc.h"

namespace {
void Write(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}
}   // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    const std::string dir = argv[1];
    CVexlarDoc doc;
    Write(dir + "/new.VEXLAR", StoreDocumentBytes(doc));
    CSignal* s = doc.AppendNewSignal();
    s->m_name = QStringLiteral("data");
    s->m_numBits = 8;
    s->m_firstBit = 4;
    s->m_radix = Signed;
    CSignal* head = doc.m_signals.front();
    head->EnsureCapacity(16);
    for (int i = 0; i < 16; ++i)
        head->m_samples[i] = static_cast<uint32_t>(i * 0x01010101);
    head->m_count = 16;
    s->UpdateMask();
    s->UpdateFromSource();
    Write(dir + "/two.VEXLAR", StoreDocumentBytes(doc));
    // With an extension block after the records (rate, markers, view).
    doc.m_sampleRate = 100e6;
    doc.m_marker1 = 3;
    doc.m_marker2 = 12;
    doc.m_viewState = DocumentViewState{4.0, 2, -10};
    Write(dir + "/extras.VEXLAR", StoreDocumentBytes(doc));
    // A version 1 record with an 8-bit name.
    const std::vector<uint8_t> v1 = {1, 0, 0,   0,   1, 0, 0, 0, 1, 0, 0,   0, 1, 0, 0, 0, 5, 0, 0,
                                     0, 2, 'a', 'b', 4, 0, 0, 0, 0, 0, 0,   0, 0, 1, 0, 0, 1, 0, 0,
                                     0, 0, 0,   0,   0, 0, 0, 4, 0, 0, 100, 0, 0, 0, 1, 0, 0, 0};
    Write(dir + "/v1.VEXLAR", v1);
    return 0;
}
