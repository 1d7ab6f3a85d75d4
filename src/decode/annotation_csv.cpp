// SPDX-License-Identifier: GPL-3.0-or-later
#include "decode/annotation_csv.h"

#include <string>

#include "decode/annotation_store.h"
#include "document/text_output.h"

namespace {

void Field(CTextOutput& out, std::string_view text)
{
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        out.Append(text);
        return;
    }
    out.Append('"');
    for (char c : text) {
        if (c == '"')
            out.Append('"');
        out.Append(c);
    }
    out.Append('"');
}

}   // namespace

void WriteAnnotationsCsv(const CAnnotationStore& store, CTextOutput& out)
{
    out.Line("start,end,decoder,row,class,text");
    for (const Annotation& a : store.Items()) {
        out.Append(std::to_string(a.start));
        out.Append(',');
        out.Append(std::to_string(a.end));
        out.Append(',');
        Field(out, store.DecoderId(a));
        out.Append(',');
        Field(out, store.Lanes()[a.lane].id);
        out.Append(',');
        Field(out, store.ClassId(a));
        out.Append(',');
        Field(out, store.Text(a));
        out.EndLine();
    }
}
