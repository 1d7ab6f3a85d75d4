// SPDX-License-Identifier: GPL-3.0-or-later
// Annotations as CSV: header, one line per annotation, fields with commas
// and quotes quoted.

#include <gtest/gtest.h>

#include "decode/annotation_csv.h"
#include "decode/annotation_store.h"
#include "document/text_output.h"

namespace {

TEST(AnnotationCsv, OneLinePerAnnotationWithQuotedFields)
{
    DecoderInfo info;
    info.id = "uart";
    info.annotations = {{"rx-data", "RX data"}, {"rx-warnings", "RX warnings"}};
    info.rows = {{"rx-data", "RX", {0}}};
    CAnnotationStore store;
    store.SetDecoders({&info});
    const char* data[] = {"48", "H"};
    const char* warning[] = {"Frame error, \"bad\" stop bit"};
    store.Add(0, 40, 120, 0, data, 2);
    store.Add(0, 120, 130, 1, warning, 1);
    std::string text;
    CTextOutput out(text);
    WriteAnnotationsCsv(store, out);
    out.Close();
    EXPECT_EQ(text, "start,end,decoder,row,class,text\r\n"
                    "40,120,uart,rx-data,rx-data,48\r\n"
                    "120,130,uart,rx-warnings,rx-warnings,\"Frame error, \"\"bad\"\" stop bit\"\r\n");
}

}   // namespace
