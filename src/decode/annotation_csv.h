// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Annotations as a comma-separated table: a header line, then one line per
// annotation in the order the decoders gave them:
//   start,end,decoder,row,class,text
// (sample numbers; the longest text; fields with commas, quotes or line
// breaks quoted, quotes doubled). Text is UTF-8.

class CAnnotationStore;
class CTextOutput;

void WriteAnnotationsCsv(const CAnnotationStore& store, CTextOutput& out);
