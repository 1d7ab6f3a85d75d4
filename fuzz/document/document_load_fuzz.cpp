// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: any byte string as a document file. Loading either
// succeeds or raises "Unexpected file format."; a loaded document saves to
// bytes that load to the same document, and every export of it runs.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "document/document_file.h"
#include "document/text_export.h"
#include "document/text_output.h"
#include "document/vcd_export.h"
#include "document/vexlar_doc.h"
#include "document/vhdl_export.h"
#include "model/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CVexlarDoc doc;
    try {
        LoadDocumentBytes(doc, data, size);
    } catch (const CFileFormatException&) {
        return 0;
    }

    const std::vector<uint8_t> saved = StoreDocumentBytes(doc);
    CVexlarDoc again;
    LoadDocumentBytes(again, saved.data(), saved.size());   // must not throw
    if (StoreDocumentBytes(again) != saved)
        std::abort();

    std::string text;
    {
        CTextOutput out(text);
        WriteCsv(doc, out);
        WriteVcd(doc, out);
        for (const CSignal* s : doc.m_signals)
            WriteSignalText(*s, out);
        try {
            WriteVhdlTestbench(doc, out);
        } catch (const CInvalidArgumentException&) {
            if (!doc.m_signals.empty())
                std::abort();
        }
        out.Close();
    }
    return 0;
}
